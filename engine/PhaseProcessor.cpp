// Processor set-up: the fastest supported path, and every filter state back to silence.
#include "engine/PhaseProcessor.h"

#include <cmath>
#include <cstring>

namespace {

void SilenceNonFinite(double* values, int count) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) values[i] = 0.0;
}

// Silence in every chain of a network unless all its state is finite.
template <int kSections>
void RestartUnlessFinite(AllpassChain<kSections> (&chains)[3]) {
    bool finite = true;
    for (const AllpassChain<kSections>& chain : chains) {
        finite = finite && std::isfinite(chain.x1) && std::isfinite(chain.x2);
        for (const double(&section)[2] : chain.y)
            finite = finite && std::isfinite(section[0]) && std::isfinite(section[1]);
    }
    if (!finite) std::memset(chains, 0, sizeof chains);
}

}  // namespace

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

void CPhaseProcessor::KeepChainsFinite(QuadratureFilter filter) {
    if (filter == QuadratureFilter::kPrecise)
        RestartUnlessFinite(m_state.precise);
    else if (filter != QuadratureFilter::kFir)
        RestartUnlessFinite(m_state.chains);
}

void CPhaseProcessor::KeepFirLinesFinite() {
    // The history at the front of each line; each chunk writes the rest before reading it.
    SilenceNonFinite(m_state.firLine, kFirHistory);
    SilenceNonFinite(m_state.lineA, kFirLatencyFrames);
    SilenceNonFinite(m_state.lineB, kFirLatencyFrames);
}
