// The skinned push button: press tracking by mouse and space key, notifications, and drawing.
#include "editor/controls/PushButton.h"

#include <cstdlib>
#include <cstring>

#include "editor/Compositing.h"
#include "editor/win/Drawing.h"
#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"
#include "editor/controls/ControlShared.h"

namespace {

// kKey: pressed with a key (pressKey), which clicks at its release. kHeld: a drop-down button
// whose press lost the capture (to its menu) stays down, ignoring the pointer and releases,
// until the page sends BTM_CANCELPRESS; that ends it without a click.
enum Tracking : int { kIdle = 0, kMouse = 1, kKey = 2, kHeld = 3 };

constexpr COLORREF kDefaultIconKey = 0xff00ff;
constexpr COLORREF kDefaultTextColour = 0x404040;
constexpr COLORREF kDisabledTextColour = 0x808080;
constexpr COLORREF kArrowColour = 0x404040;
constexpr int kEnabledOpacity = skin::kFullOpacity;
constexpr int kDisabledOpacity = 160;
constexpr int kContentMargin = 2;        // content rectangle inside the client area
constexpr int kSideCaptionIndent = 3;    // caption indent when an arrow or glyph sits at the right

struct PushButtonState {
    int tracking;
    int inside;
    int pressed;
    int state;
    int doubleClickCode;
    int arrowStyle;
    int glyphStyle;
    int insetTint;
    COLORREF iconKey;
    COLORREF textColour;
    DWORD tint;
    int iconId;
    char* caption;
    HBITMAP background;
    const BYTE* normalImage;
    const BYTE* pressedImage;
    RECT focusInsets;
    WPARAM pressKey;  // the key of a keyboard press; the space key for a mouse press
};

HMODULE ResourceModule(HWND window) {
    return reinterpret_cast<HMODULE>(GetClassLongPtrA(window, GCLP_HMODULE));
}

void Notify(HWND window, WORD code) {
    SendMessageA(GetParent(window), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(window), code), reinterpret_cast<LPARAM>(window));
}

// The size stored in a bitmap resource's header, without loading the bitmap.
bool BitmapResourceSize(HMODULE module, int id, int* width, int* height) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    HGLOBAL data = resource ? LoadResource(module, resource) : nullptr;
    const auto* header = data ? static_cast<const BITMAPINFOHEADER*>(LockResource(data)) : nullptr;
    if (!header) return false;
    *width = header->biWidth;
    *height = std::abs(header->biHeight);
    return true;
}

void DrawIcon(HDC dc, HMODULE module, const PushButtonState& st, const RECT& content) {
    int bw, bh;
    if (!BitmapResourceSize(module, st.iconId, &bw, &bh)) return;
    HBITMAP icon = LoadSkinBitmap(module, st.iconId, nullptr);
    if (!icon) return;
    const int w = content.right - content.left;
    const int h = content.bottom - content.top;
    const int shift = st.pressed ? 1 : 0;
    // Right-aligned when it fits, centred (and cropped) when it is wider than the content.
    const int x = kContentMargin + (bw < w ? w - bw : (w - bw + 1) / 2) + shift;
    const int y = kContentMargin + (bh < h ? (h - bh) / 2 : 0) + shift;
    BlitColorKeyed(dc, x, y, icon, 0, 0, bw < w ? bw : w, bh < h ? bh : h, st.iconKey);
    DeleteObject(icon);
}

void DrawArrow(HDC dc, int right, int top) {
    // Four shrinking rows: a triangle 7 pixels wide pointing down.
    for (int row = 0; row < 4; ++row) {
        DrawLine(dc, right - 10 + row, top + 5 + row, right - 3 - row, top + 5 + row, kArrowColour);
    }
}

void DrawGlyph(HDC dc, HMODULE module, int right, int top) {
    HPALETTE palette = nullptr;
    HBITMAP glyph = LoadSkinBitmap(module, skin::kIndicatorGlyphId, &palette);
    BlitColorKeyed(dc, right - 10, top + 1, glyph, 0, 0, skin::kGlyphWidth, skin::kGlyphHeight,
                   skin::kGlyphKeyColour);
    if (glyph) DeleteObject(glyph);
    if (palette) DeleteObject(palette);
}

void DrawFocusFrame(HDC dc, const PushButtonState& st, const RECT& content) {
    RECT r = content;
    InflateRect(&r, -1, -1);
    r.left += st.focusInsets.left;
    r.top += st.focusInsets.top;
    r.right += st.focusInsets.right;
    r.bottom += st.focusInsets.bottom;
    DrawLine(dc, r.left, r.top, r.right, r.top, kFocusLightColour);
    DrawLine(dc, r.left, r.top, r.left, r.bottom, kFocusLightColour);
    DrawLine(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, kFocusDarkColour);
    DrawLine(dc, r.right - 1, r.top, r.right - 1, r.bottom, kFocusDarkColour);
}

// Draws the whole button off-screen and copies it to target (null: the window's own DC).
void Paint(HWND window, const PushButtonState& st, HDC target) {
    COffscreenPaint paint(window, st.background, target);
    HDC dc = paint.Dc();
    const int width = paint.Width();
    const int height = paint.Height();
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const HMODULE module = ResourceModule(window);

    const BYTE* image = st.pressed && st.pressedImage ? st.pressedImage : st.normalImage;
    if (image) {
        const int marginMode = st.state == 0 ? skin::kTintWholeImage
                               : st.insetTint ? skin::kTintInsideButtonMargin
                                              : st.state;
        CompositeImage(dc, 0, 0, width, height, image,
                       enabled ? kEnabledOpacity : kDisabledOpacity,
                       st.state ? st.tint : skin::kNoTint, marginMode);
    } else {
        Rectangle(dc, 0, 0, width, height);
    }

    RECT content = {kContentMargin, kContentMargin, width - kContentMargin, height - kContentMargin};
    if (st.pressed) OffsetRect(&content, 1, 1);

    if (st.iconId) DrawIcon(dc, module, st, content);

    RECT text = content;
    text.top += 1;
    if ((text.top & 1) != (text.bottom & 1)) text.top += 1;
    const bool sideMark = st.arrowStyle || st.glyphStyle;
    if (st.caption) {
        HFONT font = CreateCaptionFont(dc);
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, enabled ? st.textColour : kDisabledTextColour);
        RECT r = text;
        UINT format = DT_VCENTER | DT_END_ELLIPSIS;
        if (sideMark) {
            r.left += kSideCaptionIndent;
            format |= DT_LEFT;
        } else {
            format |= DT_CENTER;
        }
        DrawTextA(dc, st.caption, -1, &r, format);
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    if (st.arrowStyle) DrawArrow(dc, content.right, text.top);
    if (st.glyphStyle) DrawGlyph(dc, module, content.right, text.top);
    if (GetFocus() == window) DrawFocusFrame(dc, st, content);

    paint.Present();
}

void Invalidate(HWND window, const PushButtonState& st, bool repaintNow) {
    InvalidateRect(window, nullptr, FALSE);
    if (repaintNow) Paint(window, st, nullptr);
}

void Press(HWND window, PushButtonState& st, bool doubleClick) {
    st.pressed = 1;
    Paint(window, st, nullptr);
    if (st.tracking != kKey) {
        st.tracking = kMouse;
        st.pressKey = VK_SPACE;
    }
    st.inside = 1;
    BeginControlCapture(window);
    SetFocus(window);
    Notify(window, doubleClick && st.doubleClickCode ? BTN_DBLCLK : BTN_PRESS);
}

void Release(HWND window, PushButtonState& st) {
    if (st.tracking == kIdle || st.tracking == kHeld) return;
    st.tracking = kIdle;  // first, so that giving up the capture is no loss
    ReleaseControlCapture(window);
    st.pressed = 0;
    Paint(window, st, nullptr);
    if (st.inside) Notify(window, BTN_CLICK);
}

void TrackPointer(HWND window, PushButtonState& st, LPARAM position) {
    if (st.tracking != kMouse) return;
    RECT client;
    GetClientRect(window, &client);
    // Unsigned, so that positions left of or above the button count as outside.
    const bool over = LOWORD(position) < unsigned(client.right) && HIWORD(position) < unsigned(client.bottom);
    if (over && !st.inside) {
        st.inside = 1;
        st.pressed = 1;
        Paint(window, st, nullptr);
        Notify(window, BTN_ENTER);
    } else if (!over && st.inside) {
        st.inside = 0;
        st.pressed = 0;
        Paint(window, st, nullptr);
        Notify(window, BTN_LEAVE);
    }
}

// The capture went elsewhere during a press: no release can make it a click any more. A plain
// or glyph button pops up at once; a drop-down button (the arrow style) stays down while its
// menu is open.
void LoseCapture(HWND window, PushButtonState& st) {
    if (st.tracking == kIdle || st.tracking == kHeld) return;
    st.inside = 0;
    if (st.arrowStyle) {
        st.tracking = kHeld;
        return;
    }
    st.tracking = kIdle;
    st.pressed = 0;
    Paint(window, st, nullptr);
}

bool SameText(const char* a, const char* b) {
    return std::strcmp(a ? a : "", b ? b : "") == 0;
}

void ReplaceCaption(PushButtonState& st, const char* text) {
    if (st.caption) HeapFree(GetProcessHeap(), 0, st.caption);
    st.caption = nullptr;
    if (!text || !*text) return;
    const size_t bytes = std::strlen(text) + 1;
    st.caption = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (st.caption) std::memcpy(st.caption, text, bytes);
}

// The keys that press the button: Enter and the space key, and on a drop-down button F4 and
// Alt+Down, which open a drop-down list elsewhere in Windows.
bool IsPressKey(const PushButtonState& st, UINT message, WPARAM key, LPARAM lParam) {
    if (message == WM_KEYDOWN)
        return key == VK_SPACE || key == VK_RETURN || (st.arrowStyle && key == VK_F4);
    const bool alt = (lParam & (1 << 29)) != 0;
    return message == WM_SYSKEYDOWN && alt && st.arrowStyle && key == VK_DOWN;
}

void KeyPress(HWND window, PushButtonState& st, WPARAM key) {
    // The key's character is already queued (the message loop translated the key before this
    // press). A menu that the press opens would take it as its own key, and a space or Enter
    // there chooses the highlighted item or closes the menu.
    MSG character;
    const WPARAM typed = key == VK_SPACE ? ' ' : key == VK_RETURN ? '\r' : 0;
    if (typed && PeekMessageA(&character, window, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
        character.wParam == typed) {
        PeekMessageA(&character, window, WM_CHAR, WM_CHAR, PM_REMOVE);
    }
    st.tracking = kKey;
    st.pressKey = key;
    Press(window, st, false);
}

void KeyRelease(HWND window, PushButtonState& st, WPARAM key) {
    if (key != st.pressKey) st.inside = 0;  // another key's release ends without a click
    Release(window, st);
}

void CancelPress(HWND window) {
    SendMessageA(window, WM_LBUTTONUP, 0, 0);
    // A click already queued for this button would otherwise start or end a press again.
    MSG pending;
    PeekMessageA(&pending, window, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_REMOVE);
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* st = CreateControlState<PushButtonState>(window);
    if (!st) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    st->arrowStyle = (create->style & PBS_ARROW) ? 1 : 0;
    st->glyphStyle = (create->style & PBS_GLYPH) ? 1 : 0;
    st->iconKey = kDefaultIconKey;
    st->textColour = kDefaultTextColour;
    st->tint = skin::kHighlightTint;
    st->background = CreationBackground(lParam);
    // A title given at creation is stored without a WM_SETTEXT: take it as the caption.
    if (create->lpszName && !IS_INTRESOURCE(create->lpszName)) {
        ReplaceCaption(*st, create->lpszName);
    }
    return 0;
}

LRESULT OnDestroy(HWND window, PushButtonState& st) {
    st.tracking = kIdle;  // closed mid-press: lower the flag
    ReleaseControlCapture(window);
    ReplaceCaption(st, nullptr);
    DestroyControlState(window);
    return 0;
}

// Asked with the message a dialog manager is about to handle: Enter is the button's own press,
// not the host frame's default button.
LRESULT OnGetDlgCode(LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    const bool enter = msg && !IsSentFromAnotherThread() && msg->message == WM_KEYDOWN &&
                       msg->wParam == VK_RETURN;
    return DLGC_WANTARROWS | DLGC_UNDEFPUSHBUTTON | (enter ? DLGC_WANTMESSAGE : 0);
}

LRESULT OnKeyDown(HWND window, PushButtonState& st, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsPressKey(st, message, wParam, lParam)) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    KeyPress(window, st, wParam);
    return 0;
}

LRESULT OnSysKeyUp(HWND window, PushButtonState& st, WPARAM wParam, LPARAM lParam) {
    // Alt may still be down when the key of an Alt+Down press comes up.
    if (st.tracking == kKey) KeyRelease(window, st, wParam);
    return DefWindowProcA(window, WM_SYSKEYUP, wParam, lParam);
}

LRESULT OnSetText(HWND window, PushButtonState& st, WPARAM wParam, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    if (SameText(text, st.caption)) return 0;
    ReplaceCaption(st, text);
    Invalidate(window, st, true);
    return DefWindowProcA(window, WM_SETTEXT, wParam, lParam);
}

LRESULT OnSetState(HWND window, PushButtonState& st, WPARAM wParam, LPARAM lParam) {
    if (st.state != int(wParam) || lParam) {
        st.state = int(wParam);
        Invalidate(window, st, lParam != 0);
    }
    return 0;
}

LRESULT OnSetIcon(HWND window, PushButtonState& st, WPARAM wParam, LPARAM lParam) {
    if (st.iconId != int(wParam)) {
        st.iconId = int(wParam);
        Invalidate(window, st, lParam != 0);
    }
    return 0;
}

LRESULT OnCancelPress(HWND window, PushButtonState& st) {
    if (st.tracking == kHeld) st.tracking = kMouse;  // outside: the release is no click
    CancelPress(window);
    return 0;
}

LRESULT OnSetImages(PushButtonState& st, WPARAM wParam, LPARAM lParam) {
    if (IsSentFromAnotherThread()) return 0;
    st.normalImage = reinterpret_cast<const BYTE*>(wParam);
    st.pressedImage = reinterpret_cast<const BYTE*>(lParam);
    return 0;
}

LRESULT OnSetFocusInsets(PushButtonState& st, WPARAM wParam, LPARAM lParam) {
    if (IsSentFromAnotherThread()) return 0;
    if (const auto* insets = reinterpret_cast<const int*>(wParam)) {
        st.focusInsets = {insets[0], insets[1], insets[2], insets[3]};
    }
    st.insetTint = lParam ? 1 : 0;
    return 0;
}

// The button's own messages (BTM_*), which set its look or end its press; any other message goes
// to DefWindowProc.
LRESULT OnButtonMessage(HWND window, PushButtonState& st, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    switch (message) {
    case BTM_SETSTATE: return OnSetState(window, st, wParam, lParam);
    case BTM_GETSTATE: return st.state;
    case BTM_REDRAW: Invalidate(window, st, lParam != 0); return 0;
    case BTM_SETDBLCLKCODE: st.doubleClickCode = int(wParam); return 0;
    case BTM_SETICON: return OnSetIcon(window, st, wParam, lParam);
    case BTM_SETICONKEY: st.iconKey = COLORREF(wParam); return 0;
    case BTM_CANCELPRESS: return OnCancelPress(window, st);
    case BTM_SETIMAGES: return OnSetImages(st, wParam, lParam);
    case BTM_SETFOCUSINSETS: return OnSetFocusInsets(st, wParam, lParam);
    case BTM_SETTINT: st.tint = DWORD(wParam); return 0;
    case BTM_SETTEXTCOLOR: st.textColour = COLORREF(wParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK PushButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    auto* st = ControlState<PushButtonState>(window);
    if (!st) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result;
    if (HandleCommonControlMessage(
            window, message, lParam, [&](HDC dc) { Paint(window, *st, dc); },
            [&] { LoseCapture(window, *st); }, &result)) {
        return result;
    }

    switch (message) {
    case WM_DESTROY: return OnDestroy(window, *st);
    case WM_GETDLGCODE: return OnGetDlgCode(lParam);
    case WM_LBUTTONDOWN: Press(window, *st, false); return 0;
    case WM_LBUTTONDBLCLK: Press(window, *st, true); return 0;
    case WM_MOUSEMOVE: TrackPointer(window, *st, lParam); return 0;
    case WM_LBUTTONUP: Release(window, *st); return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return OnKeyDown(window, *st, message, wParam, lParam);
    case WM_KEYUP: KeyRelease(window, *st, wParam); return 0;
    case WM_SYSKEYUP: return OnSysKeyUp(window, *st, wParam, lParam);
    case WM_RBUTTONDOWN:
        return SendMessageA(GetParent(window), BTN_RBUTTONDOWN, GetDlgCtrlID(window), lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Paint(window, *st, nullptr); return 0;
    case WM_SETTEXT: return OnSetText(window, *st, wParam, lParam);
    default: return OnButtonMessage(window, *st, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterPushButtonClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kPushButtonClassName, PushButtonProc);
}

void UnregisterPushButtonClass(HINSTANCE instance) {
    UnregisterClassA(kPushButtonClassName, instance);
}
