// Coefficient computation. The phase constant is 3.14159265, not full-precision pi: the
// arithmetic is part of the product's definition, so saved states and presets sound the same
// on every machine and in every build.
#include "engine/Coefficients.h"

#include <cmath>

namespace {
constexpr double kPhasePi = 3.14159265;
constexpr double kDegreesToHalfTurns = 0.005555555555555556;  // 1/180
constexpr double kTenthDbToExponent = 0.005;                  // dB/10 -> exponent of 10 (dB/20)
constexpr double kWidthPercentToGain = 0.005;                 // 100 % -> 0.5 (side of m +- s)
}  // namespace

double OutputGain(int32_t output) {
    if (output <= kOutputSilence) return 0.0;
    return std::pow(10.0, output * kTenthDbToExponent);
}

Coefficients ComputeCoefficients(const ParamValues& params) {
    Coefficients c;
    const double angle = params[kParamPhase] * kPhasePi * kDegreesToHalfTurns;
    c.cosPhase = std::cos(angle);
    c.sinPhase = std::sin(angle);
    c.mode = ModeOf(params);
    const double gain = OutputGain(params[kParamOutput]);
    c.midGain = 0.5 * gain;
    c.sideGain = params[kParamWidth] * kWidthPercentToGain * gain;
    return c;
}
