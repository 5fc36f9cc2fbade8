// "tw:AnalysisPlot": the analysis page's two drawings, the curves over all angles with their
// marks and figures, and the phase scope of the output, painted with GDI from the page's
// display record. No mouse or keyboard behaviour. Window thread only.
#pragma once
#include <windows.h>

#include <string>

#include "analysis/TapSnapshot.h"
#include "editor/analysis/AnalysisSuggestion.h"

constexpr char kAnalysisPlotClassName[] = "tw:AnalysisPlot";

// Window style bit: the scope (else the curves).
constexpr DWORD APS_SCOPE = 0x1;

// What both drawings show, owned by the page.
struct AnalysisDisplay {
    bool haveSnapshot = false;  // a snapshot with frames has arrived
    bool haveCurves = false;    // the window holds frames: curves and suggestions are valid
    TapSnapshot snapshot;
    TapCurves curves;
    Suggestion mono, correlation;
    std::string note;      // shown under the figures (why a suggestion is not offered)
    HFONT font = nullptr;  // the figures' font, not owned
};

// wParam: the page's AnalysisDisplay (kept until the plot is destroyed or given another), null
// to show nothing. Repaints. Ignored unless sent from the plot's own thread.
constexpr UINT APM_SETDISPLAY = 2900;

bool RegisterAnalysisPlotClass(HINSTANCE instance);
