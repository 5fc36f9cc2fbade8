// The texts of the editor's values.
#include "editor/ValueText.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/ParamDescriptors.h"

namespace {

constexpr int64_t kSaturated = std::numeric_limits<int32_t>::max();

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Adds a digit to a magnitude that stops growing at kSaturated.
int64_t AppendDigit(int64_t magnitude, int digit) {
    const int64_t grown = magnitude * 10 + digit;
    return grown > kSaturated ? kSaturated : grown;
}

// True when text is expected, or expected followed by ".", in any case.
bool IsWordIgnoringCase(const char* text, const char* expected) {
    for (; *expected; ++text, ++expected)
        if (std::tolower(static_cast<unsigned char>(*text)) !=
            std::tolower(static_cast<unsigned char>(*expected)))
            return false;
    return *text == '\0' || (text[0] == '.' && text[1] == '\0');
}

// A value with `decimals` decimal places: 125 with 1 gives "12.5".
std::string FixedText(int32_t value, int decimals) {
    const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : value;
    uint32_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    char text[24];
    if (decimals == 0)
        std::snprintf(text, sizeof text, "%s%u", value < 0 ? "-" : "", magnitude);
    else
        std::snprintf(text, sizeof text, "%s%u.%0*u", value < 0 ? "-" : "", magnitude / scale,
                      decimals, magnitude % scale);
    return text;
}

}  // namespace

int32_t ParseFixed(const char* text, int decimals) {
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';

    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) magnitude = AppendDigit(magnitude, *p - '0');
    for (int i = 0; i < decimals; ++i) magnitude = AppendDigit(magnitude, 0);

    if (*p == '.') {
        ++p;
        // Each place reads one character; a non-digit counts as 0 and ends the reading.
        int64_t place = 1;
        for (int i = 1; i < decimals; ++i) place *= 10;
        for (int i = 0; i < decimals && IsDigit(*p); ++i, ++p, place /= 10) {
            magnitude += (*p - '0') * place;
            if (magnitude > kSaturated) magnitude = kSaturated;
        }
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t ParseFieldValue(int param, const char* text) {
    const ParamDescriptor& d = kParamDescriptors[param];
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (d.silentSymbol && IsWordIgnoringCase(p, d.silentSymbol)) return d.min;
    return ParseFixed(text, d.decimals);
}

std::string FieldText(int param, int32_t value) {
    const ParamDescriptor& d = kParamDescriptors[param];
    return d.IsSilent(value) ? kSilenceText : FixedText(value, d.decimals);
}

std::string FormatTenths(int32_t tenths, int32_t floorTenths) {
    return tenths <= floorTenths ? kSilenceText : FixedText(tenths, 1);
}

int32_t PeakLevelTenths(float peak) {
    if (!(peak > 0.0f)) return kSilentLevelTenths;  // silence, negative or NaN
    const float level = std::log10(peak) * 200.0f;
    if (level >= static_cast<float>(kLoudestLevelTenths)) return kLoudestLevelTenths;
    if (level <= static_cast<float>(kSilentLevelTenths)) return kSilentLevelTenths;
    return static_cast<int32_t>(level);
}

std::string PeakReadoutText(int32_t maxTenths) {
    if (maxTenths <= -999) return "-Inf";
    char text[24];
    std::snprintf(text, sizeof text, "%.1f", maxTenths * 0.1);
    return text;
}
