// Meter state: the phase-opposition meter, clip counters and held peaks. The streaming thread
// writes them and the editor polls them without a lock; each value is one aligned word.
#pragma once
#include <cmath>
#include <cstdint>

constexpr double kPhaseMeterDecay = 0.9999;  // time constant of 10000 frames
constexpr int32_t kClipHoldSteps = 3;        // a clip shows for three editor ticks

struct MeterState {
    double phaseAccumulator = 0.0;  // smoothed fraction of frames with opposite signs, 0..1
    double phaseDecay = kPhaseMeterDecay;
    double phaseRise = 1 - kPhaseMeterDecay;
    int32_t clipLive[2] = {0, 0};   // set to 3 by a clip; the editor counts them down
    int32_t clipShown[2] = {0, 0};  // the editor's copies, to detect changes
    double heldPeak[2] = {0.0, 0.0};
    int32_t peakRead[2] = {0, 0};

    // Stream start: factors set, accumulator, live counters, peaks and read flags cleared.
    void ResetForStream() {
        phaseDecay = kPhaseMeterDecay;
        phaseRise = 1 - kPhaseMeterDecay;
        phaseAccumulator = 0.0;
        clipLive[0] = clipLive[1] = 0;
        heldPeak[0] = heldPeak[1] = 0.0;
        peakRead[0] = peakRead[1] = 0;
    }

    // One frame of the phase meter; NaN counts as negative.
    void FeedPhase(double x, double y) {
        const bool xNegative = !(x >= 0.0);
        const bool yNegative = !(y >= 0.0);
        if (xNegative == yNegative) {
            phaseAccumulator = phaseAccumulator * phaseDecay;
        } else {
            phaseAccumulator = phaseAccumulator + (1 - phaseAccumulator) * phaseRise;
        }
    }

    // Beyond full scale (or NaN) on an output sets that channel's counter.
    void CheckClip(double left, double right) {
        if (!(std::fabs(left) <= 1.0)) clipLive[0] = kClipHoldSteps;
        if (!(std::fabs(right) <= 1.0)) clipLive[1] = kClipHoldSteps;
    }

    // 0 (always in phase) to 180 (always opposite).
    int32_t PhaseDegrees() const { return static_cast<int32_t>(phaseAccumulator * 180); }
};
