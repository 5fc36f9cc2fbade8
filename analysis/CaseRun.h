// One case of the analysis (a mode with a filter) while the passes run: the engine's quadrature
// stage in that case's state and what the passes gather from its pair.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/PhaseAnalysis.h"
#include "analysis/QuadratureSums.h"
#include "engine/Coefficients.h"
#include "engine/PhaseKernels.h"

// The frames kept for the peak search are pruned when they reach this many, and again each time
// they double; the floor they must reach is raised from the strongest few of them.
constexpr size_t kFirstPrune = 4096;

// An angle whose output peak a pass computes, channel by channel, with the frames where each
// channel's peak lies.
struct Probe {
    int phase;
    Coefficients coefficients;
    double peak[2];
    Frame witness[2];
};

// The frames of one case that can hold the output's peak at some angle. A frame's output at any
// angle is at most its bound, |lu| |u| + |lq| r on the left (r the magnitude of (t, v)), and
// likewise on the right; the peak at every angle reaches the floor, the least over the angles
// of the peaks of a few of the frames kept. So a frame whose bound is below the floor is never
// the peak at any angle, and the frames kept give every angle's peak exactly.
struct PeakFrames {
    std::vector<Frame> frames;
    std::vector<double> bounds;
    double floor = 0.0;
    size_t pruneAt = kFirstPrune;
    bool overflowed = false;  // more frames were needed than allowed: the search reads the input
};

// What a pass does with the quadrature pair of each output frame.
enum class PassWork {
    kSums,     // the sums, the frames that can hold a peak, the scope
    kProbes,   // the peaks of the probes' angles
    kClipped,  // the moments of the output at one angle held within full scale
};

// One case while the passes run: the engine's quadrature stage and what is gathered from it.
struct CaseRun {
    AnalysisCase* out = nullptr;
    bool ms = false;
    bool fir = false;
    const PreciseQuadratureTable* precise = nullptr;  // the precise filter's, for the input's rate
    const SignalKernels* kernels = nullptr;
    std::unique_ptr<PhaseState> state;
    std::vector<Coefficients> angles;  // by phase + 180
    // The magnitudes of the mix form's weights on |u| and r, left and right, each with an
    // allowance for the rounding of the plug-in's arithmetic.
    double boundLeft[2] = {}, boundRight[2] = {};

    QuadratureSums sums;
    PeakFrames peakFrames;
    std::vector<double> scope[3];  // u, t, v at the scope's frames
    // By phase + 180: each channel's peak where a probe found it (NaN elsewhere), and the RMS
    // of both channels from the sums.
    std::vector<double> peaks[2];
    std::vector<double> rms;
    std::vector<Frame> witnesses;  // the frames of the peaks found so far
    std::vector<Probe> probes;
    Coefficients clippedAt;  // kClipped: the angle whose clipped output is measured
    CStereoMeter clipped;
    bool searched = false;  // the non-peak objectives: the best angle is settled

    QuadraturePair pair = {};  // the chunk's, in the state
    uint64_t processed = 0;  // FIR: processor frames this pass
    uint64_t emitted = 0;    // output frames this pass

    bool KeepsFrames() const { return !peakFrames.overflowed; }
    double Bound(double u, double r) const {
        return std::max(boundLeft[0] * std::fabs(u) + boundLeft[1] * r,
                        boundRight[0] * std::fabs(u) + boundRight[1] * r);
    }
    double PeakAt(int phase) const {
        const size_t i = static_cast<size_t>(phase - kAnalysisMinPhase);
        return std::max(peaks[0][i], peaks[1][i]);
    }
    bool Evaluated(int phase) const { return !std::isnan(peaks[0][phase - kAnalysisMinPhase]); }
};
