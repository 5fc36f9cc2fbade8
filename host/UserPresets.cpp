// The renderer's view of a preset library.
#include "host/UserPresets.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/ParamValues.h"
#include "presets/PresetData.h"
#include "presets/PresetLibrary.h"

namespace {

bool SameText(const std::string& a, const char* b) {
    return AsciiCompareNoCase(a.c_str(), b) == 0;
}

bool Matches(const PresetRecord& record, const std::string& query) {
    if (!record.HasBank() && SameText(query, record.name)) return true;
    for (size_t slash = query.find('/'); slash != std::string::npos;
         slash = query.find('/', slash + 1)) {
        if (SameText(query.substr(0, slash), record.bank) &&
            SameText(query.substr(slash + 1), record.name))
            return true;
    }
    return false;
}

}  // namespace

std::string PresetPath(const PresetRecord& record) {
    return record.HasBank() ? std::string(record.bank) + "/" + record.name : record.name;
}

const PresetRecord* FindUserPreset(const CPresetLibrary& library, const std::string& query,
                                   std::string* error) {
    std::vector<const PresetRecord*> found;
    for (int32_t i = 0; i < library.Count(); ++i)
        if (Matches(*library.At(i), query)) found.push_back(library.At(i));
    // A plain name also finds banked presets, when nothing matched more exactly.
    if (found.empty() && query.find('/') == std::string::npos) {
        for (int32_t i = 0; i < library.Count(); ++i)
            if (SameText(query, library.At(i)->name)) found.push_back(library.At(i));
    }
    if (found.size() == 1) return found[0];
    if (found.empty()) {
        *error = "no preset \"" + query + "\"";
        return nullptr;
    }
    std::string candidates;
    for (const PresetRecord* record : found)
        candidates += (candidates.empty() ? "\"" : ", \"") + PresetPath(*record) + "\"";
    *error = "the preset name \"" + query + "\" is ambiguous: " + candidates;
    return nullptr;
}

std::string FormatPresetList(const CPresetLibrary& library) {
    static const char* const kModes[] = {"lr", "ms", "cs", "sc"};
    static const char* const kMeters[] = {"pre", "post"};
    static const char* const kFilters[] = {"iir", "fir"};
    // A setting by its option word, or its stored number when out of range.
    auto choice = [](int32_t value, const char* const* names, int32_t count) {
        return value >= 0 && value < count ? std::string(names[value]) : std::to_string(value);
    };
    std::string text;
    for (int32_t i = 0; i < library.Count(); ++i) {
        const PresetRecord& record = *library.At(i);
        ParamValues v = {};
        if (ParsePresetData(record.data.c_str(), &v) != kParamCount) {
            text += PresetPath(record) + ": unreadable data \"" + record.data + "\"\n";
            continue;
        }
        const int32_t output = v[kParamOutput];
        char gain[24];
        if (output <= kOutputSilence) std::snprintf(gain, sizeof gain, "-inf");
        else std::snprintf(gain, sizeof gain, "%s%d.%d", output < 0 ? "-" : "", std::abs(output) / 10, std::abs(output) % 10);
        // The values as the options that would set them.
        text += PresetPath(record) + ": --phase " + std::to_string(v[kParamPhase]) + " --width " +
                std::to_string(v[kParamWidth]) + " --output " + gain + " --mode " +
                choice(v[kParamMode], kModes, 4) + " --meter " + choice(v[kParamMeterPost], kMeters, 2) +
                " --filter " + choice(v[kParamFilter], kFilters, 2) + "\n";
    }
    return text;
}
