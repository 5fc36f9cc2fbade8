// The record in which whole states of the six parameters move, and the factory defaults.
#pragma once
#include <cstdint>

#include "engine/ParamDescriptors.h"

// All six values in internal units, index order; 24 bytes, stored little-endian.
struct ParamValues {
    int32_t value[kParamCount];

    int32_t& operator[](int index) { return value[index]; }
    int32_t operator[](int index) const { return value[index]; }
    bool operator==(const ParamValues& o) const {
        for (int i = 0; i < kParamCount; ++i)
            if (value[i] != o.value[i]) return false;
        return true;
    }
    bool operator!=(const ParamValues& o) const { return !(*this == o); }
};
static_assert(sizeof(ParamValues) == 24, "ParamValues is the 24-byte persisted record");

// The named settings of a record (whose values are always inside their ranges).
inline Mode ModeOf(const ParamValues& p) {
    return static_cast<Mode>(p[kParamMode]);
}
inline MeterPosition MeterPositionOf(const ParamValues& p) {
    return static_cast<MeterPosition>(p[kParamMeterPost]);
}
inline QuadratureFilter FilterOf(const ParamValues& p) {
    return static_cast<QuadratureFilter>(p[kParamFilter]);
}

// The factory defaults, also the "(Default)" built-in preset.
constexpr ParamValues DefaultParamValues() {
    ParamValues values = {};
    for (int i = 0; i < kParamCount; ++i) values.value[i] = kParamDescriptors[i].defaultValue;
    return values;
}
constexpr ParamValues kDefaultParams = DefaultParamValues();
