// What the analysis tap publishes for the analysis page, and the curves a page draws from it:
// the sums of the quadrature pair over the window (which give the output's figures at every
// phase angle), the input's and the output's correlation, and the latest output frames.
#pragma once
#include <cstdint>

#include "analysis/AnalysisMetrics.h"
#include "analysis/QuadratureSums.h"
#include "engine/ParamValues.h"

constexpr int kTapMinWindowSeconds = 1;
constexpr int kTapMaxWindowSeconds = 30;
constexpr int kTapDefaultWindowSeconds = 5;
// The correlation meters integrate over about this long (an exponential average whose time
// constant it is, stepped at each publication, at most 20 times a second).
constexpr double kTapCorrelationSeconds = 0.3;
// Output frames kept for the phase scope.
constexpr int kTapScopeFrames = 2048;

struct TapSnapshot {
    uint64_t sequence = 0;  // publications since the tap was set up; 0: nothing streamed yet
    // The parameters of the latest block: the curves are for its mode and filter, at its width
    // and output; its phase is the current angle.
    ParamValues params = kDefaultParams;
    uint32_t sampleRate = 0;
    int windowSeconds = kTapDefaultWindowSeconds;
    // The sums over the window (whole segments of the stream since the last reset, at most the
    // window's length); sums.frames is the frame count they cover.
    QuadratureSums sums;
    // The meters' exponential average of the sums, which the correlations are formed from.
    QuadratureSums recent;
    // Pearson correlation, -1..+1, of the input and of the output; NaN while a channel is silent.
    // The reader forms them from the average as it takes the snapshot.
    double inputCorrelation = kAnalysisNan;
    double outputCorrelation = kAnalysisNan;
    // The latest output frames, oldest first, as the plug-in writes them: [i][0] left, [i][1]
    // right; scopeFrames of them are valid.
    int scopeFrames = 0;
    float scope[kTapScopeFrames][2] = {};
};

// The output's figures over the window at every angle, index phase + 180 (kAnalysisAngleCount
// entries), and the angle each objective suggests, as twphase-render --analyze chooses it.
struct TapCurves {
    double monoLossDb[kAnalysisAngleCount];   // +inf where the fold-down cancels
    double correlation[kAnalysisAngleCount];  // NaN where a channel is silent
    int bestMonoPhase = 0;
    int bestCorrelationPhase = 0;
};

inline int TapAngleIndex(int phase) {
    return phase - kAnalysisMinPhase;
}

// The curves of a snapshot for its mode and filter at its width and output; false (and the
// curves left alone) while the window holds no frames.
bool TapCurvesOf(const TapSnapshot& snapshot, TapCurves* curves);
