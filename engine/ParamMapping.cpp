// Parameter ranges and value mappings. The arithmetic is single precision in a fixed order: it
// defines how automation values map to settings, so saved states, presets and automation give
// the same settings everywhere.
#include "engine/ParamMapping.h"

#include <cmath>

namespace {

// The unrounded internal value of an automation value, before floor(): 0..1 spans the range,
// and an enumeration's automation value counts its choices.
float ScaledValue(int index, float x) {
    const ParamDescriptor& d = kParamDescriptors[index];
    return x * StepsPerAutomationUnit(d) + static_cast<float>(d.min) + 0.5f;
}

}  // namespace

ParamRange ParamRangeOf(int index) {
    return {kParamDescriptors[index].min, kParamDescriptors[index].max};
}

int32_t ClampParam(int index, int32_t value) {
    const ParamRange r = ParamRangeOf(index);
    return value < r.min ? r.min : (value > r.max ? r.max : value);
}

bool InternalFromNormalized(int index, float normalized, int32_t* out) {
    const float scaled = std::floor(ScaledValue(index, normalized));
    if (std::isnan(scaled)) return false;
    const ParamRange r = ParamRangeOf(index);
    // Compare in float before converting: out-of-range floats would make the cast undefined.
    if (scaled <= static_cast<float>(r.min)) {
        *out = r.min;
    } else if (scaled >= static_cast<float>(r.max)) {
        *out = r.max;
    } else {
        *out = static_cast<int32_t>(scaled);
    }
    return true;
}

float NormalizedFromInternal(int index, int32_t value) {
    return NormalizedValueOf(kParamDescriptors[index], value);
}
