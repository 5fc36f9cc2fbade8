// The preset manager dialog: a tree of the banks and presets of the working library, with
// buttons and a context menu to add, update, rename, delete, move, import and export presets.
// Every change is made on a copy taken when the dialog opens: Save writes it to the library
// file, Cancel returns to the library as it was. Double-clicking a preset closes the dialog and
// hands the preset to the editor to apply.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "presets/win/ManagerTree.h"

class CPresetLibrary;
class CPresetManager;

class CManagerDialog {
public:
    explicit CManagerDialog(CPresetManager& manager);
    CManagerDialog(const CManagerDialog&) = delete;
    CManagerDialog& operator=(const CManagerDialog&) = delete;

    // Runs the dialog modally, owned by the editor page. Returns the identifier of the preset
    // to apply, or 0.
    int Run();
    // The open dialog of that window, or null.
    static CManagerDialog* FromWindow(HWND window);
    // After the add-preset dialog added a preset: rebuilds the tree and selects it.
    void OnPresetAdded(int32_t id);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnDestroy();
    void OnCommand(int command);
    // Returns the notification's result.
    LRESULT OnNotify(const NMHDR& header);
    void OnTreeMenu(LPARAM point);
    // What the context menu's choice (0: none) does to the preset selected when it opened.
    void OnTreeMenuCommand(int command, int32_t selectedId);

    void Add();
    void Update();
    void Rename();
    void Delete();
    void Import();
    void Export();
    void Save();
    void Cancel();
    // Escape, the close box and a double-click on a preset (presetId, else 0): asks whether to
    // save when something changed.
    void Leave(int32_t presetId);
    void Close(int result);
    void MovePreset(int32_t id, const char* bank);

    void UpdateButtons();
    void FocusTree();
    int Ask(const std::string& question, UINT buttons);
    void ShowError(const std::string& text);

    CPresetManager& m_manager;
    CPresetLibrary& m_library;
    HWND m_dialog = nullptr;
    HICON m_smallIcon = nullptr;
    CManagerTree m_tree;
    bool m_closed = false;  // Close ran: the editing session was saved or restored
};
