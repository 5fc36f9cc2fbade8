// "tw:Slider": the editor's linear fader. A thumb image along a groove with tick marks, moved by
// an endless relative drag (pointer hidden, warped at the screen edge), the keyboard and the
// wheel. Window thread only.
#pragma once
#include <windows.h>

constexpr const char* kSliderClassName = "tw:Slider";

// Window styles (the low, class-specific word).
constexpr DWORD SLS_VERTICAL = 0x1;
constexpr DWORD SLS_IMAGE = 0x2;  // filled background with a bitmap instead of groove and ticks

// Messages the parent sends. All setters return 0; those from SLM_SETACCEL on do not repaint.
constexpr UINT SLM_GETVALUE = 2125;        // returns the value
constexpr UINT SLM_SETVALUE = 2126;        // wParam value (stored unclamped), lParam != 0: repaint now
constexpr UINT SLM_SETRANGE = 2127;        // wParam min, lParam max; the value is not clamped
constexpr UINT SLM_SETACCEL = 2131;        // wParam non-zero: quadratic drag response
constexpr UINT SLM_SETTICKINTERVAL = 2132; // wParam interval, 0 = no ticks
constexpr UINT SLM_SETPAGESTEP = 2133;     // wParam step of Page Up / Page Down
constexpr UINT SLM_SETTICKOFFSET = 2134;   // wParam offset of the second tick from the minimum
constexpr UINT SLM_SETBACKBITMAP = 2135;   // wParam bitmap resource id (image style)
// wParam: the RGBT thumb image, used in place: 16 pixels across the axis (18 for a vertical
// slider without groove) and thumbLength along it; 0 = no thumb. Ignored unless sent from the
// slider's own thread.
constexpr UINT SLM_SETTHUMBIMAGE = 2136;
constexpr UINT SLM_SETGROOVE = 2138;       // wParam flag
constexpr UINT SLM_SETTHUMBLENGTH = 2139;  // wParam pixels along the axis
constexpr UINT SLM_SETHOTTINT = 2140;      // wParam TintColor while dragging or focused
constexpr UINT SLM_SETCOLDTINT = 2141;     // wParam TintColor otherwise

// Notifications sent to the parent; lParam is always the slider's window.
constexpr UINT SLN_VALUECHANGED = 2129;  // wParam the new (clamped) value
constexpr UINT SLN_DOUBLECLICK = 2130;   // wParam the slider's control id
constexpr UINT SLN_CHANGEEND = 2137;     // wParam 0: after a key or wheel change or a moved drag

// Registers and unregisters the class in instance (the module that creates the sliders).
// Each slider's creation parameter is the page background bitmap, which it never deletes.
bool RegisterSliderClass(HINSTANCE instance);
void UnregisterSliderClass(HINSTANCE instance);

// The message time the wheel's speed rule reads: GetMessageTime unless another clock is
// installed (tests drive the wheel with chosen times). Null restores GetMessageTime.
using SliderMessageClock = LONG (*)();
void SetSliderMessageClock(SliderMessageClock clock);
