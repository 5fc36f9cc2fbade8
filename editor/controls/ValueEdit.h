// "tw:Edit": the editor's value field. Shows its window text over an optional RGBT image and
// reports steps to its parent as the user drags, presses keys or turns the wheel; a
// double-click or the space key opens a small inline text editor for typing a value.
// Window thread only.
#pragma once
#include <windows.h>

constexpr const char* kValueEditClassName = "tw:Edit";

// Window styles (the low, class-specific word).
constexpr DWORD EDS_LINEAR = 0x1;      // at creation: no quadratic drag response
constexpr DWORD EDS_RIGHTALIGN = 0x2;  // right-aligned text

// Posted to the parent: wParam MAKEWPARAM(control id, step as signed 16-bit), lParam the edit's
// window. A step of 0 means editing has finished and the shown value is to be refreshed.
constexpr UINT EDN_DELTA = 2225;
constexpr UINT EDM_SETACCEL = 2226;      // wParam non-zero: quadratic drag response; returns 0
constexpr UINT EDM_SETFLAGS = 2227;      // wParam EDF_REVERSE or 0
// Change protocol: a text change raises a counter that each EDM_CHECKCHANGED lowers; once it
// is back at 0, EDM_CHECKCHANGED posts EDN_CHANGED (wParam control id, lParam the edit).
constexpr UINT EDM_CHECKCHANGED = 2228;
constexpr UINT EDN_CHANGED = 2229;
// wParam the field's RGBT background image, or 0; ignored unless sent from the field's thread.
constexpr UINT EDM_SETIMAGE = 2230;

constexpr WPARAM EDF_REVERSE = 0x2;      // drag and wheel directions inverted

// Keyboard steps: Page Up/Down, and End/Home, which exceed every parameter's range so that
// the page clamps the value to its end.
constexpr int kEditPageStep = 10;
constexpr int kEditEndStep = 17504;

// The inline editor: a single-line, right-aligned standard EDIT child with this identifier,
// which scrolls to take a text wider than itself. Enter copies its text into the field and
// posts WM_COMMAND(MAKEWPARAM(field id, EN_CHANGE), field) and then EDN_DELTA 0 to the field's
// parent; Escape or losing the focus drops the typed text. It asks a dialog manager for Enter
// and Escape, so that they reach it inside a host's frame. While it is open,
// InlineEditorWindow (ControlShared.h) holds it.
constexpr int kInlineEditorId = 4321;
void OpenInlineEditor(HWND edit);

// Registers and unregisters the class in instance. Each field's creation parameter is the page
// background bitmap, which it never deletes.
bool RegisterValueEditClass(HINSTANCE instance);
void UnregisterValueEditClass(HINSTANCE instance);

// The message time the wheel's speed rule reads: GetMessageTime unless another clock is
// installed (tests drive the wheel with chosen times). Null restores GetMessageTime.
using ValueEditMessageClock = LONG (*)();
void SetValueEditMessageClock(ValueEditMessageClock clock);
