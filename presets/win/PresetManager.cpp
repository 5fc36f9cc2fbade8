// CPresetManager: wires the portable library to the platform store and message boxes, and to
// what the process's editors keep between openings.
#include "presets/win/PresetManager.h"

#include "presets/PresetSessions.h"
#include "presets/win/PresetFileLocation.h"

CPresetManager::CPresetManager(HINSTANCE instance, HWND owner, const char* productName)
    : m_library(productName, m_store, m_messages), m_instance(instance), m_ownerWindow(owner) {
    m_messages.SetCaption(m_library.Caption());
}

CPresetManager::~CPresetManager() {
    CPresetSessions::Process().KeepUnsaved(m_library);
}

void CPresetManager::LoadPresetLibrary(const char* classKey, const char* fileName) {
    m_library.LoadPresetLibrary(classKey, LocatePresetFile(classKey, fileName));
    CPresetSessions::Process().TakeUnsaved(m_library);
}

void CPresetManager::RestoreCurrentPreset(const void* plugin, int keptId) {
    m_library.SetCurrentId(CPresetSessions::Process().FindCurrent(plugin, keptId, m_library));
}

int CPresetManager::KeepCurrentPreset(const void* plugin) {
    return CPresetSessions::Process().KeepCurrent(plugin, m_library);
}

bool CPresetManager::SaveLibrary() {
    return m_library.SaveLibrary(m_library.ClassKey().c_str(), m_library.PresetFilePath());
}
