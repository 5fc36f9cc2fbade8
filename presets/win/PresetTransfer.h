// The preset manager's import and export: the system's open and save dialogs, and moving
// presets between the working library and other preset files.
#pragma once
#include <windows.h>

#include <string>

class CPresetManager;
struct PresetRecord;

// What the user is asked to choose a file for.
struct PresetFileRequest {
    bool save = false;  // the save dialog (export), else the open dialog (import)
    std::string title;
    std::string fileName;       // the name proposed (export)
    std::string initialFolder;  // empty: the system chooses the folder
};

enum class PresetFileChoice { kChosen, kCancelled, kFailed };

// Shows the dialog for request, owned by owner, and stores the chosen path.
using PresetFileChooser = PresetFileChoice (*)(HWND owner, const PresetFileRequest& request,
                                               std::string* path);
// Replaces the chooser (tests give the file name without a dialog); null restores the system's
// dialogs. Returns the chooser that was in use.
PresetFileChooser SetPresetFileChooser(PresetFileChooser chooser);

// Import: asks for a file and appends its presets to the working library, each duplicate only
// when the user agrees; tells the user about files without our presets and about a read cut
// short. True when at least one preset was added. The open manager dialog owns every message.
bool ImportPresets(CPresetManager& manager, HWND dialog);

// What an export writes: the whole library, one bank, or one preset.
enum class ExportScope { kAll, kBank, kPreset };

// Export: proposes a file name from the scope ("tw_Phase.ini" for all, else the bank's or the
// preset's name), asks for the file and writes the chosen presets from the working library,
// unsaved changes included, replacing the file's old presets. bank names the bank (kBank);
// preset is the one preset (kPreset). Failures are told the user. The library is unchanged.
void ExportPresets(CPresetManager& manager, HWND dialog, ExportScope scope, const std::string& bank,
                   const PresetRecord* preset);

// Saves the whole working library into path (the library file, or an export of all). When path
// is the library file and another editor changed it since it was read, asks before overwriting.
// A failure is told the user. True when the file was written.
bool SaveWholeLibrary(CPresetManager& manager, HWND dialog, const std::string& path);
