// What the analysis page's two suggestion buttons set: Phase at the best angle, and for the
// fold-down LR phase, the one mode in which the fold-down follows Phase and whose curves the
// tap's sums give in every mode but MS phase.
#pragma once
#include <string>

#include "analysis/TapSnapshot.h"

enum class SuggestionKind { kMono, kCorrelation };

struct Suggestion {
    bool available = false;  // false: nothing gathered yet, or a mono suggestion in MS phase
    int mode = 0;            // the mode to set
    int phase = 0;           // the angle to set
    double monoLossDb = kAnalysisNan;  // the figures the suggestion gives over the window
    double correlation = kAnalysisNan;
};

// The suggestion of a snapshot. The correlation suggestion keeps the snapshot's mode; the mono
// suggestion is LR phase's best angle, which the same sums give in LR phase and the two encode
// modes (they rotate the right channel against the left as LR phase does) but not in MS phase,
// whose sums are of mid and side.
Suggestion SuggestionOf(SuggestionKind kind, const TapSnapshot& snapshot);

// Why the mono suggestion is not offered, for the page to show; empty when it is.
std::string MonoSuggestionNote(int mode);
