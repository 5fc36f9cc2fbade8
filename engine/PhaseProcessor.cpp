// Processor reset: every filter state back to silence.
#include "engine/PhaseProcessor.h"

#include <cstring>

void CPhaseProcessor::Reset() {
    std::memset(&chainA_, 0, sizeof chainA_);
    std::memset(&chainB_, 0, sizeof chainB_);
    std::memset(&chainC_, 0, sizeof chainC_);
    std::memset(firLine_, 0, sizeof firLine_);
    std::memset(delayA_, 0, sizeof delayA_);
    std::memset(delayB_, 0, sizeof delayB_);
    firHead_ = 0;
    delayIndex_ = 0;
}
