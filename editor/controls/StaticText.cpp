// The label: text over the page background, and a click notification.
#include "editor/controls/StaticText.h"

#include "editor/controls/ControlShared.h"

namespace {

constexpr int kMaxTextChars = 255;
constexpr COLORREF kTextColour = 0x000000;

// The label's state; the font is the one WM_SETFONT gave (not owned), or none.
struct StaticState {
    HBITMAP background;
    HFONT font;
};

void Paint(HWND window, const StaticState& st, HDC target) {
    COffscreenPaint paint(window, st.background, target);
    HDC dc = paint.Dc();
    char text[kMaxTextChars + 1];
    GetWindowTextA(window, text, sizeof text);
    HGDIOBJ font = st.font ? static_cast<HGDIOBJ>(st.font) : GetStockObject(DEFAULT_GUI_FONT);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColour);
    RECT client = {0, 0, paint.Width(), paint.Height()};
    DrawTextA(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    paint.Present();
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* st = CreateControlState<StaticState>(window);
    if (!st) return -1;
    st->background = CreationBackground(lParam);
    return 0;
}

LRESULT OnSetFont(HWND window, StaticState& st, WPARAM wParam, LPARAM lParam) {
    st.font = reinterpret_cast<HFONT>(wParam);
    if (LOWORD(lParam)) InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnSetText(HWND window, WPARAM wParam, LPARAM lParam) {
    InvalidateRect(window, nullptr, FALSE);
    return DefWindowProcA(window, WM_SETTEXT, wParam, lParam);
}

LRESULT OnClick(HWND window) {
    PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), STN_TEXTCLICK),
                 reinterpret_cast<LPARAM>(window));
    return 0;
}

LRESULT CALLBACK StaticTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    auto* st = ControlState<StaticState>(window);
    if (!st) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result;
    // It never takes the capture: only the paint messages are the shared ones.
    if (HandlePaintMessage(window, message, [&](HDC dc) { Paint(window, *st, dc); }, &result)) {
        return result;
    }

    switch (message) {
    case WM_DESTROY: DestroyControlState(window); return 0;
    case WM_SETFONT: return OnSetFont(window, *st, wParam, lParam);
    case WM_GETFONT: return reinterpret_cast<LRESULT>(st->font);
    case WM_SETTEXT: return OnSetText(window, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnClick(window);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterStaticTextClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kStaticTextClassName, StaticTextProc);
}

void UnregisterStaticTextClass(HINSTANCE instance) {
    UnregisterClassA(kStaticTextClassName, instance);
}
