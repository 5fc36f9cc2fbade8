// "tw:Meter": the editor's bar meter. Shows an integer level against a range as a band of a lit
// image over an unlit one, with optional ballistics that advance once per new value. No mouse or
// keyboard behaviour. Window thread only.
#pragma once
#include <windows.h>

constexpr char kMeterClassName[] = "tw:Meter";

// Window style bits.
constexpr DWORD MTS_VERTICAL = 0x1;
constexpr DWORD MTS_INVERTED = 0x2;    // the scale runs from the top
constexpr DWORD MTS_BALLISTICS = 0x8;  // fall-off, peak hold and maximum; peak-hold line
constexpr DWORD MTS_CENTRED = 0x10;    // vertical bar growing up or down from row 77
constexpr DWORD MTS_MARKER = 0x40;     // horizontal: a 3-pixel marker instead of a bar

// Messages from the parent. Values are int32; the Get messages write through the non-null
// addresses and return 0. Messages carrying addresses do nothing unless sent from the meter's
// own thread.
constexpr UINT MTM_SETRANGE = 2625;     // wParam min, lParam max; no repaint
constexpr UINT MTM_SETVALUES = 2626;    // wParam channel 1, lParam channel 2; repaints at once
constexpr UINT MTM_GETPEAKHOLD = 2627;  // wParam, lParam: int32* for channel 1, channel 2
constexpr UINT MTM_RESETMAX = 2628;     // forgets both maxima; no repaint
constexpr UINT MTM_GETMAX = 2629;       // wParam, lParam: int32* for channel 1, channel 2
constexpr UINT MTM_SETIMAGES = 2630;    // wParam unlit, lParam lit RGBT image of the client size
constexpr UINT MTM_SETDECAY = 2631;     // wParam: fall of the bar per update

// Registers the class in module with the attributes all the editor's controls share. True when
// the class is registered afterwards (also when it already was).
bool RegisterMeterClass(HINSTANCE module);
void UnregisterMeterClass(HINSTANCE module);
