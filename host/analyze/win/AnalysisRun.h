// twphase-render --analyze: the phase analysis of the input, a render through the plug-in at
// the suggested setting (into a temporary file that is measured and deleted), the report on
// standard output and the --plot and --report files.
#pragma once
#include <string>

#include "host/cli/RenderOptions.h"

enum class AnalysisOutcome {
    kDone,         // analysed, the render agrees and every check passed
    kFailed,       // the error says why (reading, rendering, writing, or a render that disagrees)
    kCheckFailed,  // a --fail-above or --fail-below check of the input failed
};

// Host thread, COM initialised (multithreaded).
AnalysisOutcome RunPhaseAnalysis(const RenderOptions& options, std::string* error);
