// CPresetSessions: the current preset of each plug-in object and the unsaved presets of each
// library file, kept between two openings of an editor.
#include "presets/PresetSessions.h"

#include <new>

#include "presets/PresetLibrary.h"

CPresetSessions& CPresetSessions::Process() {
    static CPresetSessions sessions;
    return sessions;
}

int32_t CPresetSessions::KeepCurrent(const void* plugin, const CPresetLibrary& library) {
    const PresetRecord* current = library.FindById(library.CurrentId());
    CAutoLock lock(&m_lock);
    try {
        if (!current) {
            m_current.erase(plugin);
            return CPresetLibrary::kNoPreset;
        }
        m_current[plugin] = *current;
    } catch (const std::bad_alloc&) {
        // Not remembered: the object keeps no identifier rather than one nothing vouches for.
        m_current.erase(plugin);
        return CPresetLibrary::kNoPreset;
    }
    return current->id;
}

int32_t CPresetSessions::FindCurrent(const void* plugin, int32_t keptId,
                                     const CPresetLibrary& library) const {
    CAutoLock lock(&m_lock);
    const auto remembered = m_current.find(plugin);
    if (keptId == CPresetLibrary::kNoPreset || remembered == m_current.end() ||
        remembered->second.id != keptId)
        return CPresetLibrary::kNoPreset;
    const PresetRecord* same = library.FindSame(remembered->second, keptId);
    return same ? same->id : CPresetLibrary::kNoPreset;
}

void CPresetSessions::KeepUnsaved(const CPresetLibrary& library) {
    std::vector<PresetRecord> unsaved = library.UnsavedPresets();
    if (unsaved.empty()) return;
    const std::string& path = library.PresetFilePath();
    CAutoLock lock(&m_lock);
    try {
        for (auto& entry : m_unsaved) {
            if (AsciiCompareNoCase(entry.first.c_str(), path.c_str()) != 0) continue;
            // Another editor of the file closed with unsaved presets too: both are kept, and
            // a preset both kept only once.
            for (PresetRecord& record : unsaved) {
                bool known = false;
                for (const PresetRecord& held : entry.second) known = known || held.SameAs(record);
                if (!known) entry.second.push_back(std::move(record));
            }
            return;
        }
        m_unsaved.emplace_back(path, std::move(unsaved));
    } catch (const std::bad_alloc&) {
        // What could not be kept is lost with the editor, as it would be without this.
    }
}

void CPresetSessions::TakeUnsaved(CPresetLibrary& library) {
    std::vector<PresetRecord> unsaved;
    {
        CAutoLock lock(&m_lock);
        const std::string& path = library.PresetFilePath();
        for (auto entry = m_unsaved.begin(); entry != m_unsaved.end(); ++entry) {
            if (AsciiCompareNoCase(entry->first.c_str(), path.c_str()) != 0) continue;
            unsaved.swap(entry->second);
            m_unsaved.erase(entry);
            break;
        }
    }
    if (!unsaved.empty()) library.TakeUpUnsaved(unsaved);
}
