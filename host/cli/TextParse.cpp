// Decimal parsing by integer arithmetic, so "-3.5" dB is exactly -35 tenths.
#include "host/cli/TextParse.h"

#include <cctype>
#include <limits>

namespace {

bool AppendDigit(int64_t* value, int digit) {
    if (*value > (std::numeric_limits<int64_t>::max() - digit) / 10) return false;
    *value = *value * 10 + digit;
    return true;
}

}  // namespace

bool ParseScaledDecimal(const std::string& text, int fractionDigits, int64_t* value, bool* exact) {
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;

    int64_t scaled = 0;
    int digits = 0;
    int keptFraction = 0;
    bool inFraction = false;
    int firstDropped = -1;  // the digit that decides the rounding
    bool droppedNonZero = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (c < '0' || c > '9') return false;
        ++digits;
        const int digit = c - '0';
        if (!inFraction || keptFraction < fractionDigits) {
            if (!AppendDigit(&scaled, digit)) return false;
            if (inFraction) ++keptFraction;
        } else {
            if (firstDropped < 0) firstDropped = digit;
            droppedNonZero = droppedNonZero || digit != 0;
        }
    }
    if (digits == 0) return false;
    for (; keptFraction < fractionDigits; ++keptFraction)
        if (!AppendDigit(&scaled, 0)) return false;
    if (firstDropped >= 5) {
        if (scaled == std::numeric_limits<int64_t>::max()) return false;
        ++scaled;
    }
    *value = negative ? -scaled : scaled;
    if (exact) *exact = !droppedNonZero;
    return true;
}

bool EqualsIgnoreCase(const std::string& text, const char* word) {
    size_t i = 0;
    for (; i < text.size() && word[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return i == text.size() && word[i] == '\0';
}

std::string TrimSpace(const std::string& text) {
    const char* kSpace = " \t\r";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::string HelpEntry(const std::string& heading, const std::string& text) {
    // Where the text starts, after two spaces, the heading and two more.
    constexpr size_t kHeadingWidth = 18;
    const std::string indent(2 + kHeadingWidth + 2, ' ');
    std::string entry = "  " + heading;
    if (heading.size() <= kHeadingWidth) entry += std::string(kHeadingWidth - heading.size() + 2, ' ');
    else entry += "\n" + indent;
    for (const char c : text) entry += c == '\n' ? "\n" + indent : std::string(1, c);
    return entry + "\n";
}
