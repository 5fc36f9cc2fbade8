// CPresetSessions: what the preset libraries of a process's editors hand on from one opening of
// an editor to the next: the preset each plug-in object had current, known by its name, bank
// and data, and the presets whose save failed, kept until a save succeeds. Every call may come
// from any editor's thread; none throws (without memory, nothing more is remembered).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/CritSec.h"
#include "presets/PresetRecord.h"

class CPresetLibrary;

class CPresetSessions {
public:
    // The one every editor of the process shares.
    static CPresetSessions& Process();

    CPresetSessions() = default;
    CPresetSessions(const CPresetSessions&) = delete;
    CPresetSessions& operator=(const CPresetSessions&) = delete;

    // When an editor closes or leaves plugin (a pointer that names the plug-in object while it
    // lives): remembers the library's current preset for it and returns the identifier the
    // plug-in object keeps, kNoPreset when none is current.
    int32_t KeepCurrent(const void* plugin, const CPresetLibrary& library);
    // When an editor takes up plugin, whose object kept keptId: the identifier in library of
    // the preset KeepCurrent remembered, found by its name, bank and data (saves by any editor
    // may have moved it in the file, so its old identifier may now name another preset).
    // kNoPreset when no preset of library is that one any more, or nothing was remembered.
    int32_t FindCurrent(const void* plugin, int32_t keptId, const CPresetLibrary& library) const;

    // When an editor closes: keeps copies of its library's unsaved presets, by library file.
    void KeepUnsaved(const CPresetLibrary& library);
    // When an editor has loaded its library: gives it the presets kept for its file, which
    // are then no longer kept here.
    void TakeUnsaved(CPresetLibrary& library);

private:
    mutable CCritSec m_lock;
    // The current preset by plug-in object, with the identifier handed out for it. An entry
    // applies only while the object still keeps that identifier, so an object created later
    // at the same address (which starts with none) never inherits it. Entries stay for the
    // life of the process, one per plug-in object whose editor had a preset current.
    std::map<const void*, PresetRecord> m_current;
    // Unsaved presets by library file path.
    std::vector<std::pair<std::string, std::vector<PresetRecord>>> m_unsaved;
};
