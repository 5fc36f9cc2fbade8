// Meter state: the phase-opposition meter, clip counters and held peaks. The streaming thread
// writes them and the editor polls them without a lock; each value is one aligned word, held in
// a relaxed atomic (plain loads and stores on the machine, but a defined result across threads).
#pragma once
#include <atomic>
#include <cmath>
#include <cstdint>

constexpr double kPhaseMeterDecay = 0.9999;  // time constant of 10000 frames
constexpr int32_t kClipHoldSteps = 3;        // a clip shows for three editor ticks

static_assert(std::atomic<double>::is_always_lock_free, "meter values are single words");

// An output channel, as the clip counters and held peaks are indexed.
enum class Channel : int { kLeft = 0, kRight = 1 };
// A channel's clip counters: the one a clip sets, and the editor's copy of what it shows.
enum class ClipCounter : int { kLive = 0, kShown = 1 };

constexpr int IndexOf(Channel channel) {
    return static_cast<int>(channel);
}

struct MeterState {
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

    std::atomic<double> phaseAccumulator{0.0};  // smoothed fraction of opposite-sign frames
    double phaseDecay = kPhaseMeterDecay;       // streaming thread only
    double phaseRise = 1 - kPhaseMeterDecay;
    std::atomic<int32_t> clipLive[2] = {{0}, {0}};   // set to 3 by a clip; the editor counts down
    std::atomic<int32_t> clipShown[2] = {{0}, {0}};  // the editor's copies, to detect changes
    std::atomic<double> heldPeak[2] = {{0.0}, {0.0}};
    std::atomic<int32_t> peakRead[2] = {{0}, {0}};

    // Stream start: factors set, accumulator, live counters, peaks and read flags cleared.
    void ResetForStream() {
        phaseDecay = kPhaseMeterDecay;
        phaseRise = 1 - kPhaseMeterDecay;
        phaseAccumulator.store(0.0, kRelaxed);
        for (int c = 0; c < 2; ++c) {
            clipLive[c].store(0, kRelaxed);
            heldPeak[c].store(0.0, kRelaxed);
            peakRead[c].store(0, kRelaxed);
        }
    }

    // Stream stop and bypass: the phase meter and the held peaks drop to zero.
    void ClearPhaseAndPeaks() {
        phaseAccumulator.store(0.0, kRelaxed);
        heldPeak[0].store(0.0, kRelaxed);
        heldPeak[1].store(0.0, kRelaxed);
    }

    // One frame of the phase meter on an accumulator the block keeps in a register; NaN counts
    // as negative.
    double FeedPhase(double accumulator, double x, double y) const {
        const bool xNegative = !(x >= 0.0);
        const bool yNegative = !(y >= 0.0);
        if (xNegative == yNegative) return accumulator * phaseDecay;
        return accumulator + (1 - accumulator) * phaseRise;
    }

    // Beyond full scale (or NaN).
    static bool Clips(double sample) { return !(std::fabs(sample) <= 1.0); }

    std::atomic<int32_t>& Clip(Channel channel, ClipCounter counter) {
        return (counter == ClipCounter::kLive ? clipLive : clipShown)[IndexOf(channel)];
    }
    const std::atomic<int32_t>& Clip(Channel channel, ClipCounter counter) const {
        return (counter == ClipCounter::kLive ? clipLive : clipShown)[IndexOf(channel)];
    }

    // 0 (always in phase) to 180 (always opposite).
    int32_t PhaseDegrees() const {
        return static_cast<int32_t>(phaseAccumulator.load(kRelaxed) * 180);
    }
};
