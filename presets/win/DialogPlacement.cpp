// Centring a dialog over its owner, on the screen or inside a parent window.
#include "presets/win/DialogPlacement.h"

void CentreOverParent(HWND window) {
    HWND parent = GetParent(window);
    RECT parentRect, rect;
    if (!parent || !GetWindowRect(parent, &parentRect) || !GetWindowRect(window, &rect)) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    POINT topLeft = {parentRect.left + (parentRect.right - parentRect.left - width) / 2,
                     parentRect.top + (parentRect.bottom - parentRect.top - height) / 2};
    // A child window is placed in its parent's client coordinates, not on the screen.
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ScreenToClient(parent, &topLeft);
    SetWindowPos(window, HWND_TOP, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE);
}
