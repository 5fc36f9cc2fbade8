// The filter's registration record: what the filter mapper and hosts learn about its pins.
#pragma once
#include "framework/Setup.h"

extern const AMOVIESETUP_FILTER kTwPhaseFilterSetup;
// The display names of the two registered classes.
extern const WCHAR kTwPhaseName[];
extern const WCHAR kTwPhasePageName[];
