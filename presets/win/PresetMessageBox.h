// The preset code's messages as message boxes with the library's caption.
#pragma once
#include <windows.h>

#include <string>

#include "presets/PresetStore.h"

class CPresetMessageBox : public IPresetMessages {
public:
    void SetCaption(const std::string& caption) { m_caption = caption; }
    // The preset manager dialog while it is open (owner of kManager messages), else null.
    void SetManagerWindow(HWND window) { m_managerWindow = window; }
    HWND ManagerWindow() const { return m_managerWindow; }

    // Error icon and OK.
    void ShowError(PresetMessageOwner owner, const std::string& text) override;
    // Question icon, Yes and No; true for Yes.
    bool AskYesNo(PresetMessageOwner owner, const std::string& text) override;

private:
    HWND Owner(PresetMessageOwner owner) const;

    std::string m_caption;
    HWND m_managerWindow = nullptr;
};
