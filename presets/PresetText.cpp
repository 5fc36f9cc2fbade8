// Preset name normalisation and the texts built from names.
#include "presets/PresetText.h"

#include <cstring>

#include "presets/PresetRecord.h"

namespace {

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

}  // namespace

std::string NormalisePresetName(const char* text) {
    std::string name = text ? text : "";
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    for (;;) {
        const size_t first = name.find_first_not_of(' ');
        if (first == std::string::npos) return {};
        name = name.substr(first, name.find_last_not_of(' ') - first + 1);
        if (name.size() > PresetRecord::kTextChars - 1) {
            name.resize(PresetRecord::kTextChars - 1);  // the cut may leave a trailing blank
        } else if (name.size() >= 2 && IsQuote(name[0]) && name.back() == name[0]) {
            name = name.substr(1, name.size() - 2);
        } else {
            return name;
        }
    }
}

std::string MenuText(const std::string& name) {
    std::string text;
    text.reserve(name.size());
    for (char c : name) {
        if (c == '&') text += '&';
        text += c;
    }
    return text;
}

std::string UpdateItemText(const std::string& name) {
    return "Update Preset: " + MenuText(name) + "...";
}

std::string UpdateQuestionText(const std::string& name) {
    return "Would you like to update the stored parameters for\nthe \"" + name +
           "\" preset with the current settings?";
}

bool IsReservedDeviceName(const std::string& fileName) {
    const std::string base = fileName.substr(0, fileName.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (AsciiCompareNoCase(base.c_str(), device) == 0) return true;
    if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
    const std::string stem = base.substr(0, 3);
    return AsciiCompareNoCase(stem.c_str(), "COM") == 0 ||
           AsciiCompareNoCase(stem.c_str(), "LPT") == 0;
}

std::string ExportFileName(const std::string& text) {
    std::string name = text + ".ini";
    for (char& c : name)
        if (std::strchr(" *?<>:\\\"/|\t\r\n", c) && c != '\0') c = '_';
    if (IsReservedDeviceName(name)) name.insert(0, "_");
    return name;
}
