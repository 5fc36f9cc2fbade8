// The analysis page's control texts: each control's tooltip and the window length's readout.
#pragma once
#include <string>

// Every control of the analysis page that has a tooltip.
enum class AnalysisTip {
    kHold,
    kReset,
    kBestMono,
    kBestCorrelation,
    kHelp,
    kInputCorrelation,
    kOutputCorrelation,
    kWindowField,
    kWindowSlider,
    kCurves,
    kScope,
    kCount
};

// The tooltip of a control, the window's range and the meters' integration time filled in from
// the tap's constants; empty for kCount.
std::string AnalysisTipText(AnalysisTip tip);
