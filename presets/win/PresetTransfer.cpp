// Import and export of preset files through the system's file dialogs.
#include "presets/win/PresetTransfer.h"

#include <commdlg.h>

#include <cstring>
#include <vector>

#include "presets/PresetLibrary.h"
#include "presets/PresetText.h"
#include "presets/win/PresetManager.h"

namespace {

constexpr char kFilter[] = "Preset Files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0";

PresetFileChoice SystemFileChooser(HWND owner, const PresetFileRequest& request,
                                   std::string* path) {
    char file[MAX_PATH] = {};
    strncpy(file, request.fileName.c_str(), sizeof file - 1);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrTitle = request.title.c_str();
    dialog.lpstrInitialDir =
        request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
    // No default extension: a name typed without one is used as typed.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (request.save) dialog.Flags |= OFN_OVERWRITEPROMPT;
    const BOOL chosen = request.save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
    if (chosen) {
        *path = file;
        return PresetFileChoice::kChosen;
    }
    return CommDlgExtendedError() == 0 ? PresetFileChoice::kCancelled : PresetFileChoice::kFailed;
}

PresetFileChooser g_chooser = SystemFileChooser;

std::string StartFolder(const CPresetManager& manager, int delivered) {
    const std::string& path = manager.Library().PresetFilePath();
    const size_t slash = path.find_last_of("\\/");
    if (delivered > 0 || slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

void ShowError(const CPresetManager& manager, HWND dialog, const std::string& text) {
    MessageBoxA(dialog, text.c_str(), manager.Library().Caption().c_str(), MB_OK | MB_ICONERROR);
}

// Runs the chooser; false (after telling the user when the dialog failed) without a path.
bool ChooseFile(CPresetManager& manager, HWND dialog, const PresetFileRequest& request,
                std::string* path) {
    switch (g_chooser(dialog, request, path)) {
        case PresetFileChoice::kChosen:
            return true;
        case PresetFileChoice::kFailed:
            ShowError(manager, dialog, "Unable to open file dialog.");
            return false;
        case PresetFileChoice::kCancelled:
            break;
    }
    return false;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

PresetFileChooser SetPresetFileChooser(PresetFileChooser chooser) {
    PresetFileChooser previous = g_chooser;
    g_chooser = chooser ? chooser : SystemFileChooser;
    return previous;
}

bool ImportPresets(CPresetManager& manager, HWND dialog) {
    CPresetLibrary& library = manager.Library();
    PresetFileRequest request;
    request.title = "Import Preset(s)";
    request.initialFolder = StartFolder(manager, manager.ImportsDelivered());
    std::string path;
    if (!ChooseFile(manager, dialog, request, &path)) return false;
    ++manager.ImportsDelivered();
    if (path.empty() || library.ClassKey().empty()) return false;

    switch (library.CheckPresetFile(path, true)) {
        case CPresetLibrary::FileCheck::kNoPresetData:
            ShowError(manager, dialog,
                      "The file you selected does not contain Quillmoor Corvane:tw plug-in preset "
                      "data.");
            return false;
        case CPresetLibrary::FileCheck::kForeign:
            ShowError(manager, dialog,
                      "The preset file you are trying to import does not contain data for this "
                      "plug-in.");
            return false;
        case CPresetLibrary::FileCheck::kAccepted:
            break;
    }
    const CPresetLibrary::ReadSummary summary = library.ReadPresets(path, true);
    if (summary.stop != CPresetLibrary::ReadStop::kEnd)
        ShowError(manager, dialog, library.ReadStopText(path, summary));
    return summary.added > 0;
}

bool SaveWholeLibrary(CPresetManager& manager, HWND dialog, const std::string& path) {
    CPresetLibrary& library = manager.Library();
    const char* classKey = library.ClassKey().c_str();
    if (library.SaveLibrary(classKey, path)) return true;
    if (library.LastSaveError() == CPresetLibrary::SaveError::kFileChanged) {
        const int answer = MessageBoxA(dialog, library.OverwriteQuestionText().c_str(),
                                       library.Caption().c_str(), MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES) return false;
        if (library.SaveLibrary(classKey, path, true)) return true;
    }
    ShowError(manager, dialog, library.SaveErrorText());
    return false;
}

void ExportPresets(CPresetManager& manager, HWND dialog, ExportScope scope, const std::string& bank,
                   const PresetRecord* preset) {
    CPresetLibrary& library = manager.Library();
    PresetFileRequest request;
    request.save = true;
    switch (scope) {
        case ExportScope::kAll:
            request.title = "Export all presets";
            request.fileName = ExportFileName(library.ProductName());
            break;
        case ExportScope::kBank:
            request.title = "Export preset bank";
            request.fileName = ExportFileName(bank);
            break;
        case ExportScope::kPreset:
            if (!preset) return;
            request.title = "Export preset";
            request.fileName = ExportFileName(preset->name);
            break;
    }
    request.initialFolder = StartFolder(manager, manager.ExportsDelivered());
    std::string path;
    if (!ChooseFile(manager, dialog, request, &path)) return;
    ++manager.ExportsDelivered();
    if (path.empty()) return;
    // A device name typed by the user would send the presets to the device, not to a file.
    if (IsReservedDeviceName(FileNameOf(path))) {
        ShowError(manager, dialog,
                  "Unable to export the presets to \"" + path +
                      "\" because that name is reserved for a device.");
        return;
    }

    if (scope == ExportScope::kAll) {
        SaveWholeLibrary(manager, dialog, path);
        return;
    }
    std::vector<const PresetRecord*> records;
    if (scope == ExportScope::kPreset) {
        records.push_back(preset);
    } else {
        for (int32_t i = 0; i < library.Count(); ++i)
            if (SameBank(library.At(i)->bank, bank.c_str())) records.push_back(library.At(i));
    }
    if (!library.WritePresetFile(library.ClassKey().c_str(), path, records))
        ShowError(manager, dialog, library.SaveErrorText());
}
