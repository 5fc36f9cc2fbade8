// Coefficients: what the processor derives from the parameters at the start of a block.
#pragma once
#include <cstdint>

#include "engine/ParamValues.h"

struct Coefficients {
    double cosPhase = 1.0;
    double sinPhase = 0.0;
    Mode mode = Mode::kLrPhase;
    double midGain = 0.5;
    double sideGain = 0.5;
};

// Output gain of an Output value in tenths of a dB: 0.0 at -361 (silence) and below.
double OutputGain(int32_t output);

// Cosine and sine of the phase angle, mode, and mid and side gains of a parameter record.
Coefficients ComputeCoefficients(const ParamValues& params);
