// Class identifiers of the plug-in's three creatable classes, defined once.
#pragma once
#include <windows.h>

// {E887E202-C156-490B-930E-13C43990785E} the filter "Corvane:tw Phase".
extern "C" const CLSID CLSID_TwPhase;
// {77A513E1-14AD-4168-843E-7E6F16C28C49} the editor "Corvane:tw Phase Property Page".
extern "C" const CLSID CLSID_TwPhasePropertyPage;
// {5C0E3D7A-2B91-4F6E-9A43-8D17C2E5B0F4} the analysis page "Corvane:tw Phase Analysis Page".
extern "C" const CLSID CLSID_TwPhaseAnalysisPage;
