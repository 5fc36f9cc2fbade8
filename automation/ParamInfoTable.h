// The six parameters as the host sees them through IMediaParamInfo, built from the engine's
// parameter descriptors, and the text that GetParamText hands out for each.
#pragma once
#include <cstddef>

#include "automation/MediaParamTypes.h"
#include "engine/ParamDescriptors.h"

// What a host learns of one parameter: automated in 0..1 and kept internally in 0..1 (the
// engine maps that to its integer units), neutral at the factory default, only jump segments.
constexpr ParamInfoRecord ParamInfoRecordOf(const ParamDescriptor& d) {
    ParamInfoRecord record = {};
    record.info.mpType = d.automation == ParamAutomation::kBool ? tw::kMpTypeBool : tw::kMpTypeFloat;
    record.info.mopCaps = tw::kCapsCurveJump;
    record.info.mpdMinValue = 0.0f;
    record.info.mpdMaxValue = 1.0f;
    record.info.mpdNeutralValue = NormalizedValueOf(d, d.defaultValue);
    for (size_t i = 0; d.name[i] != 0 && i + 1 < tw::kParamTextChars; ++i)
        record.info.szLabel[i] = static_cast<char16_t>(d.name[i]);
    record.internalMin = 0.0f;
    record.internalMax = 1.0f;
    record.enumText = nullptr;
    return record;
}

// Index order of ParamIndex.
struct ParamInfoTable {
    ParamInfoRecord records[kParamCount];
    constexpr const ParamInfoRecord& operator[](size_t index) const { return records[index]; }
};

constexpr ParamInfoTable MakeParamInfoTable() {
    ParamInfoTable table = {};
    for (int i = 0; i < kParamCount; ++i) table.records[i] = ParamInfoRecordOf(kParamDescriptors[i]);
    return table;
}

inline constexpr ParamInfoTable kParamInfoTable = MakeParamInfoTable();

// Characters (NULs included) of a parameter's text: label, NUL, unit, NUL, then for an
// enumeration its values each ended by NUL, and one final NUL that ends the list.
size_t ParamTextChars(const ParamInfoRecord& record);

// Writes that text to dest, which holds ParamTextChars(record) characters.
void WriteParamText(const ParamInfoRecord& record, char16_t* dest);
