// The "tw:Slider" window class: state record, window procedure, drag, keyboard and wheel
// handling, and double-buffered painting of groove, ticks and thumb.
#include "editor/controls/Slider.h"

#include <windowsx.h>

#include "editor/Compositing.h"
#include "editor/win/Drawing.h"
#include "editor/win/SkinResources.h"
#include "editor/controls/ControlShared.h"

namespace {

// Defaults of a new slider.
constexpr int kDefaultTickInterval = 20;
constexpr int kDefaultThumbLength = 29;
constexpr COLORREF kBackFillHighColour = 0x989898;
constexpr COLORREF kBackFillLowColour = 0x808080;

// Geometry, in pixels.
constexpr int kThumbAcross = 16;
constexpr int kThumbAcrossNoGroove = 18;
constexpr int kVerticalThumbInset = 2;
constexpr int kEdgeLoss = 4;              // lost at the bottom (right when vertical)
constexpr int kGrooveInset = 4;
constexpr int kTickAlongThumb = 12;       // a tick sits this far into the thumb's span
constexpr int kMajorTickTop = 10;         // ticks run from H - top to H - 4
constexpr int kMinorTickTop = 8;
constexpr int kTickBottom = 4;
constexpr int kImageStyleThumbLength = 11;
constexpr int kDisabledCopyBackShort = 3; // the copied-back span is thumbLength - 3 long
// Thumb hit test and the pointer's landing spot on the thumb at release. Fixed, whatever the
// thumb length.
constexpr int kHitThumbWidth = 26;
constexpr int kHitVerticalFar = 29;
constexpr int kHitVerticalNear = 5;
constexpr int kReturnAlongThumb = 12;
constexpr int kReturnVerticalAlong = 16;
constexpr int kReturnAcrossBack = 2;

// Colours.
constexpr COLORREF kGrooveColour = 0x202020;
constexpr COLORREF kGrooveDisabledColour = 0xa0a0a0;
constexpr COLORREF kMajorTickColour = 0x505050;
constexpr COLORREF kMinorTickColour = 0x888888;
constexpr int kDisabledOpacity = 192;

// The wheel: one notch is 120 units; the speed is 500 / milliseconds since the previous notch.

struct SliderState {
    int dragging;
    int moved;
    int acceleration;
    int vertical;
    int imageStyle;
    int skipNextMove;
    short lastCoord;
    HCURSOR savedCursor;
    HBITMAP background;
    const BYTE* thumbImage;
    POINT pressPoint;
    int grabbedThumb;
    int backBitmapId;
    int thumbPos;
    int value;
    int min;
    int max;
    int range;
    int tickInterval;
    int tickOffset;
    WheelClock wheel;
    int pageStep;
    int groove;
    int thumbLength;
    COLORREF backFill;
    DWORD hotTint;
    DWORD coldTint;
};

SliderMessageClock messageClock = nullptr;

LONG MessageTime() { return messageClock ? messageClock() : GetMessageTime(); }

int Clamp(long long value, int min, int max) {
    if (value < min) value = min;
    if (value > max) value = max;
    return static_cast<int>(value);
}

// Pixel offset of value v along a travel of `travel` pixels, rounded to the nearest pixel.
int ThumbOffset(const SliderState& s, int v, int travel) {
    if (s.range == 0) return 0;
    const long long scaled = s.range / 2 + static_cast<long long>(v - s.min) * travel;
    return static_cast<int>(scaled / s.range);
}

void Notify(HWND window, UINT code, WPARAM wParam) {
    SendMessageA(GetParent(window), code, wParam, reinterpret_cast<LPARAM>(window));
}

// Copies the page background back over [x, x + w) x [y, y + h) of the off-screen picture.
void CopyBackgroundBlock(HWND window, const COffscreenPaint& paint, HBITMAP background, int x,
                         int y, int w, int h) {
    if (!background || w <= 0 || h <= 0) return;
    HDC scratch = CreateCompatibleDC(paint.Dc());
    HBITMAP block = CreateCompatibleBitmap(paint.Dc(), paint.Width(), paint.Height());
    HGDIOBJ old = SelectObject(scratch, block);
    CopyParentBackground(window, scratch, background);
    BitBlt(paint.Dc(), x, y, w, h, scratch, x, y, SRCCOPY);
    SelectObject(scratch, old);
    DeleteObject(block);
    DeleteDC(scratch);
}

// Draws the groove; s.thumbPos must already hold the place of the thumb about to be drawn.
void DrawGroove(HWND window, const COffscreenPaint& paint, const SliderState& s, bool enabled) {
    HDC dc = paint.Dc();
    const int w = paint.Width(), h = paint.Height();
    const COLORREF colour = enabled ? kGrooveColour : kGrooveDisabledColour;
    if (s.vertical) {
        const int mid = (w - kEdgeLoss) / 2;
        DrawLine(dc, mid, kGrooveInset, mid, h - kGrooveInset, colour);
        DrawLine(dc, mid + 1, kGrooveInset, mid + 1, h - kGrooveInset, colour);
    } else {
        const int mid = (h - kEdgeLoss) / 2;
        DrawLine(dc, kGrooveInset, mid - 2, w - kGrooveInset, mid - 2, colour);
        DrawLine(dc, kGrooveInset, mid - 1, w - kGrooveInset, mid - 1, colour);
    }
    if (!enabled) {
        // The disabled thumb is translucent: keep the groove from showing through it.
        const int span = s.thumbLength - kDisabledCopyBackShort;
        if (s.vertical) {
            CopyBackgroundBlock(window, paint, s.background, 0, s.thumbPos - s.thumbLength, w,
                                span);
        } else {
            CopyBackgroundBlock(window, paint, s.background, s.thumbPos, 0, span, h);
        }
    }
}

// Ticks at min, min + offset + interval, then every interval up to max, and at max; majors
// (longer, darker) at min, 0 and max. Vertical sliders mirror the horizontal layout with the
// value growing upwards.
void DrawTicks(const COffscreenPaint& paint, const SliderState& s, int travel) {
    if (s.tickInterval <= 0) return;
    HDC dc = paint.Dc();
    const int w = paint.Width(), h = paint.Height();
    auto tick = [&](long long v) {
        const int value = static_cast<int>(v);
        const bool major = value == s.min || value == 0 || value == s.max;
        const int top = major ? kMajorTickTop : kMinorTickTop;
        const COLORREF colour = major ? kMajorTickColour : kMinorTickColour;
        const int along = ThumbOffset(s, value, travel) + kTickAlongThumb;
        if (s.vertical) {
            const int y = h - 1 - along;
            DrawLine(dc, w - top, y, w - kTickBottom, y, colour);
        } else {
            DrawLine(dc, along, h - top, along, h - kTickBottom, colour);
        }
    };
    tick(s.min);
    for (long long v = static_cast<long long>(s.min) + s.tickOffset + s.tickInterval; v <= s.max;
         v += s.tickInterval) {
        tick(v);
    }
    tick(s.max);
}

// Paints the whole slider into target, or into the window's own DC when target is null.
void Paint(HWND window, SliderState& s, HDC target) {
    COffscreenPaint paint(window, s.imageStyle ? nullptr : s.background, target);
    HDC dc = paint.Dc();
    const int w = paint.Width(), h = paint.Height();
    const bool enabled = IsWindowEnabled(window) != FALSE;
    int travelLength = s.thumbLength;

    if (s.imageStyle) {
        HBRUSH fill = CreateSolidBrush(s.backFill);
        RECT all = {0, 0, w, h};
        FillRect(dc, &all, fill);
        DeleteObject(fill);
        if (s.backBitmapId != 0) {
            HINSTANCE module =
                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
            HBITMAP bitmap = LoadSkinBitmap(module, s.backBitmapId, nullptr);
            if (bitmap) {
                BlitColorKeyed(dc, 0, 0, bitmap, 0, 0, w, h, s.backFill);
                DeleteObject(bitmap);
            }
        }
        travelLength = kImageStyleThumbLength;
    }
    const int travel = (s.vertical ? h : w) - travelLength;
    const int offset = ThumbOffset(s, s.value, travel);
    // Before the groove: a disabled groove is hidden under this paint's thumb, not the last one's.
    s.thumbPos = s.vertical ? h - offset : offset;

    if (!s.imageStyle && s.groove) {
        DrawGroove(window, paint, s, enabled);
        DrawTicks(paint, s, travel);
    }

    if (s.thumbImage) {
        const bool hot = enabled && (s.dragging || GetFocus() == window);
        const DWORD tint = hot ? s.hotTint : s.coldTint;
        const int opacity = enabled ? skin::kFullOpacity : kDisabledOpacity;
        if (s.vertical) {
            const int y = h - s.thumbLength - offset;
            if (s.groove) {
                CompositeImage(dc, kVerticalThumbInset, y, kThumbAcross, s.thumbLength,
                               s.thumbImage, opacity, tint, skin::kTintWholeImage);
            } else {
                CompositeImage(dc, 0, y, kThumbAcrossNoGroove, s.thumbLength, s.thumbImage,
                               opacity, tint, skin::kTintWholeImage);
            }
        } else {
            CompositeImage(dc, offset, 0, s.thumbLength, kThumbAcross, s.thumbImage, opacity, tint,
                           skin::kTintWholeImage);
        }
    }
    paint.Present();
}

void Repaint(HWND window, SliderState& s) { Paint(window, s, nullptr); }

// A key or wheel step: clamp, repaint, and report the change and its end.
void StepAndNotify(HWND window, SliderState& s, long long step) {
    s.value = Clamp(s.value + step, s.min, s.max);
    Repaint(window, s);
    Notify(window, SLN_VALUECHANGED, static_cast<WPARAM>(s.value));
    Notify(window, SLN_CHANGEEND, 0);
}

LRESULT OnKeyDown(HWND window, SliderState& s, WPARAM key, LPARAM lParam) {
    long long step;
    switch (key) {
    case VK_PRIOR: step = s.pageStep; break;
    case VK_NEXT: step = -static_cast<long long>(s.pageStep); break;
    case VK_END: step = static_cast<long long>(s.max) - s.value; break;
    case VK_HOME: step = static_cast<long long>(s.min) - s.value; break;
    case VK_UP:
    case VK_RIGHT: step = 1; break;
    case VK_LEFT:
    case VK_DOWN: step = -1; break;
    default: return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    }
    if (step != 0) StepAndNotify(window, s, step);
    return 0;
}

LRESULT OnMouseWheel(HWND window, SliderState& s, WPARAM wParam) {
    if (InlineEditorWindow) return 0;
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    long long notches = delta / kWheelNotch;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    notches *= notches < 0 ? -notches : notches;
    StepAndNotify(window, s, notches * WheelSpeed(&s.wheel, static_cast<DWORD>(MessageTime())));
    return 0;
}

LRESULT OnLButtonDown(HWND window, SliderState& s, LPARAM lParam) {
    s.dragging = 1;
    s.lastCoord = static_cast<short>(s.vertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam));
    Repaint(window, s);  // the thumb turns hot

    BeginControlCapture(window);
    s.savedCursor = SetCursor(nullptr);
    s.moved = 0;
    s.grabbedThumb = 0;
    GetCursorPos(&s.pressPoint);
    SetFocus(window);

    if (s.vertical) {
        const int y = GET_Y_LPARAM(lParam);
        s.grabbedThumb = s.thumbPos - kHitVerticalFar <= y && y < s.thumbPos - kHitVerticalNear;
    } else {
        const int x = GET_X_LPARAM(lParam);
        s.grabbedThumb = s.thumbPos <= x && x < s.thumbPos + kHitThumbWidth;
    }
    return 0;
}

LRESULT OnMouseMove(HWND window, SliderState& s, WPARAM wParam, LPARAM lParam) {
    if (!s.dragging) return DefWindowProcA(window, WM_MOUSEMOVE, wParam, lParam);

    // At the screen edge the pointer jumps to the centre; the jump's move is absorbed below.
    POINT pointer;
    GetCursorPos(&pointer);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (!(desktop.left < pointer.x && pointer.x < desktop.right - 1 && desktop.top < pointer.y &&
          pointer.y < desktop.bottom - 1)) {
        s.skipNextMove = 1;
        SetCursorPos((desktop.left + desktop.right) / 2, (desktop.top + desktop.bottom) / 2);
        return 0;
    }

    const short coord =
        static_cast<short>(s.vertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam));
    long long delta = coord - s.lastCoord;
    if (s.vertical) delta = -delta;  // upwards increases
    s.lastCoord = coord;
    s.moved = 1;
    if (s.skipNextMove) {
        s.skipNextMove = 0;
        return 0;
    }
    if (s.acceleration) {
        if (delta > 0) delta = delta * delta / 2 + 1;
        else if (delta < 0) delta = -(delta * delta / 2) - 1;
    }
    s.value = Clamp(s.value + delta, s.min, s.max);
    Repaint(window, s);
    Notify(window, SLN_VALUECHANGED, static_cast<WPARAM>(s.value));
    return 0;
}

// What ends a drag once s.dragging is cleared: the thumb cools, a moved drag reports its end
// and the pointer shows again. After a release the pointer reappears on the thumb it dragged,
// or where the press was; after a lost capture it stays where the system has put it.
void FinishDrag(HWND window, SliderState& s, bool released) {
    Repaint(window, s);
    if (s.moved && released) {
        if (s.grabbedThumb) {
            RECT r;
            GetWindowRect(window, &r);
            if (s.vertical) {
                SetCursorPos((r.left + r.right) / 2 - kReturnAcrossBack,
                             r.top + s.thumbPos - kReturnVerticalAlong);
            } else {
                SetCursorPos(r.left + s.thumbPos + kReturnAlongThumb,
                             (r.top + r.bottom) / 2 - kReturnAcrossBack);
            }
        } else {
            SetCursorPos(s.pressPoint.x, s.pressPoint.y);
        }
    }
    if (s.moved) Notify(window, SLN_CHANGEEND, 0);
    SetCursor(s.savedCursor);
}

LRESULT OnLButtonUp(HWND window, SliderState& s, WPARAM wParam, LPARAM lParam) {
    if (!s.dragging) return DefWindowProcA(window, WM_LBUTTONUP, wParam, lParam);
    s.dragging = 0;  // first, so that giving up the capture is no loss
    EndControlCapture();
    FinishDrag(window, s, true);
    return 0;
}

// Without the capture, moves over the slider must not drag it on with no button held.
void OnCaptureLost(HWND window, SliderState& s) {
    if (!s.dragging) return;
    s.dragging = 0;
    FinishDrag(window, s, false);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
    auto* s = CreateControlState<SliderState>(window);
    if (!s) return -1;
    s->vertical = (create->style & SLS_VERTICAL) != 0;
    s->imageStyle = (create->style & SLS_IMAGE) != 0;
    s->background = static_cast<HBITMAP>(create->lpCreateParams);
    s->tickInterval = kDefaultTickInterval;
    s->groove = 1;
    s->thumbLength = kDefaultThumbLength;
    s->backFill = IsHighColourScreen() ? kBackFillHighColour : kBackFillLowColour;
    s->hotTint = skin::kHighlightTint;
    s->coldTint = skin::kNoTint;
    return 0;
}

LRESULT OnSetRange(HWND window, SliderState& s, int min, int max) {
    if (min == s.min && max == s.max) return 0;
    s.min = min;
    s.max = max;
    s.range = max - min;
    if (s.pageStep == 0) {
        RECT client;
        GetClientRect(window, &client);
        int length = (s.vertical ? client.bottom - client.top : client.right - client.left) -
                     kEdgeLoss;
        if (length < 1) length = 1;
        const int step = static_cast<int>(static_cast<long long>(s.range) * 15 / length);
        s.pageStep = step < 1 ? 1 : step;
    }
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    return 0;
}

LRESULT OnDestroy(HWND window, SliderState& s) {
    // Closed mid-drag: show the pointer again and lower the flag, telling the page nothing.
    if (s.dragging) SetCursor(s.savedCursor);
    s.dragging = 0;
    ReleaseControlCapture(window);
    DestroyControlState(window);
    return 0;
}

LRESULT OnSetValue(HWND window, SliderState& s, WPARAM wParam, LPARAM lParam) {
    const int value = static_cast<int>(wParam);
    if (value != s.value) {
        s.value = value;
        InvalidateRect(window, nullptr, FALSE);
        if (lParam) UpdateWindow(window);
    }
    return 0;
}

LRESULT OnSetThumbImage(SliderState& s, WPARAM wParam) {
    if (!IsSentFromAnotherThread()) s.thumbImage = reinterpret_cast<const BYTE*>(wParam);
    return 0;
}

// The slider's own messages (SLM_*), which read or set its value and set its look; any other
// message goes to DefWindowProc.
LRESULT OnSliderMessage(HWND window, SliderState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case SLM_GETVALUE: return s.value;
    case SLM_SETVALUE: return OnSetValue(window, s, wParam, lParam);
    case SLM_SETRANGE:
        return OnSetRange(window, s, static_cast<int>(wParam), static_cast<int>(lParam));
    case SLM_SETACCEL: s.acceleration = static_cast<int>(wParam); return 0;
    case SLM_SETTICKINTERVAL: s.tickInterval = static_cast<int>(wParam); return 0;
    case SLM_SETPAGESTEP: s.pageStep = static_cast<int>(wParam); return 0;
    case SLM_SETTICKOFFSET: s.tickOffset = static_cast<int>(wParam); return 0;
    case SLM_SETBACKBITMAP: s.backBitmapId = static_cast<int>(wParam); return 0;
    case SLM_SETTHUMBIMAGE: return OnSetThumbImage(s, wParam);
    case SLM_SETGROOVE: s.groove = static_cast<int>(wParam); return 0;
    case SLM_SETTHUMBLENGTH: s.thumbLength = static_cast<int>(wParam); return 0;
    case SLM_SETHOTTINT: s.hotTint = static_cast<DWORD>(wParam); return 0;
    case SLM_SETCOLDTINT: s.coldTint = static_cast<DWORD>(wParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    SliderState* state = ControlState<SliderState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    SliderState& s = *state;
    LRESULT result;
    if (HandleCommonControlMessage(
            window, message, lParam, [&](HDC dc) { Paint(window, s, dc); },
            [&] { OnCaptureLost(window, s); }, &result)) {
        return result;
    }

    switch (message) {
    case WM_DESTROY: return OnDestroy(window, s);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Repaint(window, s); return 0;  // focus selects the tint
    case WM_KEYDOWN: return OnKeyDown(window, s, wParam, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(window, s, wParam);
    case WM_LBUTTONDOWN: return OnLButtonDown(window, s, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(window, s, wParam, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(window, s, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        Notify(window, SLN_DOUBLECLICK, static_cast<WPARAM>(GetDlgCtrlID(window)));
        return 0;
    default: return OnSliderMessage(window, s, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterSliderClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kSliderClassName, SliderProc);
}

void UnregisterSliderClass(HINSTANCE instance) { UnregisterClassA(kSliderClassName, instance); }

void SetSliderMessageClock(SliderMessageClock clock) { messageClock = clock; }
