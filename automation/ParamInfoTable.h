// The six parameters as the host sees them through IMediaParamInfo, and the text that
// GetParamText hands out for each.
#pragma once
#include <cstddef>

#include "automation/MediaParamTypes.h"
#include "engine/ParamValues.h"

// Index order of ParamIndex (engine/ParamValues.h).
extern const ParamInfoRecord kParamInfoTable[kParamCount];

// Characters (NULs included) of a parameter's text: label, NUL, unit, NUL, then for an
// enumeration its values each ended by NUL, and one final NUL that ends the list.
size_t ParamTextChars(const ParamInfoRecord& record);

// Writes that text to dest, which holds ParamTextChars(record) characters.
void WriteParamText(const ParamInfoRecord& record, char16_t* dest);
