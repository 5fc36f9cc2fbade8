// The analysis page's controls.
#include "editor/analysis/page/AnalysisPageLayout.h"

#include "analysis/TapSnapshot.h"
#include "editor/analysis/AnalysisView.h"
#include "editor/analysis/page/AnalysisPageIds.h"
#include "editor/analysis/page/AnalysisPlot.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/StaticText.h"
#include "editor/controls/ValueEdit.h"
#include "editor/page/PageIds.h"

namespace {

constexpr DWORD kEditStyle = 0x87;  // as the editor's value fields
constexpr DWORD kReadoutStyle = 0x101;

}  // namespace

// clang-format off
const PageControlLayout kAnalysisLayout[] = {
    // id, class, x, y, w, h, class style, tab stop, images, text, insets, slider, meter range
    {IDC_HOLD, kPushButtonClassName, 16, 16, 50, 21, 0, true, IDR_BYPASS, IDR_BYPASS_PRESSED, "Hold", false, {}, 0, 0, 0, 0, 0},
    {IDC_ANALYSIS_RESET, kPushButtonClassName, 69, 16, 76, 21, 0, true, IDR_BUTTON76, IDR_BUTTON76_PRESSED, "Reset", false, {}, 0, 0, 0, 0, 0},
    {IDC_BEST_MONO, kPushButtonClassName, 148, 16, 116, 21, 0, true, IDR_BUTTON116, IDR_BUTTON116_PRESSED, "Best for mono", false, {}, 0, 0, 0, 0, 0},
    {IDC_BEST_CORRELATION, kPushButtonClassName, 267, 16, 116, 21, 0, true, IDR_BUTTON116, IDR_BUTTON116_PRESSED, "Best correlation", false, {}, 0, 0, 0, 0, 0},
    {IDC_ANALYSIS_HELP, kPushButtonClassName, 385, 16, 24, 21, 0, true, IDR_HELP, IDR_HELP_PRESSED, "?", false, {}, 0, 0, 0, 0, 0},
    {IDC_WINDOW_EDIT, kValueEditClassName, 70, 90, 40, 21, kEditStyle, true, IDR_EDIT_FIELD, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_WINDOW_SLIDER, kSliderClassName, 125, 91, 120, 20, 0, true, IDR_SLIDER_THUMB, 0, nullptr, false, {}, 5, 4, 5, 0, 0},
    // The meters, readouts and drawings show values but take no input: Tab passes them by.
    {IDC_INPUT_CORRELATION, kMeterClassName, 40, 52, 160, 10, MTS_MARKER, false, IDR_CORRELATION_METER, IDR_CORRELATION_METER_LIT, nullptr, false, {}, 0, 0, 0, kCorrelationMeterMin, kCorrelationMeterMax},
    {IDC_OUTPUT_CORRELATION, kMeterClassName, 40, 68, 160, 10, MTS_MARKER, false, IDR_CORRELATION_METER, IDR_CORRELATION_METER_LIT, nullptr, false, {}, 0, 0, 0, kCorrelationMeterMin, kCorrelationMeterMax},
    {IDC_INPUT_READOUT, kStaticTextClassName, 204, 51, 36, 12, kReadoutStyle, false, 0, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_OUTPUT_READOUT, kStaticTextClassName, 204, 67, 36, 12, kReadoutStyle, false, 0, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_CURVES, kAnalysisPlotClassName, 14, 110, 262, 80, 0, false, 0, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_SCOPE, kAnalysisPlotClassName, 286, 50, 124, 124, APS_SCOPE, false, 0, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
};
// clang-format on
const int kAnalysisLayoutCount = sizeof kAnalysisLayout / sizeof kAnalysisLayout[0];
