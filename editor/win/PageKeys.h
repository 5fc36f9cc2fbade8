// Keys for the plug-in's property pages inside a host's property frame.
#pragma once
#include <windows.h>

// A page's TranslateAccelerator. The frame would give Enter and Escape to its own buttons: a
// control of the page that asks for the key (WM_GETDLGCODE answering DLGC_WANTMESSAGE: Enter on
// a button, Enter and Escape in a value's inline editor) gets it instead. S_OK when the control
// took the key, S_FALSE to leave it to the frame, E_POINTER without a message.
HRESULT GiveKeyToControlThatAsks(HWND page, MSG* msg);
