// twphase-render --out-dir: renders every input of the command line with the same options,
// each file in a DirectShow graph of its own (its own CRenderSession), several files at once
// on worker threads; prints a line per finished file and a table at the end.
#pragma once
#include <string>

#include "host/cli/RenderOptions.h"

enum class BatchOutcome {
    kAllRendered,
    kSomeFailed,  // the others were rendered; the table says which failed and why
    kRefused,     // nothing was rendered: the error says why (names that collide, ...)
    kFailed,      // nothing was rendered: the output folder cannot be made
};

// Main thread; COM need not be initialised there (every worker initialises its own).
BatchOutcome RunBatch(const RenderOptions& options, std::string* error);
