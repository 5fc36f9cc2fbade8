// The mode button's order and the phase that travels with a change of mode.
#include "editor/ModeCycle.h"

#include "engine/ParamDescriptors.h"

int32_t NextMode(int32_t mode) {
    const ParamDescriptor& d = kParamDescriptors[kParamMode];
    return mode + 1 > d.max || mode < d.min ? d.min : mode + 1;
}

bool CModePhaseMemory::PhaseForMode(int32_t previousMode, int32_t mode, int32_t phase,
                                    int32_t* newPhase) {
    if (mode == previousMode) return false;
    if (mode == ParamValueOf(Mode::kCsEncode)) {
        m_savedPhase = phase;
        *newPhase = kEncodePhase;
        return true;
    }
    if (mode == ParamValueOf(Mode::kLrPhase) && phase == kEncodePhase) {
        *newPhase = m_savedPhase;
        return true;
    }
    return false;
}
