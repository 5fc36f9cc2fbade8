// CPresetLibrary's preset file procedures: the header check, the library load, reading the
// numbered preset sections, and the whole and partial writes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

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
    DeleteAllPresets();
    switch (CheckPresetFile(path, false)) {
        case FileCheck::kNoPresetData:
            return;
        case FileCheck::kForeign:
            m_messages.ShowError(PresetMessageOwner::kNone,
                                "No presets could be loaded because the preset file\n\"" + path +
                                    "\"\ndoes not contain preset data compatible with this "
                                    "plug-in.");
            return;
        case FileCheck::kAccepted:
            ReadPresets(path, false);
            SortLibrary();
            return;
    }
}

CPresetLibrary::ReadSummary CPresetLibrary::ReadPresets(const std::string& path, bool import) {
    ReadSummary summary;
    if (path.empty()) return summary;
    for (int32_t number = 1;; ++number) {
        const std::string section = SectionName(number);
        const char* s = section.c_str();
        const std::string version =
            m_store.GetString(path, s, kVersionKey, kKeyNotFound, kVersionReadChars);
        if (version == kKeyNotFound) break;
        const std::string name = m_store.GetString(path, s, kNameKey, kKeyNotFound, kTextReadChars);
        if (name == kKeyNotFound) break;
        const std::string bank = m_store.GetString(path, s, kBankKey, kKeyNotFound, kTextReadChars);
        if (bank == kKeyNotFound) break;
        const std::string data = m_store.GetString(path, s, kDataKey, kKeyNotFound, kDataReadChars);
        if (data == kKeyNotFound) break;

        std::unique_ptr<PresetRecord> record;
        try {
            record.reset(new PresetRecord);
            record->data = data;
        } catch (const std::bad_alloc&) {
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
        const AddResult added = AddPreset(std::move(record));
        if (added == AddResult::kLibraryFull) summary.libraryFull = true;
        if (added != AddResult::kAdded) break;
        ++summary.added;
    }
    return summary;
}

void CPresetLibrary::WritePresetSection(const std::string& path, int32_t number,
                                        const PresetRecord& record) {
    const std::string section = SectionName(number);
    char version[16];
    std::snprintf(version, sizeof version, "%u", static_cast<unsigned>(record.version));
    m_store.WriteString(path, section.c_str(), kVersionKey, version);
    m_store.WriteString(path, section.c_str(), kNameKey, record.name);
    m_store.WriteString(path, section.c_str(), kBankKey, record.bank);
    m_store.WriteString(path, section.c_str(), kDataKey, record.data.c_str());
}

void CPresetLibrary::WriteHeader(const char* classKey, const std::string& path) {
    m_store.WriteString(path, kHeaderSection, kPluginNameKey, m_productName.c_str());
    m_store.WriteString(path, kHeaderSection, kClassKeyKey, classKey ? classKey : "");
}

void CPresetLibrary::SaveLibrary(const char* classKey, const std::string& path) {
    if (path.empty()) return;
    for (int32_t number = 1;; ++number) {
        const std::string section = SectionName(number);
        if (m_store.GetString(path, section.c_str(), kVersionKey, kKeyNotFound,
                             kSaveProbeReadChars) == kKeyNotFound)
            break;
        m_store.DeleteSection(path, section.c_str());
    }
    WriteHeader(classKey, path);
    m_store.WriteString(path, kHeaderSection, kDefaultPresetKey, "1");
    for (int32_t i = 0; i < m_presets->Count(); ++i) WritePresetSection(path, i + 1, *At(i));
}

void CPresetLibrary::WritePresetFile(const char* classKey, const std::string& path,
                                     const std::vector<const PresetRecord*>& records) {
    if (path.empty()) return;
    WriteHeader(classKey, path);
    int32_t number = 0;
    for (const PresetRecord* record : records)
        if (record) WritePresetSection(path, ++number, *record);
}
