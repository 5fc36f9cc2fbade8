// The mode and filter buttons' order and the phase that travels with a change of mode.
#include "editor/ModeCycle.h"

#include "engine/ParamDescriptors.h"

int32_t NextChoice(int param, int32_t value) {
    const ParamDescriptor& d = kParamDescriptors[param];
    return value + 1 > d.max || value < d.min ? d.min : value + 1;
}

int32_t NextMode(int32_t mode) {
    return NextChoice(kParamMode, mode);
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
