// "tw:StaticText": a label drawn in black over the page background, centred in its window,
// that tells its parent when it is clicked. Window thread only.
#pragma once
#include <windows.h>

constexpr const char* kStaticTextClassName = "tw:StaticText";

// A left press or double-click posts WM_COMMAND to the parent with wParam
// MAKEWPARAM(control id, STN_TEXTCLICK) and lParam the label's window.
constexpr WORD STN_TEXTCLICK = 0;

// Registers and unregisters the class in instance. Each label's creation parameter is the page
// background bitmap, which it never deletes; WM_SETFONT selects the font (not owned; the stock
// GUI font until then).
bool RegisterStaticTextClass(HINSTANCE instance);
void UnregisterStaticTextClass(HINSTANCE instance);
