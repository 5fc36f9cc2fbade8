// The six user parameters: indices, internal ranges and the record in which whole states move.
#pragma once
#include <cstdint>

enum ParamIndex : int {
    kParamPhase = 0,      // degrees, -180..180
    kParamWidth = 1,      // percent of the incoming side signal, 0..200
    kParamOutput = 2,     // tenths of a dB, -361 (silence) .. 60
    kParamMode = 3,       // Mode
    kParamMeterPost = 4,  // MeterPosition
    kParamFilter = 5,     // QuadratureFilter
    kParamCount = 6
};

// The values of Mode: what the phase rotation works on and what comes out. The outputs below are
// at 100 % width and 0 dB; R' is R rotated by the phase angle, S' likewise.
enum class Mode : int32_t {
    kLrPhase = 0,   // (L, R')
    kMsPhase = 1,   // (M + S', M - S') / 2 with M = L + R, S = L - R: the side rotated
    kCsEncode = 2,  // (L + R', L - R') / 2: sum and difference
    kScEncode = 3,  // (R' + L, R' - L) / 2: sum and difference the other way round
};

// The values of Meter Pre/Post: what the phase meter watches.
enum class MeterPosition : int32_t {
    kPre = 0,   // the input
    kPost = 1,  // the output
};

// The values of Filter: how the quadrature signal is made.
enum class QuadratureFilter : int32_t {
    kAllpass = 0,  // all-pass network, no latency
    kFir = 1,      // 127-tap FIR filter, 63 frames of latency
};

// The internal value of a named setting.
constexpr int32_t ParamValueOf(Mode v) {
    return static_cast<int32_t>(v);
}
constexpr int32_t ParamValueOf(MeterPosition v) {
    return static_cast<int32_t>(v);
}
constexpr int32_t ParamValueOf(QuadratureFilter v) {
    return static_cast<int32_t>(v);
}

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

constexpr int32_t kOutputSilence = -361;

// The factory defaults, also the "(Default)" built-in preset.
constexpr ParamValues kDefaultParams = {{0, 100, 0, ParamValueOf(Mode::kLrPhase),
                                         ParamValueOf(MeterPosition::kPost),
                                         ParamValueOf(QuadratureFilter::kAllpass)}};
