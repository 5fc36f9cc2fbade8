// One pass over the input for some of the cases: the plug-in's samples through each case's
// quadrature stage, and the pass's work on every output frame's pair.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/CaseRun.h"
#include "analysis/PhaseAnalysis.h"

struct PassContext {
    PassWork work;
    uint64_t stride;
    size_t limit;
};

// One pass over the source for the given cases, in the plug-in's working precision. kSums also
// measures the input and takes its scope into the result.
bool RunPass(IAnalysisSource& source, const std::vector<CaseRun*>& runs, const PassContext& pass,
             PhaseAnalysisResult* result, std::string* error);
