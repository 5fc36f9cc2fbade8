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

    CPresetLibrary& Library() { return library_; }
    const CPresetLibrary& Library() const { return library_; }
    HINSTANCE Instance() const { return instance_; }
    HWND OwnerWindow() const { return ownerWindow_; }
    // The open preset manager dialog, which owns the import questions; null when closed.
    void SetManagerWindow(HWND window) { messages_.SetManagerWindow(window); }
    HWND ManagerWindow() const { return messages_.ManagerWindow(); }

    // Finds the library file from the class key's registry entries and loads it.
    void LoadPresetLibrary(const char* classKey, const char* fileName);
    // Rewrites the library file, if there is one, from the working library.
    void SaveLibrary();

private:
    // Declared before the library, which keeps references to them.
    CPrivateProfileStore store_;
    CPresetMessageBox messages_;
    CPresetLibrary library_;
    HINSTANCE instance_;
    HWND ownerWindow_;
};
