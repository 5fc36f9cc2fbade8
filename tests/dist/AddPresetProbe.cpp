// Adds a preset through the registered plug-in's editor as a user would: the plug-in and its
// page are created through their registration (never loaded by path), "Add Preset..." is chosen
// from the page's presets menu, and the add-preset dialog is filled in and confirmed.
// Usage: add_preset_probe NAME. Exit code 0 when the dialog was confirmed, 1 otherwise.
#include <windows.h>
#include <dshow.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <cstdio>
#include <string>

#include "base/win/ComPtr.h"
#include "editor/controls/PushButton.h"
#include "editor/page/PageIds.h"
#include "plugin/PluginGuids.h"
#include "presets/win/AddPresetDialogIds.h"

namespace {

std::string g_name;
bool g_confirmed = false;

// Fills in and confirms the add-preset dialog once the menu command has opened it.
void CALLBACK FillAddDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowA(nullptr, "Add tw:Phase preset");
    if (!dialog) return;
    KillTimer(nullptr, id);
    SetDlgItemTextA(dialog, IDC_ADD_NAME, g_name.c_str());
    SetDlgItemTextA(dialog, IDC_ADD_BANK, "Installed");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    g_confirmed = true;
}

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "add_preset_probe: %s (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int AddPreset() {
    ComPtr<IBaseFilter> filter;
    HRESULT hr = CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  filter.PutVoid());
    if (FAILED(hr)) return Fail("the plug-in is not registered", hr);
    ComPtr<IPropertyPage> page;
    hr = CoCreateInstance(CLSID_TwPhasePropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IPropertyPage, page.PutVoid());
    if (FAILED(hr)) return Fail("the editor page is not registered", hr);
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 500, 300,
                                nullptr, nullptr, nullptr, nullptr);
    IUnknown* objects[] = {filter.Get()};
    const RECT rect = {0, 0, 428, 222};
    if (FAILED(hr = page->SetObjects(1, objects)) || FAILED(hr = page->Activate(host, &rect, FALSE)))
        return Fail("the editor page did not open", hr);
    page->Show(SW_SHOW);
    HWND window = GetWindow(host, GW_CHILD);
    HWND presets = GetDlgItem(window, IDC_PRESETS);

    // "Add Preset..." is the presets menu's first item: the menu opens with nothing
    // highlighted, so one arrow key and Enter choose it, while the timer answers the dialog.
    SetTimer(nullptr, 0, 50, FillAddDialog);
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_PRESETS, BTN_PRESS), LPARAM(presets));

    page->Deactivate();
    page->SetObjects(0, nullptr);
    DestroyWindow(host);
    return g_confirmed ? 0 : Fail("the add-preset dialog did not open", E_FAIL);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: add_preset_probe NAME\n", stderr);
        return 2;
    }
    g_name = argv[1];
    if (FAILED(OleInitialize(nullptr))) return Fail("OleInitialize failed", E_FAIL);
    const int result = AddPreset();
    OleUninitialize();
    return result;
}
