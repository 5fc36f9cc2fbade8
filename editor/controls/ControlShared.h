// What every custom control of the editor shares: the module-wide capture flag and inline
// editor handle, the per-window state record, the screen-depth test for default colours and
// the double-buffered paint. Window thread only.
#pragma once
#include <windows.h>

// 1 while a custom control holds the mouse capture during a press or drag; the page reads it
// on every timer tick to group a drag into one undo step and one automation capture.
extern int ControlCaptureFlag;
// The open inline text editor of a value field, or null; sliders ignore the wheel meanwhile.
extern HWND InlineEditorWindow;
// Gives up the capture and lowers the flag when the window holds it (WM_CANCELMODE, and
// WM_DESTROY: closing the editor mid-drag must not leave the flag raised).
void ReleaseControlCapture(HWND window);

// Allocates a zero-filled state record of `bytes` and stores it in the window's user data
// (WM_CREATE). Null when allocation fails: WM_CREATE then returns -1.
void* CreateControlState(HWND window, size_t bytes);
// The record stored by CreateControlState, or null.
template <typename State>
State* ControlState(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}
// The typed form of the above.
template <typename State>
State* CreateControlState(HWND window) {
    return static_cast<State*>(CreateControlState(window, sizeof(State)));
}
// The page background bitmap a control is created with: CreateWindowEx's last argument, read
// from WM_CREATE's lParam.
inline HBITMAP CreationBackground(LPARAM createParam) {
    return static_cast<HBITMAP>(reinterpret_cast<const CREATESTRUCTA*>(createParam)->lpCreateParams);
}
// Frees the record and clears the window's reference (WM_DESTROY).
void DestroyControlState(HWND window);

// WM_ERASEBKGND, WM_ENABLE and WM_PAINT as every custom control answers them: no erasing (the
// paint covers the whole client area), a new paint when enabled or disabled, and paint(dc) with
// the paint DC between BeginPaint and EndPaint. True, with *result set, when the message was one
// of the three.
template <typename PaintFunction>
bool HandlePaintMessage(HWND window, UINT message, PaintFunction&& paint, LRESULT* result) {
    if (message == WM_ERASEBKGND) {
        *result = 1;
        return true;
    }
    // A control that is enabled or disabled looks different: it paints again.
    if (message == WM_ENABLE) {
        InvalidateRect(window, nullptr, FALSE);
        *result = 0;
        return true;
    }
    if (message != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    paint(dc);
    EndPaint(window, &ps);
    *result = 0;
    return true;
}

// The message cases shared by the controls that take the mouse capture, for their procedure
// to try first (once it has its state record): the three of HandlePaintMessage, and the loss of
// the capture to another window (WM_CAPTURECHANGED) or to WM_CANCELMODE, which lowers
// ControlCaptureFlag and calls captureLost() to end the press or drag. A control ending its own
// press clears its state before giving up the capture, so captureLost() then finds nothing to end.
template <typename PaintFunction, typename CaptureLostFunction>
bool HandleCommonControlMessage(HWND window, UINT message, LPARAM lParam, PaintFunction&& paint,
                                CaptureLostFunction&& captureLost, LRESULT* result) {
    if (message == WM_CAPTURECHANGED || message == WM_CANCELMODE) {
        *result = 0;
        // Taking the capture again for the same window (a key repeat) loses nothing.
        if (message == WM_CAPTURECHANGED && reinterpret_cast<HWND>(lParam) == window) return true;
        captureLost();
        if (message == WM_CAPTURECHANGED) ControlCaptureFlag = 0;
        else ReleaseControlCapture(window);
        return true;
    }
    return HandlePaintMessage(window, message, paint, result);
}

// The focus frame of the buttons and value fields: red, so that it stands out on the grey and
// amber faces; lit from the top left (top and left edges) like the skin.
constexpr COLORREF kFocusLightColour = 0x0000e1;
constexpr COLORREF kFocusDarkColour = 0x0000c8;

// True when the screen has more than 8 bits per pixel (default colours depend on it).
bool IsHighColourScreen();

// True when the message being handled came from another thread (sent, sent as a notification or
// with a callback). The controls then refuse their messages that carry addresses: the system
// copies nothing for private messages, so the address belongs to a sender whose memory and
// lifetime the control cannot trust (another process's address space, or a notification whose
// sender has moved on).
bool IsSentFromAnotherThread();

// Registers one of the editor's custom control classes with the attributes they all share:
// double-clicks, the parent's DC, 4 extra window bytes, the arrow cursor and the button-face
// brush. A class that already exists (an earlier editor registered it) counts as registered.
bool RegisterCustomControlClass(HINSTANCE instance, const char* className, WNDPROC procedure);

// Takes the mouse capture for a press or drag and raises ControlCaptureFlag; the release
// lowers it again. Controls also lower the flag on WM_CAPTURECHANGED.
void BeginControlCapture(HWND window);
void EndControlCapture();

// The mouse wheel's acceleration, shared by the slider and the value field. A notch that follows
// the previous one within kWheelSlowMs steps by kWheelSlowMs / the milliseconds between them;
// any other, the first one included, steps by 1. The time difference is unsigned because the
// message clock wraps and reads negative after 24.8 days of uptime.
constexpr int kWheelNotch = WHEEL_DELTA;
constexpr DWORD kWheelSlowMs = 500;
struct WheelClock {
    DWORD lastTime;
    int turned;  // lastTime holds a notch's time; a zeroed clock has seen no notch
};
// The speed of a notch at the message time now; remembers now for the next one.
int WheelSpeed(WheelClock* clock, DWORD now);

// A double-buffered paint: an off-screen bitmap of the client size holding the page
// background under the control; Present() copies it to the window in one step. Usable inside
// WM_PAINT (pass the paint DC) or for a direct repaint (null DC: the window's own DC).
class COffscreenPaint {
public:
    COffscreenPaint(HWND window, HBITMAP background, HDC target = nullptr);
    ~COffscreenPaint();
    COffscreenPaint(const COffscreenPaint&) = delete;
    COffscreenPaint& operator=(const COffscreenPaint&) = delete;

    HDC Dc() const { return m_memory; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Copies the off-screen picture to the window.
    void Present();

private:
    HWND m_window;
    HDC m_target;
    bool m_ownsTarget;
    HDC m_memory;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
    int m_width;
    int m_height;
};
