// Processor set-up: the fastest supported path, and every filter state back to silence.
#include "engine/PhaseProcessor.h"

#include <cmath>
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

void CPhaseProcessor::KeepChainsFinite() {
    bool finite = true;
    for (const AllpassChainState& chain : m_state.chains) {
        finite = finite && std::isfinite(chain.x1) && std::isfinite(chain.x2);
        for (const double(&section)[2] : chain.y)
            finite = finite && std::isfinite(section[0]) && std::isfinite(section[1]);
    }
    if (!finite) std::memset(m_state.chains, 0, sizeof m_state.chains);
}
