// CPresetLibrary's preset file procedures: the header check, the library load and reload,
// reading the numbered preset sections, the whole and partial rewrites, and the presets
// menu's Add and Update, which go straight to the file.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "presets/PresetFile.h"
#include "presets/PresetLibrary.h"

using namespace presetfile;

namespace {

std::string SectionName(int32_t number) {
    char name[24];
    std::snprintf(name, sizeof name, "Preset%d", static_cast<int>(number));
    return name;
}

// atoi's reading (leading blanks, sign, digits; 0 when there are none), held within the int
// range on overflow the way the platform's runtime does it.
uint32_t VersionFromText(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

// The keys of a preset section in the order they are written.
constexpr const char* kPresetKeys[] = {kVersionKey, kNameKey, kBankKey, kDataKey};
// Sections carried over unread are read up to this length, so their values stay whole.
constexpr size_t kCarryReadChars = 65535;

}  // namespace

CPresetLibrary::FileCheck CPresetLibrary::CheckPresetFile(const std::string& path,
                                                          bool acceptAlternate) const {
    if (path.empty()) return FileCheck::kNoPresetData;
    const std::string tag =
        m_store.GetString(path, kHeaderSection, kClassKeyKey, "", kClassKeyReadChars);
    if (tag.empty()) return FileCheck::kNoPresetData;
    if (AsciiCompareNoCase(tag.c_str(), m_classKey.c_str()) == 0) return FileCheck::kAccepted;
    if (acceptAlternate && !m_altClassKey.empty() &&
        AsciiCompareNoCase(tag.c_str(), m_altClassKey.c_str()) == 0)
        return FileCheck::kAccepted;
    return FileCheck::kForeign;
}

void CPresetLibrary::LoadPresetLibrary(const char* classKey, const std::string& path) {
    m_classKey = classKey ? classKey : "";
    m_presetFilePath = path;
    FreeAll(*m_presets);
    EndEditing();
    m_refused = false;
    m_firstUnread = 0;
    m_lastSaveError = SaveError::kNone;
    // Stamped before reading, so that a save during the read counts as a change.
    m_stamp = path.empty() ? PresetFileStamp() : m_store.Stamp(path);
    switch (CheckPresetFile(path, false)) {
        case FileCheck::kNoPresetData:
            // Preset sections in a file without our header are not read; they are not lost
            // either when the header is written.
            if (!path.empty() && m_store.GetString(path, SectionName(1).c_str(), kVersionKey,
                                                   kKeyNotFound, kSaveProbeReadChars) != kKeyNotFound)
                m_firstUnread = 1;
            return;
        case FileCheck::kForeign:
            m_refused = true;
            m_messages.ShowError(PresetMessageOwner::kNone,
                                "No presets could be loaded because the preset file\n\"" + path +
                                    "\"\ndoes not contain preset data compatible with this "
                                    "plug-in.");
            return;
        case FileCheck::kAccepted: {
            const ReadSummary summary = ReadPresets(path, false);
            SortLibrary();
            if (summary.stop != ReadStop::kEnd) {
                m_firstUnread = summary.stoppedAt;
                m_messages.ShowError(PresetMessageOwner::kNone, ReadStopText(path, summary));
            }
            return;
        }
    }
}

bool CPresetLibrary::FileChangedSinceRead() const {
    return !m_presetFilePath.empty() && m_store.Stamp(m_presetFilePath) != m_stamp;
}

void CPresetLibrary::ReloadLibrary() {
    std::unique_ptr<PresetRecord> current;
    if (const PresetRecord* record = FindById(m_currentId)) {
        try {
            current.reset(new PresetRecord(*record));
        } catch (const std::bad_alloc&) {
        }
    }
    const std::vector<PresetRecord> unsaved = UnsavedPresets();
    const std::string classKey = m_classKey;
    const std::string path = m_presetFilePath;
    LoadPresetLibrary(classKey.c_str(), path);
    TakeUpUnsaved(unsaved);
    const PresetRecord* same = current ? FindSame(*current) : nullptr;
    m_currentId = same ? same->id : kNoPreset;
}

CPresetLibrary::ReadSummary CPresetLibrary::ReadPresets(const std::string& path, bool import) {
    ReadSummary summary;
    if (path.empty()) return summary;
    for (int32_t number = 1;; ++number) {
        const std::string section = SectionName(number);
        const char* s = section.c_str();
        auto stop = [&](ReadStop why, const char* key) {
            summary.stop = why;
            summary.stoppedAt = number;
            summary.missingKey = key;
        };
        const std::string version =
            m_store.GetString(path, s, kVersionKey, kKeyNotFound, kVersionReadChars);
        if (version == kKeyNotFound) break;
        const std::string name = m_store.GetString(path, s, kNameKey, kKeyNotFound, kTextReadChars);
        if (name == kKeyNotFound) {
            stop(ReadStop::kMissingKey, kNameKey);
            break;
        }
        const std::string bank = m_store.GetString(path, s, kBankKey, kKeyNotFound, kTextReadChars);
        if (bank == kKeyNotFound) {
            stop(ReadStop::kMissingKey, kBankKey);
            break;
        }
        const std::string data = m_store.GetString(path, s, kDataKey, kKeyNotFound, kDataReadChars);
        if (data == kKeyNotFound) {
            stop(ReadStop::kMissingKey, kDataKey);
            break;
        }

        std::unique_ptr<PresetRecord> record;
        try {
            record.reset(new PresetRecord);
            record->data = data;
        } catch (const std::bad_alloc&) {
            stop(ReadStop::kOutOfMemory, nullptr);
            break;  // the presets read so far stay
        }
        record->version = VersionFromText(version);
        record->SetName(name.c_str());
        record->SetBank(bank.c_str());

        if (import && IsDuplicate(*record)) {
            const std::string question =
                "The preset \"" + name + "\" you are importing already exists in the " +
                m_productName + " preset list.\nDo you want to add it anyway?";
            if (!m_messages.AskYesNo(PresetMessageOwner::kManager, question)) {
                ++summary.declined;
                continue;
            }
        }
        const AddResult added = Append(std::move(record));
        if (added != AddResult::kAdded) {
            summary.libraryFull = added == AddResult::kLibraryFull;
            stop(summary.libraryFull ? ReadStop::kLibraryFull : ReadStop::kOutOfMemory, nullptr);
            break;
        }
        ++summary.added;
    }
    return summary;
}

std::string CPresetLibrary::ReadStopText(const std::string& path,
                                         const ReadSummary& summary) const {
    const std::string section = "\"" + SectionName(summary.stoppedAt) + "\"";
    std::string text = "Not all presets could be read from the preset file\n\"" + path + "\"\n";
    switch (summary.stop) {
        case ReadStop::kEnd:
            return {};
        case ReadStop::kMissingKey:
            return text + "because its section " + section + " has no \"" +
                   (summary.missingKey ? summary.missingKey : "") +
                   "\" key.\nThat section and the ones after it were not read; they stay in "
                   "the file.";
        case ReadStop::kLibraryFull:
            text += "because a library holds at most " + std::to_string(kMaxPresets) + " presets.";
            break;
        case ReadStop::kOutOfMemory:
            text += "because there was not enough memory.";
            break;
    }
    return text + "\nThe section " + section +
           " and the ones after it were not read; they stay in the file.";
}

bool CPresetLibrary::WritePresetSection(const std::string& path, int32_t number,
                                        const PresetRecord& record) {
    const std::string section = SectionName(number);
    // Signed, as it was read: Version=-1 stays -1.
    char version[16];
    std::snprintf(version, sizeof version, "%d", static_cast<int>(static_cast<int32_t>(record.version)));
    return m_store.WriteString(path, section.c_str(), kVersionKey, version) &&
           m_store.WriteString(path, section.c_str(), kNameKey, record.name) &&
           m_store.WriteString(path, section.c_str(), kBankKey, record.bank) &&
           m_store.WriteString(path, section.c_str(), kDataKey, record.data.c_str());
}

bool CPresetLibrary::WriteHeader(const char* classKey, const std::string& path) {
    return m_store.WriteString(path, kHeaderSection, kPluginNameKey, m_productName.c_str()) &&
           m_store.WriteString(path, kHeaderSection, kClassKeyKey, classKey ? classKey : "");
}

bool CPresetLibrary::IsLibraryPath(const std::string& path) const {
    return !m_presetFilePath.empty() &&
           AsciiCompareNoCase(path.c_str(), m_presetFilePath.c_str()) == 0;
}

bool CPresetLibrary::LibraryFileForeign() const {
    return m_refused || CheckPresetFile(m_presetFilePath, false) == FileCheck::kForeign;
}

bool CPresetLibrary::Fail(SaveError error) {
    m_lastSaveError = error;
    return false;
}

bool CPresetLibrary::Rewrite(const char* classKey, const std::string& path,
                             const std::vector<const PresetRecord*>& records, bool wholeLibrary,
                             int32_t firstUnread, int32_t* unreadNowAt) {
    // Every change goes to a copy beside the file, which then replaces it in one step: a
    // crash, a full disk or a refused write midway leaves the old file as it was.
    const std::string temp = m_store.CreateTempCopy(path);
    if (temp.empty()) return Fail(SaveError::kWriteFailed);
    bool ok = true;
    try {
        auto present = [&](int32_t number) {
            return m_store.GetString(temp, SectionName(number).c_str(), kVersionKey, kKeyNotFound,
                                     kSaveProbeReadChars) != kKeyNotFound;
        };
        // The unread sections, taken before their numbers are reused. The reader already
        // trims and unquotes values, so writing back what it returns changes nothing it sees.
        std::vector<std::array<std::string, 4>> carried;
        for (int32_t number = firstUnread; number > 0 && present(number); ++number) {
            carried.emplace_back();
            for (size_t k = 0; k < 4; ++k)
                carried.back()[k] = m_store.GetString(temp, SectionName(number).c_str(),
                                                      kPresetKeys[k], kKeyNotFound, kCarryReadChars);
        }
        for (int32_t number = 1; ok && present(number); ++number)
            ok = m_store.DeleteSection(temp, SectionName(number).c_str());
        ok = ok && WriteHeader(classKey, temp) &&
             (!wholeLibrary || m_store.WriteString(temp, kHeaderSection, kDefaultPresetKey, "1"));
        int32_t number = 0;
        for (const PresetRecord* record : records)
            if (ok && record) ok = WritePresetSection(temp, ++number, *record);
        *unreadNowAt = carried.empty() ? 0 : number + 1;
        for (const auto& values : carried) {
            const std::string section = SectionName(++number);
            for (size_t k = 0; ok && k < 4; ++k)
                if (values[k] != kKeyNotFound)  // a missing key stays missing
                    ok = m_store.WriteString(temp, section.c_str(), kPresetKeys[k],
                                             values[k].c_str());
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (ok && m_store.MoveReplacing(temp, path)) return true;
    m_store.RemoveFile(temp);
    return Fail(SaveError::kWriteFailed);
}

bool CPresetLibrary::SaveLibrary(const char* classKey, const std::string& path,
                                 bool overwriteChanged) {
    m_lastSaveError = SaveError::kNone;
    m_lastSavePath = path;
    if (path.empty()) return Fail(SaveError::kNoFile);
    const bool library = IsLibraryPath(path);
    if (library) {
        if (LibraryFileForeign()) return Fail(SaveError::kRefusedFile);
        if (!overwriteChanged && FileChangedSinceRead()) return Fail(SaveError::kFileChanged);
    }
    std::vector<const PresetRecord*> records;
    try {
        records.assign(m_presets->Count(), nullptr);
    } catch (const std::bad_alloc&) {
        return Fail(SaveError::kWriteFailed);
    }
    for (int32_t i = 0; i < m_presets->Count(); ++i) records[i] = At(i);
    int32_t unreadNowAt = 0;
    if (!Rewrite(classKey, path, records, true, library ? m_firstUnread : 0, &unreadNowAt))
        return false;
    if (library) {
        m_stamp = m_store.Stamp(path);
        m_firstUnread = unreadNowAt;
        for (int32_t i = 0; i < Count(); ++i) {
            At(i)->unsaved = false;
            At(i)->fileData.clear();
        }
    }
    return true;
}

bool CPresetLibrary::WritePresetFile(const char* classKey, const std::string& path,
                                     const std::vector<const PresetRecord*>& records) {
    m_lastSaveError = SaveError::kNone;
    m_lastSavePath = path;
    if (path.empty()) return Fail(SaveError::kNoFile);
    if (IsLibraryPath(path) && LibraryFileForeign()) return Fail(SaveError::kRefusedFile);
    int32_t unreadNowAt = 0;
    return Rewrite(classKey, path, records, false, 0, &unreadNowAt);
}

CPresetLibrary::AddResult CPresetLibrary::AddPresetAndSave(std::unique_ptr<PresetRecord> record) {
    if (!record || record->data.empty()) return AddResult::kNoData;
    if (FileChangedSinceRead()) ReloadLibrary();
    PresetRecord* added = record.get();
    const AddResult result = AddPreset(std::move(record));
    if (result != AddResult::kAdded) return result;
    m_currentId = added->id;
    SortLibrary();
    if (SaveLibrary(m_classKey.c_str(), m_presetFilePath)) return AddResult::kAdded;
    added->unsaved = true;
    return AddResult::kSaveFailed;
}

CPresetLibrary::UpdateResult CPresetLibrary::UpdatePresetAndSave(int32_t id, const char* data) {
    PresetRecord* record = FindById(id);
    if (!record) return UpdateResult::kNotFound;
    if (!data || !*data) return UpdateResult::kNoData;
    if (FileChangedSinceRead()) {
        std::unique_ptr<PresetRecord> old;
        try {
            old.reset(new PresetRecord(*record));
        } catch (const std::bad_alloc&) {
            return UpdateResult::kOutOfMemory;
        }
        ReloadLibrary();
        record = FindSame(*old);
        if (!record) {
            // The other editor deleted it: add it again, carrying the user's new settings.
            if (!old->ReplaceData(data)) return UpdateResult::kOutOfMemory;
            old->version = PresetRecord::kCurrentVersion;
            old->unsaved = false;  // the file holds no version of it now
            old->fileData.clear();
            record = old.get();
            const AddResult added = AddPreset(std::move(old));
            if (added == AddResult::kLibraryFull) return UpdateResult::kLibraryFull;
            if (added != AddResult::kAdded) return UpdateResult::kOutOfMemory;
            m_currentId = record->id;
            SortLibrary();
            if (SaveLibrary(m_classKey.c_str(), m_presetFilePath)) return UpdateResult::kUpdated;
            record->unsaved = true;
            return UpdateResult::kSaveFailed;
        }
    }
    // The settings the file holds for it, unless it holds none yet or an earlier failed
    // update already noted them.
    std::string fileData;
    try {
        if (!record->unsaved) fileData = record->data;
    } catch (const std::bad_alloc&) {
        return UpdateResult::kOutOfMemory;
    }
    if (!record->ReplaceData(data)) return UpdateResult::kOutOfMemory;
    record->version = PresetRecord::kCurrentVersion;
    m_currentId = record->id;
    SortLibrary();
    if (SaveLibrary(m_classKey.c_str(), m_presetFilePath)) return UpdateResult::kUpdated;
    if (!record->unsaved) record->fileData.swap(fileData);
    record->unsaved = true;
    return UpdateResult::kSaveFailed;
}

std::string CPresetLibrary::SaveErrorText() const {
    if (m_lastSaveError == SaveError::kNone) return {};
    if (m_lastSavePath.empty())
        return "Unable to save the presets because no location for the preset file is "
               "registered for this plug-in.";
    std::string text = "Unable to save the presets to " + m_lastSavePath + "\n";
    switch (m_lastSaveError) {
        case SaveError::kNone:
        case SaveError::kNoFile:
            break;
        case SaveError::kRefusedFile:
            text += "The file holds the presets of another plug-in.";
            break;
        case SaveError::kFileChanged:
            text += "The file was changed by another editor since it was read.";
            break;
        case SaveError::kWriteFailed:
            text += "The file or its folder cannot be written.";
            break;
    }
    return text;
}

std::string CPresetLibrary::OverwriteQuestionText() const {
    return "The preset file\n\"" + m_presetFilePath +
           "\"\nwas changed by another editor since it was read.\nDo you want to replace its "
           "presets with the ones shown here?";
}
