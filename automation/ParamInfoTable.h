// The six parameters as the host sees them through IMediaParamInfo, built from the engine's
// parameter descriptors, and the text that GetParamText hands out for each.
#pragma once
#include <cstddef>

#include "automation/MediaParamTypes.h"
#include "engine/ParamDescriptors.h"

// Characters of the longest enumeration text: the choices' names separated by ",".
constexpr size_t kEnumTextChars = 64;

// The enumeration text of each parameter that hosts automate as an enumeration, from its
// choices' names ("IIR,FIR,Precise"); empty for the others.
struct ParamEnumTexts {
    char16_t texts[kParamCount][kEnumTextChars];
};

constexpr ParamEnumTexts MakeParamEnumTexts() {
    ParamEnumTexts t = {};
    for (int i = 0; i < kParamCount; ++i) {
        const ParamDescriptor& d = kParamDescriptors[i];
        if (d.automation != ParamAutomation::kEnum) continue;
        size_t n = 0;
        for (int32_t v = d.min; v <= d.max; ++v) {
            if (v != d.min) t.texts[i][n++] = u',';
            for (const char* c = d.ChoiceOf(v).name; *c != 0; ++c)
                t.texts[i][n++] = static_cast<char16_t>(*c);
        }
    }
    return t;
}

inline constexpr ParamEnumTexts kParamEnumTexts = MakeParamEnumTexts();

constexpr int32_t MpTypeOf(ParamAutomation automation) {
    return automation == ParamAutomation::kBool   ? tw::kMpTypeBool
           : automation == ParamAutomation::kEnum ? tw::kMpTypeEnum
                                                  : tw::kMpTypeFloat;
}

// What a host learns of one parameter: automated in 0..1, or an enumeration automated by its
// choice numbers, kept internally in the same range (the engine maps that to its integer
// units), neutral at the factory default, only jump segments.
constexpr ParamInfoRecord ParamInfoRecordOf(int index) {
    const ParamDescriptor& d = kParamDescriptors[index];
    ParamInfoRecord record = {};
    record.info.mpType = MpTypeOf(d.automation);
    record.info.mopCaps = tw::kCapsCurveJump;
    record.info.mpdMinValue = 0.0f;
    record.info.mpdMaxValue = AutomationMaxOf(d);
    record.info.mpdNeutralValue = NormalizedValueOf(d, d.defaultValue);
    for (size_t i = 0; d.name[i] != 0 && i + 1 < tw::kParamTextChars; ++i)
        record.info.szLabel[i] = static_cast<char16_t>(d.name[i]);
    record.internalMin = 0.0f;
    record.internalMax = AutomationMaxOf(d);
    record.enumText =
        d.automation == ParamAutomation::kEnum ? kParamEnumTexts.texts[index] : nullptr;
    return record;
}

// Index order of ParamIndex.
struct ParamInfoTable {
    ParamInfoRecord records[kParamCount];
    constexpr const ParamInfoRecord& operator[](size_t index) const { return records[index]; }
};

constexpr ParamInfoTable MakeParamInfoTable() {
    ParamInfoTable table = {};
    for (int i = 0; i < kParamCount; ++i) table.records[i] = ParamInfoRecordOf(i);
    return table;
}

inline constexpr ParamInfoTable kParamInfoTable = MakeParamInfoTable();

// Characters (NULs included) of a parameter's text: label, NUL, unit, NUL, then for an
// enumeration its values each ended by NUL, and one final NUL that ends the list.
size_t ParamTextChars(const ParamInfoRecord& record);

// Writes that text to dest, which holds ParamTextChars(record) characters.
void WriteParamText(const ParamInfoRecord& record, char16_t* dest);
