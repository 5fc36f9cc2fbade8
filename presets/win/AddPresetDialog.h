// The add-preset dialog: a name and a bank for the current settings, from the presets menu
// (owner: the editor page) or from the preset manager (owner: the manager dialog).
#pragma once
#include <windows.h>

class CPresetManager;

// Runs the dialog modally. On "Add" with a name, appends a record with the editor's current
// settings to the working library, makes it current, marks the library modified and, while the
// manager dialog is open, rebuilds its tree with the new preset selected. Returns 1 when a
// preset was added, 0 when nothing was (Cancel, the close box, or no settings to store).
INT_PTR RunAddPresetDialog(CPresetManager& manager, HWND owner);
