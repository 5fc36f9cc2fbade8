// CPresetMessageBox: MessageBoxA with the preset caption and the right owner window.
#include "presets/win/PresetMessageBox.h"

HWND CPresetMessageBox::Owner(PresetMessageOwner owner) const {
    return owner == PresetMessageOwner::kManager ? m_managerWindow : nullptr;
}

void CPresetMessageBox::ShowError(PresetMessageOwner owner, const std::string& text) {
    MessageBoxA(Owner(owner), text.c_str(), m_caption.c_str(), MB_OK | MB_ICONERROR);
}

bool CPresetMessageBox::AskYesNo(PresetMessageOwner owner, const std::string& text) {
    return MessageBoxA(Owner(owner), text.c_str(), m_caption.c_str(), MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}
