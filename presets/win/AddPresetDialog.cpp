// The add-preset dialog.
#include "presets/win/AddPresetDialog.h"

#include <memory>
#include <string>
#include <vector>

#include "presets/PresetText.h"
#include "presets/win/AddPresetDialogIds.h"
#include "presets/win/DialogPlacement.h"
#include "presets/win/PresetManager.h"

namespace {

constexpr int kTextChars = 127;

std::string ItemText(HWND dialog, int id) {
    char text[kTextChars + 1] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return NormalisePresetName(text);
}

void FillBanks(HWND dialog, const CPresetLibrary& library) {
    std::vector<const char*> listed;
    for (int32_t i = 0; i < library.Count(); ++i) {
        const char* bank = library.At(i)->bank;
        if (!*bank) continue;
        bool known = false;
        for (const char* seen : listed) known = known || SameBank(seen, bank);
        if (known) continue;
        listed.push_back(bank);
        SendDlgItemMessageA(dialog, IDC_ADD_BANK, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(bank));
    }
}

void ShowError(HWND owner, const CPresetLibrary& library, const char* text) {
    MessageBoxA(owner, text, library.Caption().c_str(), MB_OK | MB_ICONERROR);
}

// Adds the record; false (with the user told why) when nothing was added.
bool AddPreset(HWND dialog, CPresetManager& manager) {
    CPresetLibrary& library = manager.Library();
    const std::string name = ItemText(dialog, IDC_ADD_NAME);
    const std::string bank = ItemText(dialog, IDC_ADD_BANK);
    if (name.empty()) {
        ShowError(dialog, library, "Unable to add preset because no name was specified.");
        return false;
    }
    std::string settings;
    std::unique_ptr<PresetRecord> record;
    if (manager.CurrentSettings(&settings))
        record = NewPresetRecord(name.c_str(), bank.c_str(), settings.c_str());
    if (!record) {
        ShowError(dialog, library, "Unable to add preset because the current settings could not be read.");
        return false;
    }
    PresetRecord* added = record.get();
    // From the presets menu the preset is saved at once (keeping what another editor saved
    // meanwhile); in the manager it waits for the manager's Save.
    const bool inManager = manager.ManagerWindow() != nullptr;
    const CPresetLibrary::AddResult result =
        inManager ? library.AddPreset(std::move(record)) : library.AddPresetAndSave(std::move(record));
    switch (result) {
        case CPresetLibrary::AddResult::kAdded:
            break;
        case CPresetLibrary::AddResult::kSaveFailed:
            // Added and current in the editor; the file is left as it was.
            manager.ShowSaveError(dialog);
            return true;
        case CPresetLibrary::AddResult::kLibraryFull:
            ShowError(dialog, library, "Unable to add preset because the preset library is full.");
            return false;
        case CPresetLibrary::AddResult::kNoData:
        case CPresetLibrary::AddResult::kOutOfMemory:
            ShowError(dialog, library, "Unable to add preset because there is not enough memory.");
            return false;
    }
    if (inManager) {
        library.SetCurrentId(added->id);
        library.SetModified(true);
        manager.OnPresetAddedInManager(added->id);
    }
    return true;
}

INT_PTR OnInitDialog(HWND dialog, LPARAM lParam) {
    auto* manager = reinterpret_cast<CPresetManager*>(lParam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
    const std::string title = "Add " + manager->Library().ProductName() + " preset";
    SetWindowTextA(dialog, title.c_str());
    CentreOverParent(dialog);
    SendDlgItemMessageA(dialog, IDC_ADD_NAME, EM_LIMITTEXT, kTextChars, 0);
    SendDlgItemMessageA(dialog, IDC_ADD_BANK, CB_LIMITTEXT, kTextChars, 0);
    FillBanks(dialog, manager->Library());
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, CPresetManager& manager, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
        if (AddPreset(dialog, manager)) EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:  // the Cancel button and the close box: nothing changes
        EndDialog(dialog, 0);
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK AddPresetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, lParam);
    auto* manager = reinterpret_cast<CPresetManager*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (!manager) return FALSE;
    switch (message) {
    case WM_COMMAND: return OnCommand(dialog, *manager, wParam);
    default: return FALSE;
    }
}

}  // namespace

INT_PTR RunAddPresetDialog(CPresetManager& manager, HWND owner) {
    const INT_PTR result =
        DialogBoxParamA(manager.Instance(), MAKEINTRESOURCEA(IDD_ADD_PRESET), owner, AddPresetProc,
                        reinterpret_cast<LPARAM>(&manager));
    return result == 1 ? 1 : 0;
}
