// CPresetManager: the editor page's preset library on the platform: the private-profile
// store, message boxes, and the library file found through the registry. Created when the
// editor window opens and destroyed with it; editor window thread only.
#pragma once
#include <windows.h>

#include "presets/PresetLibrary.h"
#include "presets/win/PresetMessageBox.h"
#include "presets/win/PrivateProfileStore.h"

class CPresetManager {
public:
    // owner: the editor page window; instance: source of the preset dialogs' resources.
    CPresetManager(HINSTANCE instance, HWND owner, const char* productName);

    CPresetLibrary& Library() { return m_library; }
    const CPresetLibrary& Library() const { return m_library; }
    HINSTANCE Instance() const { return m_instance; }
    HWND OwnerWindow() const { return m_ownerWindow; }
    // The open preset manager dialog, which owns the import questions; null when closed.
    void SetManagerWindow(HWND window) { m_messages.SetManagerWindow(window); }
    HWND ManagerWindow() const { return m_messages.ManagerWindow(); }

    // Finds the library file from the class key's registry entries and loads it.
    void LoadPresetLibrary(const char* classKey, const char* fileName);
    // Rewrites the library file, if there is one, from the working library.
    void SaveLibrary();

private:
    // Declared before the library, which keeps references to them.
    CPrivateProfileStore m_store;
    CPresetMessageBox m_messages;
    CPresetLibrary m_library;
    HINSTANCE m_instance;
    HWND m_ownerWindow;
};
