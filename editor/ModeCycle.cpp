// The mode names and the phase that travels with a change of mode.
#include "editor/ModeCycle.h"

const char* const kModeNames[kModeCount] = {"LR phase", "MS phase", "CS encode", "SC encode"};

int32_t NextMode(int32_t mode) {
    return mode + 1 >= kModeCount || mode < 0 ? 0 : mode + 1;
}

bool CModePhaseMemory::PhaseForMode(int32_t previousMode, int32_t mode, int32_t phase,
                                    int32_t* newPhase) {
    if (mode == previousMode) return false;
    if (mode == 2) {
        m_savedPhase = phase;
        *newPhase = kEncodePhase;
        return true;
    }
    if (mode == 0 && phase == kEncodePhase) {
        *newPhase = m_savedPhase;
        return true;
    }
    return false;
}
