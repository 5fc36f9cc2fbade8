// Processor set-up: the fastest supported path, and every filter state back to silence.
#include "engine/PhaseProcessor.h"

#include <cstring>

CPhaseProcessor::CPhaseProcessor() : m_path(BestSignalPath()), m_kernels(SignalKernelsFor(m_path)) {
    Reset();
}

void CPhaseProcessor::Reset() {
    std::memset(&m_state, 0, sizeof m_state);
}

bool CPhaseProcessor::SelectPath(SignalPath path) {
    const SignalKernels* kernels = SignalKernelsFor(path);
    if (kernels == nullptr) return false;
    m_path = path;
    m_kernels = kernels;
    return true;
}
