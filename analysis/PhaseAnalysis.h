// The phase analysis (twphase-render --analyze): the input's stereo figures, and for LR and MS
// phase with each quadrature filter, the figures of the plug-in's output at every phase angle
// (-180..180) and the angle that best meets an objective.
//
// The output of the plug-in is linear in cos(phase) and sin(phase): from the quadrature pair
// (u, t, v) that the processor makes of the input (u the reference of the first signal, t the
// reference of the second, v its quadrature), q = t cos + v sin, and the mode matrix and gains
// are fixed linear maps. So one pass that collects the frame count, the sums of u, t, v and of
// their products gives every angle's energies, mono fold-down and correlation exactly. The peak
// is no such sum: the same pass keeps the few frames that can hold the output's peak at some
// angle, and a bounded search over them (every 10th degree, then the whole degrees that the
// samples of the peaks found so far cannot rule out) finds the angle of least peak or crest
// exactly.
//
// u, t and v come from the engine's own quadrature stage, fed as the plug-in is fed (the same
// samples in the same precision, the FIR filter's latency flushed with silence so the output
// lines up with the input), so the figures are those of the plug-in's output before it is
// written in the file's sample format.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/AnalysisMetrics.h"
#include "analysis/StereoFigures.h"
#include "engine/ParamValues.h"

// The input the analysis reads, pass after pass.
class IAnalysisSource {
public:
    virtual ~IAnalysisSource() = default;
    // Back to the first frame; false with Error() when the input cannot be read again.
    virtual bool Rewind() = 0;
    // Up to maxFrames frames as the values the plug-in receives (a mono input's channel in
    // both); fewer only at the end. After a read error, Error() is set.
    virtual size_t Read(double* left, double* right, size_t maxFrames) = 0;
    // The plug-in runs the single-precision path (16-bit PCM and 32-bit float working formats).
    virtual bool SinglePrecision() const = 0;
    // The output is written in an integer format, which holds nothing beyond full scale.
    virtual bool ClipsAtFullScale() const = 0;
    // The rate the plug-in streams at: the precise filter's coefficients depend on it.
    virtual uint32_t SampleRate() const = 0;
    virtual uint64_t FrameCount() const = 0;
    virtual const std::string& Error() const = 0;
};

struct AnalysisSettings {
    AnalysisObjective objective = AnalysisObjective::kMonoLoss;
    int32_t width = 100;                   // percent, as the Width parameter
    int32_t output = 0;                    // tenths of a dB, as the Output parameter
    bool modes[2] = {true, true};          // LR phase, MS phase
    bool filters[3] = {true, true, true};  // all-pass, FIR, precise (by Filter value)
    size_t scopePoints = 2000;             // frames kept for the phase scope
    // Frames a case keeps for its peak search; a case that needs more (a signal whose peaks
    // recur all through the file) searches with further passes over the input instead.
    size_t peakFrameLimit = size_t{1} << 18;
};

// One mode with one filter: its curve over every angle and the angle it suggests.
struct AnalysisCase {
    Mode mode = Mode::kLrPhase;
    QuadratureFilter filter = QuadratureFilter::kAllpass;
    int latencyFrames = 0;
    // Index phase + 180. Peak and crest are NaN except at the angles the search evaluated.
    std::vector<SignalFigures> curve;
    int bestPhase = 0;
    // At bestPhase, peak and crest included; when the output clips there (bestClips), the
    // figures of the clipped file.
    SignalFigures best;
    StereoMoments bestMoments;  // the sums behind it, to compare a render with
    // With an integer output: the output goes beyond full scale at bestPhase (every angle
    // evaluated does), and the angles better for the objective that were left out because
    // they clip, with the best of them (0 when none).
    bool bestClips = false;
    int clippingLeftOut = 0;
    int bestClippingPhase = 0;
    double bestUnclippedPeakDbfs = 0.0;  // the peak at bestPhase before clipping
    int peakEvaluations = 0;             // angles whose peak the search computed
    double foldDownSpread = 0;           // the largest minus the smallest fold-down level, in dB
};

struct PhaseAnalysisResult {
    AnalysisSettings settings;
    uint64_t frames = 0;
    bool singlePrecision = false;
    bool clipsAtFullScale = false;  // the output is written in an integer format
    int passes = 0;                 // reads of the input
    StereoMoments inputMoments;
    SignalFigures input;
    std::vector<AnalysisCase> cases;
    size_t suggested = 0;  // the case whose best angle best meets the objective
    // Phase-scope points: the input and the suggested output at the same frames.
    std::vector<double> inputScope[2];
    std::vector<double> outputScope[2];
};

// The parameter record of a case at a phase angle.
ParamValues AnalysisParams(const AnalysisSettings& settings, Mode mode, QuadratureFilter filter,
                           int phase);

// Reads the source once for the sums and the frames that can hold a peak; again only for a case
// whose peaks recur too often to keep (the search's levels then read the input), and for the
// figures of a clipped file when the suggestion clips. False with a one-line error when reading
// fails or the source holds no frames.
bool AnalyzePhase(IAnalysisSource& source, const AnalysisSettings& settings,
                  PhaseAnalysisResult* result, std::string* error);
