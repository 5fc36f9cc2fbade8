// The preset data text: the six parameter values in index order as "%d,%d,%d,%d,%d,%d".
#pragma once
#include <string>

#include "engine/ParamValues.h"

// "0,100,0,0,1,0" for the neutral settings. Values are written as they are; the engine's
// setters clamp them when the preset is applied.
std::string FormatPresetData(const ParamValues& values);

// Reads the text the way the format "%d,%d,%d,%d,%d,%d" scans it: each field is an optional
// run of blanks, an optional sign and decimal digits, and fields are separated by exactly one
// comma. Reading stops at the first field that does not match; the fields read so far are
// stored in values and the rest keep what they held, so a malformed text changes only its
// readable leading fields. A number beyond the 32-bit range is held at the range's end.
// Returns the number of fields stored, 0 to 6; anything after the sixth field is ignored.
int ParsePresetData(const char* text, ParamValues* values);
