// The rename and new-bank dialogs: one name field each, read through NormalisePresetName.
#include "presets/win/NameDialogs.h"

#include "presets/PresetLibrary.h"
#include "presets/PresetText.h"
#include "presets/win/DialogPlacement.h"
#include "presets/win/PresetDialogIds.h"

namespace {

struct NameDialog {
    int fieldId;
    std::string title;
    std::string initial;
    const char* emptyMessage;
    const std::string* caption;
    std::string name;  // the accepted name
};

INT_PTR OnInitDialog(HWND dialog, LPARAM lParam) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
    const auto* setup = reinterpret_cast<const NameDialog*>(lParam);
    SetWindowTextA(dialog, setup->title.c_str());
    CentreOverParent(dialog);
    HWND field = GetDlgItem(dialog, setup->fieldId);
    SendMessageA(field, EM_LIMITTEXT, PresetRecord::kTextChars - 1, 0);
    SetWindowTextA(field, setup->initial.c_str());
    SendMessageA(field, EM_SETSEL, 0, -1);
    SetFocus(field);
    return FALSE;  // the focus is set
}

// OK takes the normalised name; an empty one is refused with a message and the dialog stays.
INT_PTR OnOk(HWND dialog, NameDialog& setup) {
    char text[PresetRecord::kTextChars] = {};
    GetDlgItemTextA(dialog, setup.fieldId, text, sizeof text);
    setup.name = NormalisePresetName(text);
    if (setup.name.empty()) {
        MessageBoxA(dialog, setup.emptyMessage, setup.caption->c_str(), MB_OK | MB_ICONERROR);
        SetFocus(GetDlgItem(dialog, setup.fieldId));
        return TRUE;
    }
    EndDialog(dialog, IDOK);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, NameDialog& setup, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK: return OnOk(dialog, setup);
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;  // Cancel and the close box
    default: return FALSE;
    }
}

INT_PTR CALLBACK NameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, lParam);
    auto* setup = reinterpret_cast<NameDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (!setup) return FALSE;
    switch (message) {
    case WM_COMMAND: return OnCommand(dialog, *setup, wParam);
    default: return FALSE;
    }
}

bool Run(HINSTANCE instance, HWND owner, int templateId, NameDialog& setup, std::string* name) {
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner,
                                           NameDialogProc, reinterpret_cast<LPARAM>(&setup));
    if (result != IDOK) return false;
    *name = setup.name;
    return true;
}

}  // namespace

bool RunRenameDialog(HINSTANCE instance, HWND owner, const CPresetLibrary& library, bool bank,
                     const std::string& current, std::string* name) {
    NameDialog setup = {IDC_RENAME_NAME,
                        "Rename " + library.ProductName() + (bank ? " bank" : " preset"),
                        current,
                        "Unable to rename preset because you did not specify any name.",
                        &library.Caption(),
                        {}};
    return Run(instance, owner, IDD_RENAME_PRESET, setup, name);
}

bool RunNewBankDialog(HINSTANCE instance, HWND owner, const CPresetLibrary& library,
                      const std::string& presetName, std::string* bank) {
    NameDialog setup = {IDC_NEW_BANK_NAME,
                        "Move preset \"" + presetName + "\" to new bank",
                        {},
                        "Unable to move preset to new bank because no bank name was specified.",
                        &library.Caption(),
                        {}};
    return Run(instance, owner, IDD_NEW_BANK, setup, bank);
}
