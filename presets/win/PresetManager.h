// CPresetManager: the editor page's preset library on the platform: the private-profile
// store, message boxes, and the library file found through the registry. Created when the
// editor window opens and destroyed with it; editor window thread only.
#pragma once
#include <windows.h>

#include <string>

#include "presets/PresetLibrary.h"
#include "presets/win/PresetMessageBox.h"
#include "presets/win/PrivateProfileStore.h"

class CPresetManager {
public:
    // owner: the editor page window; instance: source of the preset dialogs' resources.
    CPresetManager(HINSTANCE instance, HWND owner, const char* productName);
    // Leaves the library's unsaved presets to the process's next editor of the file.
    ~CPresetManager();
    CPresetManager(const CPresetManager&) = delete;
    CPresetManager& operator=(const CPresetManager&) = delete;

    CPresetLibrary& Library() { return m_library; }
    const CPresetLibrary& Library() const { return m_library; }
    HINSTANCE Instance() const { return m_instance; }
    HWND OwnerWindow() const { return m_ownerWindow; }
    // The open preset manager dialog, which owns the import questions; null when closed.
    void SetManagerWindow(HWND window) { m_messages.SetManagerWindow(window); }
    HWND ManagerWindow() const { return m_messages.ManagerWindow(); }

    // The presets menu (PresetsMenu.cpp). Inserts the update item and appends the presets,
    // banked ones in submenus, to a popup that holds "Add Preset..." and "Preset Manager...".
    void BuildPresetsMenu(HMENU menu);
    // For the update command, runs UpdateCurrentPreset and returns null; for a preset's id,
    // makes it current and returns its data text (owned by the record); null for other ids.
    const char* SelectPreset(int id);
    // Asks, then stores the editor's current settings into the current preset and saves.
    void UpdateCurrentPreset();
    // The editor page's current settings as a preset data text; false when the page gave none.
    bool CurrentSettings(std::string* text) const;
    // Tells the user, in a box owned by owner, why the last save of the library failed.
    void ShowSaveError(HWND owner) const;
    // How many files the import and export dialogs have delivered while this editor window is
    // open: until the first, each starts in the library file's folder; after it, the system
    // remembers where the user went.
    int& ImportsDelivered() { return m_importsDelivered; }
    int& ExportsDelivered() { return m_exportsDelivered; }

    // The preset manager dialog (ManagerDialog.cpp), owned by the editor page. Returns the id
    // of a preset the user double-clicked to apply, or 0.
    int RunManagerDialog();
    // Called by the add-preset dialog after it added a record while the manager is open:
    // rebuilds the manager's tree and selects the new preset.
    void OnPresetAddedInManager(int id);

    // Finds the library file from the class key's registry entries and loads it, with the
    // presets whose save failed in the process's editors closed since.
    void LoadPresetLibrary(const char* classKey, const char* fileName);
    // The page's current preset when it takes up the plug-in object plugin, which kept keptId
    // (GetPresetId): the preset it had current, found by name, bank and data.
    void RestoreCurrentPreset(const void* plugin, int keptId);
    // When the page closes or lets go of plugin: the identifier for the plug-in object to keep
    // (SetPresetId), with the current preset remembered for RestoreCurrentPreset.
    int KeepCurrentPreset(const void* plugin);
    // Rewrites the library file from the working library. False when nothing was written
    // (no library file, a refused or changed file, a failed write): the caller shows
    // Library().SaveErrorText() with the library's caption.
    bool SaveLibrary();

private:
    // Declared before the library, which keeps references to them.
    CPrivateProfileStore m_store;
    CPresetMessageBox m_messages;
    CPresetLibrary m_library;
    HINSTANCE m_instance;
    HWND m_ownerWindow;
    int m_importsDelivered = 0;
    int m_exportsDelivered = 0;
};
