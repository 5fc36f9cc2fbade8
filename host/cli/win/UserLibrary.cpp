// The renderer's preset library.
#include "host/cli/win/UserLibrary.h"

#include <windows.h>

#include "presets/PresetFile.h"
#include "presets/win/PresetFileLocation.h"

CUserLibrary::CUserLibrary() : m_library(presetfile::kProductName, m_store, m_messages) {
    m_library.SetAltClassKey(presetfile::kAltClassKey);
}

bool CUserLibrary::Load(const std::string& presetFile, std::string* error) {
    if (presetFile.empty()) {
        m_source = LocatePresetFile(presetfile::kClassKey, presetfile::kLibraryFileName);
        m_library.LoadPresetLibrary(presetfile::kClassKey, m_source);
        return true;
    }
    m_source = presetFile;
    m_library.LoadPresetLibrary(presetfile::kClassKey, std::string());  // no file: our class key
    if (GetFileAttributesA(presetFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        *error = presetFile + ": no such preset file";
        return false;
    }
    // An exported file or another library: ours or the sibling build's, as import accepts.
    switch (m_library.CheckPresetFile(presetFile, true)) {
        case CPresetLibrary::FileCheck::kNoPresetData:
            *error = presetFile + ": not a tw:Phase preset file (no \"Plug-in\" section with a CLSID)";
            return false;
        case CPresetLibrary::FileCheck::kForeign:
            *error = presetFile + ": the presets of another plug-in";
            return false;
        case CPresetLibrary::FileCheck::kAccepted:
            break;
    }
    m_library.ReadPresets(presetFile, false);
    m_library.SortLibrary();
    return true;
}
