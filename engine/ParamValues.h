// The six user parameters: indices, internal ranges and the record in which whole states move.
#pragma once
#include <cstdint>

enum ParamIndex : int {
    kParamPhase = 0,      // degrees, -180..180
    kParamWidth = 1,      // percent of the incoming side signal, 0..200
    kParamOutput = 2,     // tenths of a dB, -361 (silence) .. 60
    kParamMode = 3,       // 0 LR phase, 1 MS phase, 2 CS encode, 3 SC encode
    kParamMeterPost = 4,  // 0 meter watches the input, 1 the output
    kParamFilter = 5,     // 0 all-pass quadrature network, 1 FIR quadrature filter
    kParamCount = 6
};

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

constexpr int32_t kOutputSilence = -361;

// The factory defaults, also the "(Default)" built-in preset.
constexpr ParamValues kDefaultParams = {{0, 100, 0, 0, 1, 0}};
