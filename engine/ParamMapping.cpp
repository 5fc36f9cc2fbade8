// Parameter ranges and value mappings. The constants are single-precision values that define
// how automation values map to settings, so saved states, presets and automation give the same
// settings everywhere.
#include "engine/ParamMapping.h"

#include <cmath>

namespace {

constexpr ParamRange kRanges[kParamCount] = {
    {-180, 180},           // Phase
    {0, 200},              // Width
    {kOutputSilence, 60},  // Output
    {ParamValueOf(Mode::kLrPhase), ParamValueOf(Mode::kScEncode)},
    {ParamValueOf(MeterPosition::kPre), ParamValueOf(MeterPosition::kPost)},
    {ParamValueOf(QuadratureFilter::kAllpass), ParamValueOf(QuadratureFilter::kFir)},
};

// The unrounded internal value of an automation value, before floor().
float ScaledValue(int index, float x) {
    switch (index) {
        case kParamPhase:
            return x * 360.0f - 180.0f + 0.5f;
        case kParamWidth:
            return x * 200.0f + 0.5f;
        case kParamOutput:
            return x * 421.0f - 361.0f + 0.5f;
        case kParamMode:
            return x * 3.0f + 0.5f;
        default:
            return x + 0.5f;  // Meter Pre/Post, Filter
    }
}

}  // namespace

ParamRange ParamRangeOf(int index) {
    return kRanges[index];
}

int32_t ClampParam(int index, int32_t value) {
    const ParamRange r = kRanges[index];
    return value < r.min ? r.min : (value > r.max ? r.max : value);
}

bool InternalFromNormalized(int index, float normalized, int32_t* out) {
    const float scaled = std::floor(ScaledValue(index, normalized));
    if (std::isnan(scaled)) return false;
    const ParamRange r = kRanges[index];
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
    const float v = static_cast<float>(value);
    switch (index) {
        case kParamPhase:
            return (v + 180.0f) * 0.0027777778f;  // nearest float to 1/360
        case kParamWidth:
            return v * 0.005f;
        case kParamOutput:
            return (v + 361.0f) * 0.002375297f;  // nearest float to 1/421
        case kParamMode:
            return v * 0.33333334f;
        default:
            return v;  // Meter Pre/Post, Filter: 0.0 or 1.0
    }
}
