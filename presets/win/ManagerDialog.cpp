// The preset manager dialog: opening on a copy of the library, the commands, the context menu
// with its "Move Preset" submenu, and the ways out (Save, Cancel, Escape, double-click).
#include "presets/win/ManagerDialog.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "presets/PresetLibrary.h"
#include "presets/PresetText.h"
#include "presets/win/AddPresetDialog.h"
#include "presets/win/DialogPlacement.h"
#include "presets/win/NameDialogs.h"
#include "presets/win/PresetDialogIds.h"
#include "presets/win/PresetManager.h"
#include "presets/win/PresetTransfer.h"

CManagerDialog::CManagerDialog(CPresetManager& manager)
    : m_manager(manager), m_library(manager.Library()) {}

int CManagerDialog::Run() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const INT_PTR result =
        DialogBoxParamA(m_manager.Instance(), MAKEINTRESOURCEA(IDD_PRESET_MANAGER),
                        m_manager.OwnerWindow(), DialogProc, reinterpret_cast<LPARAM>(this));
    return result > 0 ? static_cast<int>(result) : 0;
}

CManagerDialog* CManagerDialog::FromWindow(HWND window) {
    return window ? reinterpret_cast<CManagerDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA))
                  : nullptr;
}

INT_PTR CALLBACK CManagerDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CManagerDialog*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        self->m_dialog = dialog;
        self->OnInitDialog();
        return FALSE;  // the focus is on the tree
    }
    CManagerDialog* self = FromWindow(dialog);
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CManagerDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            SetWindowLongPtrA(m_dialog, DWLP_MSGRESULT,
                              OnNotify(*reinterpret_cast<const NMHDR*>(lParam)));
            return TRUE;
        case kPresetTreeMenuMessage:
            OnTreeMenu(lParam);
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

void CManagerDialog::OnInitDialog() {
    m_manager.SetManagerWindow(m_dialog);
    if (!m_library.BeginEditing())
        ShowError("Failed to create backup preset list, changes can not be cancelled!");

    const std::string title = m_library.ProductName() + " Preset Manager";
    SetWindowTextA(m_dialog, title.c_str());
    m_smallIcon = static_cast<HICON>(
        LoadImageA(m_manager.Instance(), MAKEINTRESOURCEA(IDI_PRESET_MANAGER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (m_smallIcon)
        SendMessageA(m_dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    CentreOverParent(m_dialog);

    m_tree.Attach(GetDlgItem(m_dialog, IDC_MANAGER_TREE), m_manager.Instance());
    m_tree.Fill(m_library);
    if (m_library.CurrentId() >= 0) m_tree.SelectPreset(m_library.CurrentId());
    UpdateButtons();
    FocusTree();
}

void CManagerDialog::OnDestroy() {
    // Closed some other way than through Close (its owner went): nothing was saved.
    if (!m_closed) m_library.RestoreBackup();
    m_tree.Detach();
    if (m_smallIcon) DestroyIcon(m_smallIcon);
    m_smallIcon = nullptr;
    m_manager.SetManagerWindow(nullptr);
    SetWindowLongPtrA(m_dialog, GWLP_USERDATA, 0);
}

void CManagerDialog::OnCommand(int command) {
    switch (command) {
        case IDC_MANAGER_ADD:
            Add();
            break;
        case IDC_MANAGER_UPDATE:
            Update();
            break;
        case IDC_MANAGER_RENAME:
            Rename();
            break;
        case IDC_MANAGER_DELETE:
            Delete();
            break;
        case IDC_MANAGER_IMPORT:
            Import();
            break;
        case IDC_MANAGER_EXPORT:
            Export();
            break;
        case IDOK:
            Save();
            break;
        case IDC_MANAGER_CANCEL:
            Cancel();
            break;
        case IDCANCEL:  // Escape and the close box
            Leave(0);
            break;
        default:
            break;
    }
}

LRESULT CManagerDialog::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != m_tree.Window()) return 0;
    switch (header.code) {
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW:
            UpdateButtons();
            return 0;
        case TVN_KEYDOWN:
            if (reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey == VK_DELETE &&
                m_library.Count() > 0)
                PostMessageA(m_dialog, WM_COMMAND, IDC_MANAGER_DELETE, 0);
            return 0;
        case NM_DBLCLK:
            // A preset is applied; the root and banks open or close as usual.
            if (const PresetRecord* record = m_tree.SelectedPreset(m_library)) {
                Leave(record->id);
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}

void CManagerDialog::OnPresetAdded(int32_t id) {
    m_tree.Fill(m_library);
    m_tree.SelectPreset(id);
    UpdateButtons();
}

void CManagerDialog::UpdateButtons() {
    const bool any = m_library.Count() > 0;
    const CManagerTree::Kind kind = m_tree.SelectedKind();
    const bool preset = kind == CManagerTree::Kind::kPreset;
    EnableWindow(GetDlgItem(m_dialog, IDC_MANAGER_UPDATE), any && preset);
    EnableWindow(GetDlgItem(m_dialog, IDC_MANAGER_RENAME),
                 any && (preset || kind == CManagerTree::Kind::kBank));
    EnableWindow(GetDlgItem(m_dialog, IDC_MANAGER_DELETE), any);
    EnableWindow(GetDlgItem(m_dialog, IDC_MANAGER_EXPORT), any);
}

void CManagerDialog::FocusTree() {
    SendMessageA(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_tree.Window()), TRUE);
}

int CManagerDialog::Ask(const std::string& question, UINT buttons) {
    return MessageBoxA(m_dialog, question.c_str(), m_library.Caption().c_str(),
                       buttons | MB_ICONQUESTION);
}

void CManagerDialog::ShowError(const std::string& text) {
    MessageBoxA(m_dialog, text.c_str(), m_library.Caption().c_str(), MB_OK | MB_ICONERROR);
}

void CManagerDialog::Add() {
    // The add dialog appends the preset, makes it current, marks the library modified and
    // has the tree rebuilt around it (OnPresetAdded).
    RunAddPresetDialog(m_manager, m_dialog);
    UpdateButtons();
    FocusTree();
}

void CManagerDialog::Update() {
    PresetRecord* record = m_tree.SelectedPreset(m_library);
    if (!record || Ask(UpdateQuestionText(record->name), MB_YESNO) != IDYES) return;
    // The new settings are obtained before the old ones go; the version is kept.
    std::string settings;
    if (!m_manager.CurrentSettings(&settings) || !record->ReplaceData(settings.c_str())) {
        ShowError("Unable to update preset because the current settings could not be read.");
        return;
    }
    m_library.SetModified(true);
}

void CManagerDialog::Rename() {
    const CManagerTree::Kind kind = m_tree.SelectedKind();
    std::string name;
    if (kind == CManagerTree::Kind::kBank) {
        const std::string bank = m_tree.SelectedBank(m_library);
        if (!RunRenameDialog(m_manager.Instance(), m_dialog, m_library, true, bank, &name)) {
            FocusTree();
            return;
        }
        // A new spelling of the bank is taken as typed; the name of another bank merges the
        // two under that bank's spelling.
        if (!SameBank(name.c_str(), bank.c_str())) name = m_library.BankSpelling(name.c_str());
        for (int32_t i = 0; i < m_library.Count(); ++i)
            if (SameBank(m_library.At(i)->bank, bank.c_str()))
                m_library.At(i)->SetBank(name.c_str());
        m_tree.Fill(m_library);
    } else if (PresetRecord* record = m_tree.SelectedPreset(m_library)) {
        const int32_t id = record->id;
        if (!RunRenameDialog(m_manager.Instance(), m_dialog, m_library, false, record->name,
                             &name)) {
            FocusTree();
            return;
        }
        record->SetName(name.c_str());
        m_tree.Fill(m_library);
        m_tree.SelectPreset(id);
    } else {
        return;
    }
    m_library.SetModified(true);
    UpdateButtons();
    FocusTree();
}

void CManagerDialog::Delete() {
    const std::string& product = m_library.ProductName();
    switch (m_tree.SelectedKind()) {
        case CManagerTree::Kind::kRoot:
            if (Ask("Are you sure you want to delete ALL the " + product + " banks and presets?",
                    MB_YESNO) != IDYES)
                return;
            m_library.DeleteAllPresets();
            m_library.SetModified(true);
            m_tree.Fill(m_library);
            break;
        case CManagerTree::Kind::kBank: {
            const std::string bank = m_tree.SelectedBank(m_library);
            if (Ask("Do you want to delete the " + product + " preset bank \"" + bank +
                        "\"?\nAll presets contained in this bank will be lost.",
                    MB_YESNO) != IDYES)
                return;
            for (int32_t i = 0; i < m_library.Count();) {
                if (SameBank(m_library.At(i)->bank, bank.c_str()))
                    m_library.DeletePreset(m_library.At(i));
                else
                    ++i;
            }
            m_library.SetModified(true);
            m_tree.Fill(m_library);
            m_tree.SelectRoot();
            break;
        }
        case CManagerTree::Kind::kPreset: {
            PresetRecord* record = m_tree.SelectedPreset(m_library);
            if (!record || Ask("Do you want to delete the " + product + " preset \"" +
                                   std::string(record->name) + "\"?",
                               MB_YESNO) != IDYES)
                return;
            HTREEITEM item = m_tree.Selected();
            const bool hasNext = TreeView_GetNextSibling(m_tree.Window(), item) != nullptr;
            m_library.DeletePreset(record);  // no longer current, if it was
            m_library.SetModified(true);
            // The last item under its parent may leave an empty bank: rebuild then.
            if (hasNext)
                m_tree.DeleteItem(item);
            else
                m_tree.Fill(m_library);
            FocusTree();
            break;
        }
        case CManagerTree::Kind::kNothing:
            return;
    }
    UpdateButtons();
}

void CManagerDialog::Import() {
    if (!ImportPresets(m_manager, m_dialog)) return;
    m_library.SetModified(true);
    m_tree.Fill(m_library);
    UpdateButtons();
}

void CManagerDialog::Export() {
    switch (m_tree.SelectedKind()) {
        case CManagerTree::Kind::kRoot:
            ExportPresets(m_manager, m_dialog, ExportScope::kAll, std::string(), nullptr);
            break;
        case CManagerTree::Kind::kBank:
            ExportPresets(m_manager, m_dialog, ExportScope::kBank, m_tree.SelectedBank(m_library),
                          nullptr);
            break;
        case CManagerTree::Kind::kPreset:
            ExportPresets(m_manager, m_dialog, ExportScope::kPreset, std::string(),
                          m_tree.SelectedPreset(m_library));
            break;
        case CManagerTree::Kind::kNothing:
            break;
    }
}

void CManagerDialog::Save() {
    // A failed save keeps the dialog, and the edits, open; the user has been told why.
    if (!SaveWholeLibrary(m_manager, m_dialog, m_library.PresetFilePath())) return;
    m_library.EndEditing();
    Close(0);
}

void CManagerDialog::Cancel() {
    m_library.RestoreBackup();
    Close(0);
}

void CManagerDialog::Leave(int32_t presetId) {
    if (!m_library.Modified()) {
        m_library.EndEditing();
        Close(presetId);
        return;
    }
    switch (Ask("Save changes before exiting the Preset Manager?", MB_YESNOCANCEL)) {
        case IDYES:
            if (!SaveWholeLibrary(m_manager, m_dialog, m_library.PresetFilePath())) return;
            m_library.EndEditing();
            Close(presetId);
            return;
        case IDNO: {
            // The restored library may hold another preset under that identifier, or none. The
            // identifier goes back only while it names the same preset: the same name in the
            // same bank (its changes undone), or the same settings.
            const PresetRecord* chosen = m_library.FindById(presetId);
            const PresetRecord before = chosen ? *chosen : PresetRecord();
            m_library.RestoreBackup();
            const PresetRecord* restored = chosen ? m_library.FindById(presetId) : nullptr;
            const bool same = restored && ((std::strcmp(restored->name, before.name) == 0 &&
                                            std::strcmp(restored->bank, before.bank) == 0) ||
                                           restored->data == before.data);
            Close(same ? presetId : 0);
            return;
        }
        default:  // Cancel: stay
            return;
    }
}

void CManagerDialog::Close(int result) {
    m_closed = true;
    EndDialog(m_dialog, result);
}

void CManagerDialog::MovePreset(int32_t id, const char* bank) {
    PresetRecord* record = m_library.FindById(id);
    if (!record) return;
    // A new bank typed as an existing one joins it under its spelling.
    record->SetBank(m_library.BankSpelling(bank).c_str());
    m_tree.Fill(m_library);
    m_tree.SelectPreset(id);
    m_library.SetModified(true);
    UpdateButtons();
}

namespace {

// "Move Preset": to the root, to a new bank, or to each other bank once, the bank item carrying
// the identifier of the bank's first preset.
void AppendMoveMenu(HMENU menu, const CPresetLibrary& library, const PresetRecord& selected) {
    HMENU move = CreatePopupMenu();
    if (!move) return;
    if (selected.HasBank()) AppendMenuA(move, MF_STRING, IDM_MOVE_TO_ROOT, "to Root");
    AppendMenuA(move, MF_STRING, IDM_MOVE_TO_NEW_BANK, "to New Bank...");
    bool first = true;
    for (int32_t i = 0; i < library.Count(); ++i) {
        const PresetRecord& record = *library.At(i);
        if (!record.HasBank() || SameBank(record.bank, selected.bank)) continue;
        bool seen = false;
        for (int32_t j = 0; j < i && !seen; ++j) seen = SameBank(library.At(j)->bank, record.bank);
        if (seen) continue;
        if (first) AppendMenuA(move, MF_SEPARATOR, 0, nullptr);
        first = false;
        AppendMenuA(move, MF_STRING, static_cast<UINT_PTR>(record.id),
                    MenuText(record.bank).c_str());
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(move), "Move Preset");
}

}  // namespace

void CManagerDialog::OnTreeMenu(LPARAM point) {
    HMENU resource = LoadMenuA(m_manager.Instance(), MAKEINTRESOURCEA(IDR_MANAGER_MENU));
    HMENU menu = resource ? GetSubMenu(resource, 0) : nullptr;
    if (!menu) {
        if (resource) DestroyMenu(resource);
        return;
    }
    const CManagerTree::Kind kind = m_tree.SelectedKind();
    const PresetRecord* selected = m_tree.SelectedPreset(m_library);
    if (!selected) EnableMenuItem(menu, IDC_MANAGER_UPDATE, MF_BYCOMMAND | MF_GRAYED);
    if (m_library.Count() == 0) EnableMenuItem(menu, IDC_MANAGER_DELETE, MF_BYCOMMAND | MF_GRAYED);
    if (!selected && kind != CManagerTree::Kind::kBank)
        EnableMenuItem(menu, IDC_MANAGER_RENAME, MF_BYCOMMAND | MF_GRAYED);
    if (selected) AppendMoveMenu(menu, m_library, *selected);

    POINT at = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    ClientToScreen(m_tree.Window(), &at);
    const int32_t selectedId = selected ? selected->id : CPresetLibrary::kNoPreset;
    const int command = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x,
                       at.y, 0, m_dialog, nullptr));
    DestroyMenu(resource);  // with the submenu
    OnTreeMenuCommand(command, selectedId);
}

void CManagerDialog::OnTreeMenuCommand(int command, int32_t selectedId) {
    switch (command) {
        case 0:
            return;
        case IDC_MANAGER_ADD:
        case IDC_MANAGER_UPDATE:
        case IDC_MANAGER_RENAME:
        case IDC_MANAGER_DELETE:
            OnCommand(command);
            return;
        case IDM_MOVE_TO_ROOT:
            MovePreset(selectedId, "");
            return;
        case IDM_MOVE_TO_NEW_BANK: {
            const PresetRecord* record = m_library.FindById(selectedId);
            std::string bank;
            if (record &&
                RunNewBankDialog(m_manager.Instance(), m_dialog, m_library, record->name, &bank))
                MovePreset(selectedId, bank.c_str());
            FocusTree();
            return;
        }
        default:
            // A bank item: the preset joins the bank of the record with that identifier.
            if (const PresetRecord* target = m_library.FindById(command)) {
                const std::string bank = target->bank;
                MovePreset(selectedId, bank.c_str());
            }
            return;
    }
}

int CPresetManager::RunManagerDialog() {
    if (ManagerWindow()) return 0;
    m_library.SetModified(false);
    CManagerDialog dialog(*this);
    return dialog.Run();
}

void CPresetManager::OnPresetAddedInManager(int id) {
    if (CManagerDialog* dialog = CManagerDialog::FromWindow(ManagerWindow()))
        dialog->OnPresetAdded(id);
}
