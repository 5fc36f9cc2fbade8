// CPresetManager: wires the portable library to the platform store and message boxes.
#include "presets/win/PresetManager.h"

#include "presets/win/PresetFileLocation.h"

CPresetManager::CPresetManager(HINSTANCE instance, HWND owner, const char* productName)
    : library_(productName, store_, messages_), instance_(instance), ownerWindow_(owner) {
    messages_.SetCaption(library_.Caption());
}

void CPresetManager::LoadPresetLibrary(const char* classKey, const char* fileName) {
    library_.LoadPresetLibrary(classKey, LocatePresetFile(classKey, fileName));
}

void CPresetManager::SaveLibrary() {
    library_.SaveLibrary(library_.ClassKey().c_str(), library_.PresetFilePath());
}
