// Keys for the plug-in's property pages inside a host's property frame.
#include "editor/win/PageKeys.h"

HRESULT GiveKeyToControlThatAsks(HWND page, MSG* msg) {
    if (!msg) return E_POINTER;
    if (!page || msg->message != WM_KEYDOWN) return S_FALSE;
    if (msg->hwnd != page && !IsChild(page, msg->hwnd)) return S_FALSE;
    const LRESULT wants = SendMessageW(msg->hwnd, WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(msg));
    if (!(wants & DLGC_WANTMESSAGE)) return S_FALSE;
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return S_OK;
}
