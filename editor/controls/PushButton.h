// "tw:PushButton": the editor's skinned push button. Normal and pressed RGBT images, a lit
// state with a tint, an optional icon, caption, drop-down arrow or indicator glyph, and a focus
// frame; it reports presses and clicks to its parent. It takes Enter from a dialog manager, so
// that Enter presses it inside a host's frame. Window thread only.
#pragma once
#include <windows.h>

constexpr const char* kPushButtonClassName = "tw:PushButton";

// Window styles (the low, class-specific word), read at creation.
constexpr DWORD PBS_ARROW = 0x1;  // a small drop-down triangle at the right
constexpr DWORD PBS_GLYPH = 0x2;  // the indicator glyph (bitmap 7500) at the right

// Messages the parent sends; all return 0 unless noted. "Repaint-now flag": non-zero repaints
// through the button's own DC at once instead of waiting for WM_PAINT. Messages carrying
// addresses do nothing unless sent from the button's own thread.
constexpr UINT BTM_SETSTATE = 2025;       // wParam lit state (0 = unlit), lParam repaint-now flag
constexpr UINT BTM_GETSTATE = 2026;       // returns the lit state
constexpr UINT BTM_REDRAW = 2027;         // lParam repaint-now flag
constexpr UINT BTM_SETDBLCLKCODE = 2028;  // wParam non-zero: double-clicks notify BTN_DBLCLK
constexpr UINT BTM_SETICON = 2029;        // wParam bitmap resource id (0 none), lParam repaint-now
constexpr UINT BTM_SETICONKEY = 2030;     // wParam the icon's key colour
constexpr UINT BTM_CANCELPRESS = 2032;    // ends a press as if the left button were released
constexpr UINT BTM_SETIMAGES = 2033;      // wParam normal, lParam pressed RGBT image (either 0)
// wParam: four ints (left, top, right, bottom) added to the focus frame's edges;
// lParam: non-zero tints with the button margins (margin mode 2) when lit.
constexpr UINT BTM_SETFOCUSINSETS = 2034;
constexpr UINT BTM_SETTINT = 2036;        // wParam TintColor of the lit state
constexpr UINT BTM_SETTEXTCOLOR = 2037;   // wParam caption colour

// Sent to the parent on a right-button press: wParam control id, lParam the mouse position as
// received. The button returns the parent's answer.
constexpr UINT BTN_RBUTTONDOWN = 2031;

// Notification codes: WM_COMMAND sent to the parent, wParam MAKEWPARAM(control id, code),
// lParam the button's window.
constexpr WORD BTN_CLICK = 0;   // a press ended by a release over the button
// Left press, double-click, Enter or space key down (and their repeats); on a drop-down button
// (PBS_ARROW) also F4 and Alt+Down. A key press clicks at the same key's release.
constexpr WORD BTN_PRESS = 1;
constexpr WORD BTN_DBLCLK = 2;  // double-click while the double-click code is set
constexpr WORD BTN_ENTER = 3;   // during a mouse press the pointer came back over the button
constexpr WORD BTN_LEAVE = 4;   // during a mouse press the pointer left the button

// Registers and unregisters the class in instance (the module that holds the icon and glyph
// bitmaps). Each button's creation parameter is the page background bitmap, never deleted.
bool RegisterPushButtonClass(HINSTANCE instance);
void UnregisterPushButtonClass(HINSTANCE instance);
