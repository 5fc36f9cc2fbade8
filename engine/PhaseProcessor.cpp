// Processor reset: every filter state back to silence.
#include "engine/PhaseProcessor.h"

#include <cstring>

void CPhaseProcessor::Reset() {
    std::memset(&m_chainA, 0, sizeof m_chainA);
    std::memset(&m_chainB, 0, sizeof m_chainB);
    std::memset(&m_chainC, 0, sizeof m_chainC);
    std::memset(m_firLine, 0, sizeof m_firLine);
    std::memset(m_delayA, 0, sizeof m_delayA);
    std::memset(m_delayB, 0, sizeof m_delayB);
    m_firHead = 0;
    m_delayIndex = 0;
}
