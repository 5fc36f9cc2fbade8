// CPresetManager's presets menu: the presets grouped by bank with the current one marked,
// choosing a preset, and storing the current settings into the current preset.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "presets/PresetText.h"
#include "presets/win/PresetManager.h"
#include "presets/win/PresetsMenu.h"

namespace {

void AppendPreset(HMENU menu, const PresetRecord& record, bool current) {
    const std::string label = MenuText(record.name);
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(record.id), label.c_str());
    if (!current) return;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STATE;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    item.fState = MFS_CHECKED;
    SetMenuItemInfoA(menu, static_cast<UINT>(record.id), FALSE, &item);
}

}  // namespace

void CPresetManager::BuildPresetsMenu(HMENU menu) {
    const int32_t currentId = m_library.CurrentId();
    const PresetRecord* current = currentId >= 0 ? m_library.FindById(currentId) : nullptr;
    if (current) {
        const std::string text = UpdateItemText(current->name);
        InsertMenuA(menu, 1, MF_BYPOSITION | MF_STRING, kUpdatePresetCommand, text.c_str());
    }
    if (m_library.Count() > 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);

    // One submenu per bank, however its records spell it, labelled as the first one does.
    // Banks are kept apart from the menu's own items: a bank may be called anything,
    // "Add Preset..." included.
    std::vector<std::pair<const char*, HMENU>> banks;
    for (int32_t i = 0; i < m_library.Count(); ++i) {
        const PresetRecord& record = *m_library.At(i);
        HMENU holder = menu;
        if (record.HasBank()) {
            holder = nullptr;
            for (const auto& bank : banks)
                if (SameBank(bank.first, record.bank)) holder = bank.second;
            if (!holder) {
                holder = CreatePopupMenu();
                if (!holder) continue;
                const std::string label = MenuText(record.bank);
                AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(holder), label.c_str());
                banks.emplace_back(record.bank, holder);
            }
        }
        AppendPreset(holder, record, &record == current);
    }
}

const char* CPresetManager::SelectPreset(int id) {
    if (id == kUpdatePresetCommand) {
        UpdateCurrentPreset();
        return nullptr;
    }
    PresetRecord* record = m_library.FindById(id);
    if (!record) return nullptr;
    m_library.SetCurrentId(id);
    return record->data.c_str();
}

void CPresetManager::UpdateCurrentPreset() {
    const PresetRecord* record = m_library.FindById(m_library.CurrentId());
    if (!record) return;
    if (MessageBoxA(m_ownerWindow, UpdateQuestionText(record->name).c_str(),
                    m_library.Caption().c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The new text comes first: a preset never loses its settings to a failed request.
    std::string settings;
    if (!CurrentSettings(&settings)) return;
    // Another editor's changes to the file since it was read are kept.
    if (m_library.UpdatePresetAndSave(record->id, settings.c_str()) ==
        CPresetLibrary::UpdateResult::kSaveFailed)
        ShowSaveError(m_ownerWindow);
}

void CPresetManager::ShowSaveError(HWND owner) const {
    MessageBoxA(owner, m_library.SaveErrorText().c_str(), m_library.Caption().c_str(),
                MB_OK | MB_ICONERROR);
}

bool CPresetManager::CurrentSettings(std::string* text) const {
    char* answer = nullptr;
    SendMessageA(m_ownerWindow, kPresetGetSettingsMessage, reinterpret_cast<WPARAM>(&answer), 0);
    if (!answer) return false;
    std::unique_ptr<char[]> owned(answer);
    *text = owned.get();
    return true;
}
