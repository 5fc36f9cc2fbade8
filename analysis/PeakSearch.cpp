// The peak search over the angles of each case.
#include "analysis/PeakSearch.h"

#include <cmath>
#include <cstdlib>

#include "analysis/AnalysisMetrics.h"
#include "analysis/PeakFrames.h"
#include "engine/OutputStage.h"

namespace {

// The peak search evaluates every 10th degree, then the candidates among every 5th, then the
// rest: each level's peaks tighten the bounds that rule out the next level's angles.
constexpr int kGridStep = 10;
constexpr int kSearchSteps[] = {kGridStep, 5, 1};
// Angles a case whose frames are not kept evaluates per pass while it looks for the best one
// that does not clip.
constexpr size_t kProbesPerPass = 8;

// Whether angle `phase`, were it to tie `best` in the objective's figure, would still lose the
// tie on the figures it has from the sums alone, or on being further from 0.
bool LosesTie(const AnalysisCase& c, AnalysisObjective objective, int phase, int best) {
    const SignalFigures& f = c.curve[phase - kAnalysisMinPhase];
    const SignalFigures& b = c.curve[best - kAnalysisMinPhase];
    for (AnalysisMetric m : TieBreakers(objective)) {
        if (m == AnalysisMetric::kPeak) return false;  // not known before it is evaluated
        const double cost = MetricCost(m, f), bestCost = MetricCost(m, b);
        if (!Ties(cost, bestCost)) return true;
        if (!Ties(bestCost, cost)) return false;
    }
    return std::abs(phase) > std::abs(best) || (std::abs(phase) == std::abs(best) && phase < best);
}

// The whole degrees (multiples of `step`) whose peak is not known and that could still be
// suggested. The output at any angle has the frames where earlier probes found their peaks:
// their samples there, computed as the plug-in computes them, bound that angle's peak from
// below. An angle is out when that bound (over the exact RMS for crest) is worse than the best
// known figure beyond rounding, or could at most tie it and would lose the tie, or it surely
// clips while the best does not.
std::vector<int> PeakCandidates(const CaseRun& run, const AnalysisSettings& settings,
                                bool clipsAtFullScale, int step) {
    bool allClip = false;
    const std::vector<char> allowed = Allowed(run, settings, clipsAtFullScale, &allClip);
    bool anyKnown = false;
    double lowestKnown = kAnalysisInf;
    const AnalysisCase& c = *run.out;
    for (size_t i = 0; i < allowed.size(); ++i)
        if (allowed[i]) {
            anyKnown = true;
            lowestKnown = std::min(lowestKnown, ObjectiveCost(settings.objective, c.curve[i]));
        }
    const bool crest = settings.objective == AnalysisObjective::kCrest;
    const int best = anyKnown ? ChooseAngle(c.curve, settings.objective, allowed) : 0;
    const double bestCost =
        anyKnown ? ObjectiveCost(settings.objective, c.curve[best - kAnalysisMinPhase])
                 : kAnalysisInf;
    const bool bestClips = anyKnown && Clips(run, best, clipsAtFullScale);
    std::vector<int> candidates;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; phase += step) {
        if (run.Evaluated(phase)) continue;
        const size_t i = static_cast<size_t>(phase - kAnalysisMinPhase);
        double bound = 0.0;
        for (const Frame& f : run.witnesses) {
            double left, right;
            OutputStage::MixFrame(f.u, f.t, f.v, run.angles[i], &left, &right);
            bound = std::max(bound, std::max(std::fabs(left), std::fabs(right)));
        }
        const bool surelyClips = clipsAtFullScale && bound > 1.0;
        const double lowest = crest ? Db20(bound) - c.curve[i].rmsDbfs : Db20(bound);
        const bool better = lowest < lowestKnown - kTieFigure;
        const bool mayTie = Ties(lowest, bestCost) && !LosesTie(c, settings.objective, phase, best);
        if (!anyKnown || (bestClips && !surelyClips) ||
            (surelyClips == bestClips && (better || mayTie)))
            candidates.push_back(phase);
    }
    return candidates;
}

void SetProbes(CaseRun& run, const std::vector<int>& phases) {
    run.probes.clear();
    for (int phase : phases)
        run.probes.push_back({phase, run.angles[phase - kAnalysisMinPhase], {0.0, 0.0}, {{}, {}}});
}

// Writes the probes' peaks into the case's curve (crest = peak over RMS, as FiguresOf).
void StorePeaks(CaseRun& run) {
    AnalysisCase& c = *run.out;
    for (const Probe& probe : run.probes) {
        const size_t i = static_cast<size_t>(probe.phase - kAnalysisMinPhase);
        SignalFigures& f = c.curve[i];
        run.peaks[0][i] = probe.peak[0];
        run.peaks[1][i] = probe.peak[1];
        run.witnesses.push_back(probe.witness[0]);
        run.witnesses.push_back(probe.witness[1]);
        f.peakDbfs = Db20(std::max(probe.peak[0], probe.peak[1]));
        f.crestDb = std::isfinite(f.rmsDbfs) ? f.peakDbfs - f.rmsDbfs : kAnalysisNan;
        ++c.peakEvaluations;
    }
    run.probes.clear();
}

// Every case's probes: over its kept frames, or in one pass for the cases that keep none.
bool EvaluateProbes(IAnalysisSource& source, std::vector<CaseRun>& runs, const PassContext& pass,
                    PhaseAnalysisResult* result, std::string* error) {
    std::vector<CaseRun*> reading;
    for (CaseRun& run : runs) {
        if (run.probes.empty()) continue;
        if (run.KeepsFrames()) {
            for (const Frame& f : run.peakFrames.frames) ProbeFrame(run.probes, f);
        } else {
            reading.push_back(&run);
        }
    }
    if (!reading.empty() && !RunPass(source, reading, pass, result, error)) return false;
    for (CaseRun& run : runs) StorePeaks(run);
    return true;
}

}  // namespace

bool PeakObjective(AnalysisObjective objective) {
    return objective == AnalysisObjective::kPeak || objective == AnalysisObjective::kCrest;
}

// An integer file holds nothing beyond full scale.
bool Clips(const CaseRun& run, int phase, bool clipsAtFullScale) {
    return clipsAtFullScale && run.Evaluated(phase) && run.PeakAt(phase) > 1.0;
}

// The angles of a case that may be suggested: evaluated ones (for the peak objectives) that do
// not clip; all evaluated ones when every one clips.
std::vector<char> Allowed(const CaseRun& run, const AnalysisSettings& settings,
                          bool clipsAtFullScale, bool* allClip) {
    const bool peaks = PeakObjective(settings.objective);
    std::vector<char> allowed(kAnalysisAngleCount, 0), any(kAnalysisAngleCount, 0);
    bool someAllowed = false;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const size_t i = static_cast<size_t>(phase - kAnalysisMinPhase);
        any[i] = !peaks || run.Evaluated(phase);
        allowed[i] = any[i] && !Clips(run, phase, clipsAtFullScale);
        someAllowed |= allowed[i] != 0;
    }
    *allClip = !someAllowed;
    return someAllowed ? allowed : any;
}

// The peak and crest objectives: every 10th degree, then the candidates among every 5th, then
// the candidates among the rest.
bool SearchPeaks(IAnalysisSource& source, std::vector<CaseRun>& runs,
                 const AnalysisSettings& settings, const PassContext& pass,
                 PhaseAnalysisResult* result, std::string* error) {
    for (int step : kSearchSteps) {
        // The last level again until no angle is left that could be better: its own peaks
        // may have moved the best.
        for (bool any = true; any;) {
            any = false;
            for (CaseRun& run : runs) {
                SetProbes(run, PeakCandidates(run, settings, result->clipsAtFullScale, step));
                any |= !run.probes.empty();
            }
            if (any && !EvaluateProbes(source, runs, pass, result, error)) return false;
            if (step != 1) break;
        }
    }
    return true;
}

// The other objectives, whose figure every angle has: the peak of the angle to suggest, and
// with an integer output, of the next ones until one does not clip. A case that keeps no frames
// evaluates a few angles per pass, in the order they would be suggested.
bool SettleBest(IAnalysisSource& source, std::vector<CaseRun>& runs,
                const AnalysisSettings& settings, const PassContext& pass,
                PhaseAnalysisResult* result, std::string* error) {
    for (;;) {
        bool any = false;
        for (CaseRun& run : runs) {
            if (run.searched) continue;
            std::vector<int> phases;
            bool allClip = false;
            std::vector<char> allowed = Allowed(run, settings, result->clipsAtFullScale, &allClip);
            const size_t wanted = run.KeepsFrames() ? 1 : kProbesPerPass;
            while (phases.size() < wanted) {
                bool open = false;
                for (char a : allowed) open |= a != 0;
                if (!open) break;
                const int phase = ChooseAngle(run.out->curve, settings.objective, allowed);
                if (!run.Evaluated(phase))
                    phases.push_back(phase);
                else if (phases.empty())
                    break;  // the best allowed angle is known: settled
                allowed[phase - kAnalysisMinPhase] = 0;
            }
            if (phases.empty()) {
                run.searched = true;
                continue;
            }
            SetProbes(run, phases);
            any = true;
        }
        if (!any) return true;
        if (!EvaluateProbes(source, runs, pass, result, error)) return false;
    }
}
