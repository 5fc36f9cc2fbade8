// Parameter ranges and the mappings between automation values (0.0..1.0, or an enumeration's
// choice numbers) and internal units.
#pragma once
#include <cstdint>

#include "engine/ParamDescriptors.h"

struct ParamRange {
    int32_t min;
    int32_t max;
};

// Internal range of a parameter (index 0..5).
ParamRange ParamRangeOf(int index);

// Clamps an internal value into the parameter's range.
int32_t ClampParam(int index, int32_t value);

// Internal value from an automation value, in single precision, halves rounding upwards.
// Values outside the automation range are clamped to the internal range, so an envelope can
// never drive a gain beyond what the user could set; returns false (and leaves *out alone) for NaN.
bool InternalFromNormalized(int index, float normalized, int32_t* out);

// Normalized value of an internal value, in single precision (what setters report).
float NormalizedFromInternal(int index, int32_t value);
