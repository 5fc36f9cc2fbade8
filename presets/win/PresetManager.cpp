// CPresetManager: wires the portable library to the platform store and message boxes.
#include "presets/win/PresetManager.h"

#include "presets/win/PresetFileLocation.h"

CPresetManager::CPresetManager(HINSTANCE instance, HWND owner, const char* productName)
    : m_library(productName, m_store, m_messages), m_instance(instance), m_ownerWindow(owner) {
    m_messages.SetCaption(m_library.Caption());
}

void CPresetManager::LoadPresetLibrary(const char* classKey, const char* fileName) {
    m_library.LoadPresetLibrary(classKey, LocatePresetFile(classKey, fileName));
}

bool CPresetManager::SaveLibrary() {
    return m_library.SaveLibrary(m_library.ClassKey().c_str(), m_library.PresetFilePath());
}
