// Conversions between 16-bit PCM and the float working type. No dither, no other scaling.
#pragma once
#include <cstdint>

inline float PcmToFloat(int16_t s) {
    return static_cast<float>(static_cast<double>(s) * 0.000030517578125);  // 2^-15
}

// Scales by 32768 in single precision, truncates towards zero and clamps; NaN becomes 0.
inline int16_t FloatToPcm(float y) {
    const float scaled = y * 32768.0f;
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    if (scaled != scaled) return 0;
    return static_cast<int16_t>(static_cast<int32_t>(scaled));
}
