// The editor page's tooltips.
#include "editor/page/PageTooltips.h"

#include <commctrl.h>

#include <string>

#include "editor/ControlTexts.h"
#include "editor/page/PageIds.h"

namespace {

// Wide enough for a line of about fifty characters: longer tips wrap.
constexpr int kMaxTipWidth = 300;

struct ControlTipOf {
    int controlId;
    ControlTip tip;
};

const ControlTipOf kControlTips[] = {
    {IDC_BYPASS, ControlTip::kBypass},
    {IDC_UNDO, ControlTip::kUndo},
    {IDC_SETUP, ControlTip::kSetup},
    {IDC_SETUP_MENU, ControlTip::kSetupMenu},
    {IDC_RESET, ControlTip::kReset},
    {IDC_PRESETS, ControlTip::kPresets},
    {IDC_HELP, ControlTip::kHelp},
    {IDC_FILTER, ControlTip::kFilter},
    {IDC_MODE, ControlTip::kMode},
    {IDC_MODE_MENU, ControlTip::kModeMenu},
    {IDC_PHASE_EDIT, ControlTip::kPhaseField},
    {IDC_PHASE_SLIDER, ControlTip::kPhaseSlider},
    {IDC_WIDTH_EDIT, ControlTip::kWidthField},
    {IDC_WIDTH_SLIDER, ControlTip::kWidthSlider},
    {IDC_OUTPUT_EDIT, ControlTip::kOutputField},
    {IDC_OUTPUT_SLIDER, ControlTip::kOutputSlider},
    {IDC_METER_POST, ControlTip::kMeterPost},
    {IDC_PHASE_METER, ControlTip::kPhaseMeter},
    {IDC_METER_LEFT, ControlTip::kLeftLevel},
    {IDC_METER_RIGHT, ControlTip::kRightLevel},
    {IDC_PEAK_LEFT, ControlTip::kLeftPeak},
    {IDC_PEAK_RIGHT, ControlTip::kRightPeak},
    {IDC_CLIP_LEFT, ControlTip::kLeftClip},
    {IDC_CLIP_RIGHT, ControlTip::kRightClip},
};

}  // namespace

HWND CreateTooltipWindow(HWND page) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    // Always shown, also while the host's frame is not the active window.
    HWND tooltips =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr, nullptr, nullptr);
    if (tooltips) SendMessageA(tooltips, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    return tooltips;
}

void AddControlTooltip(HWND tooltips, HWND page, int controlId, std::string text) {
    HWND control = GetDlgItem(page, controlId);
    if (!tooltips || !control) return;
    // The tooltip watches the control's mouse messages itself and keeps a copy of the text.
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // also understood by comctl32 before version 6
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = page;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = &text[0];
    SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

HWND CreatePageTooltips(HWND page) {
    HWND tooltips = CreateTooltipWindow(page);
    if (!tooltips) return nullptr;
    for (const ControlTipOf& c : kControlTips)
        AddControlTooltip(tooltips, page, c.controlId, ControlTipText(c.tip));
    return tooltips;
}
