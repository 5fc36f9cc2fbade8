// Coefficient computation. The arithmetic is part of the product's definition, so saved states
// and presets sound the same on every machine and in every build: the phase angle's cosine and
// sine come from a table (PhaseAngles.h) rather than the C library of the build.
#include "engine/Coefficients.h"

#include <cmath>

#include "engine/PhaseAngles.h"

namespace {
constexpr double kTenthDbToExponent = 0.005;                  // dB/10 -> exponent of 10 (dB/20)
constexpr double kWidthPercentToGain = 0.005;                 // 100 % -> 0.5 (side of m +- s)
}  // namespace

double OutputGain(int32_t output) {
    if (output <= kOutputSilence) return 0.0;
    return std::pow(10.0, output * kTenthDbToExponent);
}

Coefficients ComputeCoefficients(const ParamValues& params) {
    Coefficients c;
    const PhaseRotation& rotation = PhaseRotationOf(params[kParamPhase]);
    c.cosPhase = rotation.cosine;
    c.sinPhase = rotation.sine;
    c.mode = ModeOf(params);
    const double gain = OutputGain(params[kParamOutput]);
    c.midGain = 0.5 * gain;
    c.sideGain = params[kParamWidth] * kWidthPercentToGain * gain;
    return c;
}
