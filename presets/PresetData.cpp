// Writing and scanning the preset data text.
#include "presets/PresetData.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

// One "%d" field starting at text: blanks, sign, digits. Null when there are no digits.
const char* ScanInt(const char* text, int32_t* value) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*text))) return nullptr;
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
        if (magnitude < kLimit) magnitude = magnitude * 10 + (*text - '0');
    if (magnitude > kLimit) magnitude = kLimit;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    *value = static_cast<int32_t>(signedValue > INT32_MAX ? INT32_MAX : signedValue);
    return text;
}

}  // namespace

std::string FormatPresetData(const ParamValues& values) {
    char text[128];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d", static_cast<int>(values[0]),
                  static_cast<int>(values[1]), static_cast<int>(values[2]),
                  static_cast<int>(values[3]), static_cast<int>(values[4]),
                  static_cast<int>(values[5]));
    return text;
}

int ParsePresetData(const char* text, ParamValues* values) {
    if (!text || !values) return 0;
    int fields = 0;
    while (fields < kParamCount) {
        if (fields > 0 && *text++ != ',') break;
        int32_t value = 0;
        text = ScanInt(text, &value);
        if (!text) break;
        (*values)[fields++] = value;
    }
    return fields;
}
