// The analysis page's suggestions.
#include "editor/analysis/AnalysisSuggestion.h"

namespace {

constexpr int kModeLrPhase = 0;
constexpr int kModeMsPhase = 1;

}  // namespace

Suggestion SuggestionOf(SuggestionKind kind, const TapSnapshot& snapshot) {
    Suggestion s;
    const int mode = snapshot.params[kParamMode];
    if (kind == SuggestionKind::kMono && mode == kModeMsPhase) return s;
    // The mono suggestion is LR phase's: its curves from the same sums.
    TapSnapshot asked = snapshot;
    if (kind == SuggestionKind::kMono) asked.params[kParamMode] = kModeLrPhase;
    TapCurves curves;
    if (!TapCurvesOf(asked, &curves)) return s;
    s.available = true;
    s.mode = asked.params[kParamMode];
    s.phase = kind == SuggestionKind::kMono ? curves.bestMonoPhase : curves.bestCorrelationPhase;
    s.monoLossDb = curves.monoLossDb[TapAngleIndex(s.phase)];
    s.correlation = curves.correlation[TapAngleIndex(s.phase)];
    return s;
}

std::string MonoSuggestionNote(int mode) {
    if (mode != kModeMsPhase) return "";
    // One line under the curves; the help page says how to get a mono suggestion.
    return "MS phase: the fold-down does not depend on Phase.";
}
