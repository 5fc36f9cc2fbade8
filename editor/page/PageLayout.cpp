// The editor page's controls.
#include "editor/page/PageLayout.h"

#include "editor/ControlTexts.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/StaticText.h"
#include "editor/controls/ValueEdit.h"
#include "editor/page/PageIds.h"
#include "engine/ParamDescriptors.h"
#include "editor/win/SkinResources.h"

namespace {

constexpr DWORD kEditStyle = 0x87;  // linear drag and right-aligned text among others
constexpr DWORD kLevelMeterStyle = MTS_VERTICAL | MTS_BALLISTICS;
constexpr DWORD kReadoutStyle = 0x101;

bool IsClass(const PageControlLayout& c, const char* name) {
    return lstrcmpA(c.className, name) == 0;
}

WPARAM Image(HMODULE module, int id) {
    return reinterpret_cast<WPARAM>(id ? LoadRawImage(module, id) : nullptr);
}

void Configure(HWND control, const PageControlLayout& c, HMODULE module, HFONT labelFont) {
    if (IsClass(c, kPushButtonClassName)) {
        SendMessageA(control, BTM_SETIMAGES, Image(module, c.image),
                     static_cast<LPARAM>(Image(module, c.secondImage)));
        if (c.focusInsets)
            SendMessageA(control, BTM_SETFOCUSINSETS, reinterpret_cast<WPARAM>(c.insets), 0);
    } else if (IsClass(c, kValueEditClassName)) {
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                     0);
        SendMessageA(control, EDM_SETIMAGE, Image(module, c.image), 0);
    } else if (IsClass(c, kSliderClassName)) {
        // Page step and ticks come before the range, which the page sets afterwards.
        SendMessageA(control, SLM_SETTICKINTERVAL, c.tickInterval, 0);
        if (c.tickOffset) SendMessageA(control, SLM_SETTICKOFFSET, c.tickOffset, 0);
        SendMessageA(control, SLM_SETPAGESTEP, c.pageStep, 0);
        SendMessageA(control, SLM_SETTHUMBIMAGE, Image(module, c.image), 0);
    } else if (IsClass(c, kMeterClassName)) {
        SendMessageA(control, MTM_SETIMAGES, Image(module, c.image),
                     static_cast<LPARAM>(Image(module, c.secondImage)));
        SendMessageA(control, MTM_SETRANGE, static_cast<WPARAM>(c.rangeMin), c.rangeMax);
    } else if (IsClass(c, kStaticTextClassName)) {
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont), 0);
    }
}

}  // namespace

// The meter button's text before the page shows a plug-in's values.
constexpr const char* kDefaultMeterPositionText =
    kParamDescriptors[kParamMeterPost].ChoiceOf(kParamDescriptors[kParamMeterPost].defaultValue).name;

// clang-format off
const PageControlLayout kPageLayout[] = {
    // id, class, x, y, w, h, class style, tab stop, images, text, insets, slider, meter range
    {IDC_BYPASS, kPushButtonClassName, 16, 16, 50, 21, 0, true, IDR_BYPASS, IDR_BYPASS_PRESSED, "Bypass", false, {}, 0, 0, 0, 0, 0},
    {IDC_UNDO, kPushButtonClassName, 69, 16, 76, 21, 0, true, IDR_BUTTON76, IDR_BUTTON76_PRESSED, "Undo", false, {}, 0, 0, 0, 0, 0},
    {IDC_SETUP, kPushButtonClassName, 148, 16, 61, 21, 0, true, IDR_SETUP, IDR_SETUP_PRESSED, "Setup A", true, {0, 0, 1, 0}, 0, 0, 0, 0, 0},
    {IDC_SETUP_MENU, kPushButtonClassName, 209, 16, 15, 21, PBS_ARROW, true, IDR_ARROW, IDR_ARROW_PRESSED, "", true, {-2, 0, 0, 0}, 0, 0, 0, 0, 0},
    {IDC_RESET, kPushButtonClassName, 227, 16, 76, 21, 0, true, IDR_BUTTON76, IDR_BUTTON76_PRESSED, "Reset", false, {}, 0, 0, 0, 0, 0},
    {IDC_PRESETS, kPushButtonClassName, 306, 16, 76, 21, PBS_ARROW, true, IDR_BUTTON76, IDR_BUTTON76_PRESSED, "Presets", false, {}, 0, 0, 0, 0, 0},
    {IDC_HELP, kPushButtonClassName, 385, 16, 24, 21, 0, true, IDR_HELP, IDR_HELP_PRESSED, "?", false, {}, 0, 0, 0, 0, 0},
    {IDC_FILTER, kPushButtonClassName, 69, 45, 76, 21, PBS_GLYPH, true, IDR_BUTTON76, IDR_BUTTON76_PRESSED, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_MODE, kPushButtonClassName, 203, 45, 85, 21, 0, true, IDR_MODE, IDR_MODE_PRESSED, nullptr, true, {0, 0, 1, 0}, 0, 0, 0, 0, 0},
    {IDC_MODE_MENU, kPushButtonClassName, 288, 45, 15, 21, PBS_ARROW, true, IDR_ARROW, IDR_ARROW_PRESSED, "", true, {-2, 0, 0, 0}, 0, 0, 0, 0, 0},
    {IDC_PHASE_EDIT, kValueEditClassName, 70, 76, 40, 21, kEditStyle, true, IDR_EDIT_FIELD, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_PHASE_SLIDER, kSliderClassName, 145, 79, 160, 20, 0, true, IDR_SLIDER_THUMB, 0, nullptr, false, {}, 20, 0, 20, 0, 0},
    {IDC_WIDTH_EDIT, kValueEditClassName, 70, 99, 40, 21, kEditStyle, true, IDR_EDIT_FIELD, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_WIDTH_SLIDER, kSliderClassName, 145, 102, 160, 20, 0, true, IDR_SLIDER_THUMB, 0, nullptr, false, {}, 10, 0, 10, 0, 0},
    {IDC_OUTPUT_EDIT, kValueEditClassName, 70, 122, 40, 21, kEditStyle, true, IDR_EDIT_FIELD, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_OUTPUT_SLIDER, kSliderClassName, 145, 125, 160, 20, 0, true, IDR_SLIDER_THUMB, 0, nullptr, false, {}, 20, 1, 20, 0, 0},
    {IDC_METER_POST, kPushButtonClassName, 69, 153, 76, 21, PBS_GLYPH, true, IDR_BUTTON76, IDR_BUTTON76_PRESSED, kDefaultMeterPositionText, false, {}, 0, 0, 0, 0, 0},
    // The meters show values but take no input: Tab passes them by.
    {IDC_PHASE_METER, kMeterClassName, 149, 157, 154, 12, 0, false, IDR_PHASE_METER, IDR_PHASE_METER_LIT, nullptr, false, {}, 0, 0, 0, kPhaseMeterMinDegrees, kPhaseMeterMaxDegrees},
    {IDC_METER_LEFT, kMeterClassName, 341, 54, 12, 120, kLevelMeterStyle, false, IDR_LEVEL, IDR_LEVEL_LIT, nullptr, false, {}, 0, 0, 0, kLevelMeterMinTenths, kLevelMeterMaxTenths},
    {IDC_METER_RIGHT, kMeterClassName, 371, 54, 12, 120, kLevelMeterStyle, false, IDR_LEVEL, IDR_LEVEL_LIT, nullptr, false, {}, 0, 0, 0, kLevelMeterMinTenths, kLevelMeterMaxTenths},
    {IDC_PEAK_LEFT, kStaticTextClassName, 317, 44, 24, 11, kReadoutStyle, false, 0, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
    {IDC_PEAK_RIGHT, kStaticTextClassName, 383, 44, 24, 11, kReadoutStyle, false, 0, 0, nullptr, false, {}, 0, 0, 0, 0, 0},
};
// clang-format on
const int kPageLayoutCount = sizeof kPageLayout / sizeof kPageLayout[0];

bool CreatePageControls(HWND page, HMODULE module, HBITMAP skin, HFONT labelFont) {
    return CreateLayoutControls(page, module, skin, labelFont, kPageLayout, kPageLayoutCount);
}

bool CreateLayoutControls(HWND page, HMODULE module, HBITMAP skin, HFONT labelFont,
                          const PageControlLayout* layout, int count) {
    bool all = true;
    for (int i = 0; i < count; ++i) {
        const PageControlLayout& c = layout[i];
        const DWORD style = WS_CHILD | WS_VISIBLE | (c.tabStop ? WS_TABSTOP : 0) | c.classStyle;
        HWND control = CreateWindowExA(
            0, c.className, c.text ? c.text : "", style, c.x, c.y, c.width, c.height, page,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module, skin);
        if (!control) {
            all = false;
            continue;
        }
        Configure(control, c, module, labelFont);
    }
    return all;
}
