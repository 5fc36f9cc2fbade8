// The phase analysis in its steps: the cases, the one pass for the sums, the curves, the peak
// search, the best angle of each case, the figures of a suggestion that clips, and the case to
// suggest.
#include "analysis/PhaseAnalysis.h"

#include <algorithm>
#include <cmath>

#include "analysis/AnalysisPass.h"
#include "analysis/CaseRun.h"
#include "analysis/PeakFrames.h"
#include "analysis/PeakSearch.h"
#include "engine/OutputStage.h"

ParamValues AnalysisParams(const AnalysisSettings& settings, Mode mode, QuadratureFilter filter,
                           int phase) {
    ParamValues p = kDefaultParams;
    p[kParamPhase] = phase;
    p[kParamWidth] = settings.width;
    p[kParamOutput] = settings.output;
    p[kParamMode] = ParamValueOf(mode);
    p[kParamFilter] = ParamValueOf(filter);
    return p;
}

namespace {

// Between cases an improvement must be audible in the figures to be worth another mode or the
// FIR filter's latency.
constexpr double kCaseMarginDb = 0.01;
constexpr double kCaseMarginCorrelation = 0.001;

// The cases the settings ask for: LR then MS phase, each with the all-pass network, the FIR
// filter and the precise filter.
bool ChooseCases(const AnalysisSettings& settings, PhaseAnalysisResult* result,
                 std::string* error) {
    for (Mode mode : {Mode::kLrPhase, Mode::kMsPhase})
        for (QuadratureFilter filter :
             {QuadratureFilter::kAllpass, QuadratureFilter::kFir, QuadratureFilter::kPrecise})
            if (settings.modes[mode == Mode::kMsPhase] && settings.filters[ParamValueOf(filter)]) {
                AnalysisCase c;
                c.mode = mode;
                c.filter = filter;
                c.latencyFrames = filter == QuadratureFilter::kFir ? kFirLatencyFrames : 0;
                result->cases.push_back(c);
            }
    if (result->cases.empty()) {
        *error = "nothing to analyse: no mode or no filter chosen";
        return false;
    }
    return true;
}

// A case's run before the first pass: its processor, the coefficients of every angle and the
// bounds of its output for the peak search.
void PrepareRun(CaseRun& run, AnalysisCase& c, const AnalysisSettings& settings,
                const SignalKernels* kernels, uint32_t sampleRate) {
    run.out = &c;
    run.ms = c.mode == Mode::kMsPhase;
    run.fir = c.filter == QuadratureFilter::kFir;
    run.precise = &PreciseQuadratureFor(sampleRate);
    run.kernels = kernels;
    run.state.reset(new PhaseState());
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase)
        run.angles.push_back(
            ComputeCoefficients(AnalysisParams(settings, c.mode, c.filter, phase)));
    const Coefficients& any = run.angles.front();
    const MixForm f = MixFormOf(any);
    const double allowance = 1e-12 * (std::fabs(any.midGain) + std::fabs(any.sideGain));
    run.boundLeft[0] = std::fabs(f.lu) + allowance;
    run.boundLeft[1] = std::fabs(f.lq) + allowance;
    run.boundRight[0] = std::fabs(f.ru) + allowance;
    run.boundRight[1] = std::fabs(f.rq) + allowance;
    run.peaks[0].assign(kAnalysisAngleCount, kAnalysisNan);
    run.peaks[1].assign(kAnalysisAngleCount, kAnalysisNan);
}

// After the sums pass: a case's figures at every angle, exact from the sums, and how far its
// fold-down level moves over the angles.
void ComputeCurve(CaseRun& run, const AnalysisSettings& settings) {
    if (run.KeepsFrames()) RaiseFloor(run, settings.peakFrameLimit);
    AnalysisCase& c = *run.out;
    c.curve.resize(kAnalysisAngleCount);
    run.rms.resize(kAnalysisAngleCount);
    double lowest = kAnalysisInf, highest = -kAnalysisInf;
    for (size_t i = 0; i < run.angles.size(); ++i) {
        const StereoMoments m = MomentsAt(run.sums, run.angles[i]);
        c.curve[i] = FiguresOf(m);
        run.rms[i] = std::sqrt(StereoPower(m));
        const double foldDown = Db10(m.sumMid / (4.0 * m.frames));
        if (std::isfinite(foldDown)) {
            lowest = std::min(lowest, foldDown);
            highest = std::max(highest, foldDown);
        }
    }
    c.foldDownSpread = highest > lowest ? highest - lowest : 0.0;
}

// A case's best angle once the peaks are known, and the angles passed over because they clip,
// though better for the objective. True when the best angle itself clips.
bool ChooseBestAngle(CaseRun& run, const AnalysisSettings& settings, bool clipsAtFullScale) {
    AnalysisCase& c = *run.out;
    bool allClip = false;
    const std::vector<char> allowed = Allowed(run, settings, clipsAtFullScale, &allClip);
    c.bestPhase = ChooseAngle(c.curve, settings.objective, allowed);
    const size_t best = static_cast<size_t>(c.bestPhase - kAnalysisMinPhase);
    c.best = c.curve[best];
    c.bestMoments = MomentsAt(run.sums, run.angles[best]);
    c.bestMoments.peak = run.PeakAt(c.bestPhase);
    c.bestUnclippedPeakDbfs = c.best.peakDbfs;
    c.bestClips = Clips(run, c.bestPhase, clipsAtFullScale);
    const double bestCost = ObjectiveCost(settings.objective, c.best);
    double leftOutCost = kAnalysisInf;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const double cost = ObjectiveCost(settings.objective, c.curve[phase - kAnalysisMinPhase]);
        if (!Clips(run, phase, clipsAtFullScale) || Ties(bestCost, cost)) continue;
        ++c.clippingLeftOut;
        if (cost < leftOutCost) {
            leftOutCost = cost;
            c.bestClippingPhase = phase;
        }
    }
    if (c.bestClips) run.clippedAt = run.angles[best];
    return c.bestClips;
}

// A suggestion that clips is compared with the file it makes: its figures after clipping.
bool MeasureClippedBest(IAnalysisSource& source, std::vector<CaseRun*>& clipping,
                        const PassContext& context, PhaseAnalysisResult* result,
                        std::string* error) {
    if (clipping.empty()) return true;
    if (!RunPass(source, clipping, context, result, error)) return false;
    for (CaseRun* run : clipping) {
        AnalysisCase& c = *run->out;
        c.bestMoments = run->clipped.Moments();
        c.best = FiguresOf(c.bestMoments);
    }
    return true;
}

// The case to suggest: another case must be better by a margin the figures can show, and may
// not clip where the first does not.
void SuggestCase(const AnalysisSettings& settings, PhaseAnalysisResult* result) {
    double suggestedCost = kAnalysisNan;
    for (size_t i = 0; i < result->cases.size(); ++i) {
        const AnalysisCase& c = result->cases[i];
        const double cost = ObjectiveCost(settings.objective, c.best);
        const double margin = settings.objective == AnalysisObjective::kCorrelation
                                  ? kCaseMarginCorrelation
                                  : kCaseMarginDb;
        const bool suggestedClips = result->cases[result->suggested].bestClips;
        if (i == 0 || (suggestedClips && !c.bestClips) ||
            (suggestedClips == c.bestClips && cost < suggestedCost - margin)) {
            result->suggested = i;
            suggestedCost = cost;
        }
    }
}

// The suggested output at the scope's frames, as the file holds it.
void ScopeTheSuggestion(const std::vector<CaseRun>& runs, PhaseAnalysisResult* result) {
    const CaseRun& chosen = runs[result->suggested];
    const Coefficients& c = chosen.angles[chosen.out->bestPhase - kAnalysisMinPhase];
    const size_t points = std::min(chosen.scope[0].size(), result->inputScope[0].size());
    result->inputScope[0].resize(points);
    result->inputScope[1].resize(points);
    for (size_t k = 0; k < points; ++k) {
        double left, right;
        OutputStage::MixFrame(chosen.scope[0][k], chosen.scope[1][k], chosen.scope[2][k], c, &left,
                              &right);
        if (result->clipsAtFullScale) {
            left = std::max(-1.0, std::min(1.0, left));
            right = std::max(-1.0, std::min(1.0, right));
        }
        result->outputScope[0].push_back(left);
        result->outputScope[1].push_back(right);
    }
}

}  // namespace

bool AnalyzePhase(IAnalysisSource& source, const AnalysisSettings& settings,
                  PhaseAnalysisResult* result, std::string* error) {
    *result = PhaseAnalysisResult();
    result->settings = settings;
    result->singlePrecision = source.SinglePrecision();
    result->clipsAtFullScale = source.ClipsAtFullScale();
    const uint64_t expected = source.FrameCount();
    const uint64_t stride = std::max<uint64_t>(
        1, (expected + settings.scopePoints - 1) / std::max<size_t>(1, settings.scopePoints));
    if (!ChooseCases(settings, result, error)) return false;
    const SignalKernels* kernels = SignalKernelsFor(BestSignalPath());
    std::vector<CaseRun> runs(result->cases.size());
    std::vector<CaseRun*> all;
    for (size_t i = 0; i < runs.size(); ++i) {
        PrepareRun(runs[i], result->cases[i], settings, kernels, source.SampleRate());
        all.push_back(&runs[i]);
    }

    // The one pass: the sums, the frames that can hold a peak, the input's moments and scope.
    if (!RunPass(source, all, {PassWork::kSums, stride, settings.peakFrameLimit}, result, error))
        return false;
    if (result->frames == 0) {
        *error = "the input holds no audio frames";
        return false;
    }
    result->input = FiguresOf(result->inputMoments);
    for (CaseRun& run : runs) ComputeCurve(run, settings);

    // The peaks: searched over the frames kept, or with further passes for a case that keeps
    // none.
    const PassContext probing = {PassWork::kProbes, stride, settings.peakFrameLimit};
    if (PeakObjective(settings.objective)
            ? !SearchPeaks(source, runs, settings, probing, result, error)
            : !SettleBest(source, runs, settings, probing, result, error))
        return false;

    std::vector<CaseRun*> clipping;
    for (CaseRun& run : runs)
        if (ChooseBestAngle(run, settings, result->clipsAtFullScale)) clipping.push_back(&run);
    if (!MeasureClippedBest(source, clipping, {PassWork::kClipped, stride, settings.peakFrameLimit},
                            result, error))
        return false;
    SuggestCase(settings, result);
    ScopeTheSuggestion(runs, result);
    return true;
}
