// The cosine and sine of the phase angle. Phase takes whole degrees only, so each of its 361
// values has its pair in a table: the same numbers on every build and machine.
#pragma once
#include <cstdint>

#include "engine/ParamDescriptors.h"

struct PhaseRotation {
    double cosine;
    double sine;
};

constexpr int kPhaseAngleMin = kParamDescriptors[kParamPhase].min;
constexpr int kPhaseAngleCount = kParamDescriptors[kParamPhase].ValueCount();

extern const PhaseRotation kPhaseRotations[kPhaseAngleCount];

// The rotation of a Phase value in degrees, held to Phase's range.
inline const PhaseRotation& PhaseRotationOf(int32_t degrees) {
    const int32_t max = kPhaseAngleMin + kPhaseAngleCount - 1;
    const int32_t held = degrees < kPhaseAngleMin ? kPhaseAngleMin : degrees > max ? max : degrees;
    return kPhaseRotations[held - kPhaseAngleMin];
}
