// The renderer's view of a preset library.
#include "host/cli/UserPresets.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/ParamValues.h"
#include "host/cli/ParamArguments.h"
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
    std::string text;
    for (int32_t i = 0; i < library.Count(); ++i) {
        const PresetRecord& record = *library.At(i);
        ParamValues v = {};
        if (ParsePresetData(record.data.c_str(), &v) != kParamCount) {
            text += PresetPath(record) + ": unreadable data \"" + record.data + "\"\n";
            continue;
        }
        // The values as the options that would set them.
        text += PresetPath(record) + ":";
        for (int param = 0; param < kParamCount; ++param)
            text += std::string(" --") + kParamDescriptors[param].symbol + " " +
                    ParamArgumentText(param, v[param]);
        text += "\n";
    }
    return text;
}
