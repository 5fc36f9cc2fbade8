// The analysis page's tooltips.
#include "editor/analysis/AnalysisTexts.h"

#include <cmath>

#include "analysis/TapSnapshot.h"
#include "editor/ControlTexts.h"

namespace {

struct AnalysisTipRow {
    AnalysisTip tip;
    const char* text;  // {window} the window's range and default, {integration} the meters'
};

// clang-format off
const AnalysisTipRow kAnalysisTips[] = {
    {AnalysisTip::kHold, "Hold: freezes the meters, the scope and the curves while lit, so the suggestion stays that of what you heard. Click to hold or go on."},
    {AnalysisTip::kReset, "Reset: click to start the window, the meters and the scope afresh."},
    {AnalysisTip::kBestMono, "Best for mono: click to set LR phase and the angle that loses least in the mono fold-down over the window, as one change that Undo takes back. In MS phase the fold-down does not depend on Phase."},
    {AnalysisTip::kBestCorrelation, "Best correlation: click to set the angle with the highest correlation over the window in the current mode, as one change that Undo takes back."},
    {AnalysisTip::kHelp, "Help: click to open the help page of the analysis."},
    {AnalysisTip::kInputCorrelation, "Input correlation: -1 (opposed) to +1 (mono), averaged over the last {integration}."},
    {AnalysisTip::kOutputCorrelation, "Output correlation: -1 (opposed) to +1 (mono), averaged over the last {integration}."},
    {AnalysisTip::kWindowField, "Window: {window}, how much of the stream the curves cover. Drag in the field or turn the wheel to change it; double-click to type a value."},
    {AnalysisTip::kWindowSlider, "Window: {window}, how much of the stream the curves cover. Drag the slider or turn the wheel to change it."},
    {AnalysisTip::kCurves, "Curves over the window at every Phase angle for the current mode and filter: mono loss (orange, 0 dB at the top) and correlation (blue, +1 at the top). The white line marks the current angle, the orange and blue marks the best ones."},
    {AnalysisTip::kScope, "Phase scope of the output: mid (L+R) up, side (L-R) across. Mono is a vertical line, an inverted pair a horizontal one."},
};
// clang-format on

std::string Fill(const std::string& name) {
    if (name == "window")
        return std::to_string(kTapMinWindowSeconds) + " to " +
               std::to_string(kTapMaxWindowSeconds) + " s, " +
               std::to_string(kTapDefaultWindowSeconds) + " s by default";
    if (name == "integration")
        return std::to_string(static_cast<int>(std::lround(kTapCorrelationSeconds * 1000))) + " ms";
    return "{" + name + "}";
}

}  // namespace

std::string AnalysisTipText(AnalysisTip tip) {
    for (const AnalysisTipRow& row : kAnalysisTips)
        if (row.tip == tip) return FillTemplate(row.text, Fill);
    return "";
}
