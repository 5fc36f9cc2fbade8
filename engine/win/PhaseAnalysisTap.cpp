// The interface identifier of IPhaseAnalysisTap, defined once for the whole plug-in.
#include "engine/win/PhaseAnalysisTap.h"

extern "C" const IID IID_IPhaseAnalysisTap = {
    0x30689af5, 0x8361, 0x4313, {0x83, 0x2e, 0x43, 0x78, 0xf4, 0x32, 0xf1, 0x79}};
