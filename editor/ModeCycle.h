// The order in which the mode and filter buttons step through their choices, and the phase that
// travels with a change of mode: "CS encode" starts at 90 degrees, and coming back round to
// "LR phase" gives the earlier phase back.
#pragma once
#include <cstdint>

// The choice after `value` of a parameter with choices when its button is clicked: each
// choice in turn, then the first again.
int32_t NextChoice(int param, int32_t value);

// The mode after `mode` when the mode button is clicked.
int32_t NextMode(int32_t mode);

// The phase kept while "CS encode" is in force. One per editor page.
class CModePhaseMemory {
public:
    static constexpr int32_t kEncodePhase = 90;

    // Called after the mode changed from `previousMode` to `mode` with `phase` in force.
    // True with *newPhase set when the phase is to change: entering CS encode saves the phase
    // and gives 90; entering LR phase with the phase still at exactly 90 gives the saved phase
    // back. Choosing the mode already in force changes nothing (and saves nothing).
    bool PhaseForMode(int32_t previousMode, int32_t mode, int32_t phase, int32_t* newPhase);

private:
    int32_t m_savedPhase = 0;
};
