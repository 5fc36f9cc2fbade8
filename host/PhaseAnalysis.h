// The phase analysis of twphase-render --analyze: the input's stereo figures, and for LR and MS
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

#include "engine/ParamValues.h"

// The analysis tries every angle the Phase parameter can take.
constexpr int kAnalysisMinPhase = kParamDescriptors[kParamPhase].min;
constexpr int kAnalysisMaxPhase = kParamDescriptors[kParamPhase].max;
constexpr int kAnalysisAngleCount = kAnalysisMaxPhase - kAnalysisMinPhase + 1;

// What --objective asks for: the least mono-sum loss, the highest correlation, the lowest
// sample peak or the lowest crest factor (peak over RMS).
enum class AnalysisObjective { kMonoLoss, kCorrelation, kPeak, kCrest };

// The figures --fail-above and --fail-below test.
enum class AnalysisMetric { kMonoLoss, kCorrelation, kPeak, kCrest };

struct AnalysisThreshold {
    AnalysisMetric metric = AnalysisMetric::kMonoLoss;
    bool above = true;  // fails when the figure is above the limit (else below it)
    double limit = 0.0;
};

// "mono-loss", "correlation", "peak", "crest" (for the objective and the metrics alike).
const char* AnalysisMetricName(AnalysisMetric metric);
const char* AnalysisObjectiveName(AnalysisObjective objective);
bool ParseAnalysisMetric(const std::string& name, AnalysisMetric* metric);

// Sums over the frames of a stereo signal, from which its figures follow. The fold-down's and
// the difference's energies are sums of their own: taken from sumLL, sumRR and sumLR they would
// lose a fold-down more than about 150 dB down to rounding.
struct StereoMoments {
    double frames = 0.0;
    double sumL = 0.0, sumR = 0.0;
    double sumLL = 0.0, sumRR = 0.0, sumLR = 0.0;
    double sumMid = 0.0;   // the sum of (L + R)^2
    double sumSide = 0.0;  // the sum of (L - R)^2
    double peak = 0.0;     // the largest magnitude of either channel; NaN when not known
};

// Accumulates StereoMoments frame by frame, in blocks whose partial sums are added to the
// totals, so long files lose no precision to one running sum.
class CStereoMeter {
public:
    void Add(double left, double right);
    // The same for a run of frames, two at a time.
    void AddFrames(const double* left, const double* right, size_t frames);
    StereoMoments Moments() const;

private:
    static constexpr int kBlockFrames = 4096;

    StereoMoments m_total;
    StereoMoments m_block;
    int m_blockFrames = 0;
};

// A signal's figures. Not-a-number where a figure is undefined (a silent channel has no
// correlation, a silent signal no loss); infinities where a ratio runs off the scale (a
// fold-down more than 200 dB below the stereo level counts as cancelled: +inf loss).
struct SignalFigures {
    double correlation = 0.0;  // Pearson, -1..+1
    double midSideDb = 0.0;    // mid energy over side energy, M = (L+R)/2, S = (L-R)/2
    double monoLossDb = 0.0;   // the mean stereo power over the fold-down's, never negative
    double peakDbfs = 0.0;     // NaN when the peak is not known
    double crestDb = 0.0;      // peak over the RMS of both channels; NaN with the peak unknown
    double rmsDbfs = 0.0;      // RMS of both channels
};

// The mean power per sample of the two channels, (sum L^2 + sum R^2) / 2 frames: the level the
// mono-sum loss is measured against.
double StereoPower(const StereoMoments& moments);

// The figures of a signal. Its mono loss is measured against its own stereo level: what a mono
// listener loses against a stereo listener of the same signal, so a change of level alone
// changes no loss.
SignalFigures FiguresOf(const StereoMoments& moments);

// The objective's figure with smaller meaning better (correlation negated); +inf for NaN.
double ObjectiveCost(AnalysisObjective objective, const SignalFigures& figures);
double MetricValue(AnalysisMetric metric, const SignalFigures& figures);
// Whether a limit lies within the figures the metric can take (a correlation within -1..1, a
// loss or crest factor not below 0 dB); the range in words for a message otherwise.
bool MetricLimitInRange(AnalysisMetric metric, double limit, std::string* range);

// Whether a rendered file's moments agree with the analysis's: the same frame count, and RMS,
// fold-down RMS and peak within what writing each sample with an error of at most `quantum`
// (a 16-bit step, or 0 for float files) and single-precision rounding can change; the
// correlation within what those changes allow. Names the figures that differ.
bool MomentsAgree(const StereoMoments& analysis, const StereoMoments& measured, double quantum,
                  std::string* differences);

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
    virtual uint64_t FrameCount() const = 0;
    virtual const std::string& Error() const = 0;
};

struct AnalysisSettings {
    AnalysisObjective objective = AnalysisObjective::kMonoLoss;
    int32_t width = 100;             // percent, as the Width parameter
    int32_t output = 0;              // tenths of a dB, as the Output parameter
    bool modes[2] = {true, true};    // LR phase, MS phase
    bool filters[2] = {true, true};  // all-pass, FIR
    size_t scopePoints = 2000;       // frames kept for the phase scope
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
