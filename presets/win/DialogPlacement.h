// Where the preset dialogs open: centred over the window that owns them. Window thread only.
#pragma once
#include <windows.h>

// Moves window so that it is centred over its parent (or owner), keeping its size, and puts it
// at the top of the Z order.
void CentreOverParent(HWND window);
