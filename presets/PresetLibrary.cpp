// CPresetLibrary in memory: ownership of the records, identifiers, sorting, the duplicate
// test and the backup used to cancel an editing session.
#include "presets/PresetLibrary.h"

#include <new>
#include <utility>

namespace {

// True when a belongs after b in library order.
bool BelongsAfter(const PresetRecord& a, const PresetRecord& b) {
    if (a.HasBank() != b.HasBank()) return !a.HasBank();
    const int bankOrder = AsciiCompareNoCase(a.bank, b.bank);
    if (bankOrder != 0) return bankOrder > 0;
    const bool aNamed = a.name[0] != '\0', bNamed = b.name[0] != '\0';
    if (aNamed != bNamed) return !aNamed;
    return AsciiCompareNoCase(a.name, b.name) > 0;
}

}  // namespace

CPresetLibrary::CPresetLibrary(const char* productName, IPresetStore& store,
                               IPresetMessages& messages)
    : m_store(store),
      m_messages(messages),
      m_presets(new CPresetList),
      m_backup(new CPresetList),
      m_productName(productName ? productName : "") {
    m_caption = m_productName + " Preset Manager";
}

CPresetLibrary::~CPresetLibrary() {
    FreeAll(*m_presets);
    FreeAll(*m_backup);
}

void CPresetLibrary::FreeAll(CPresetList& list) {
    for (int32_t i = list.Count() - 1; i >= 0; --i) {
        PresetRecord* record = list.At(i);
        list.Remove(record);
        delete record;
    }
}

int32_t CPresetLibrary::NextPresetId() const {
    int32_t highest = kFirstPresetId - 1;
    for (int32_t i = 0; i < m_presets->Count(); ++i)
        if (m_presets->At(i)->id > highest) highest = m_presets->At(i)->id;
    if (highest < kLastPresetId) return highest + 1;
    // Past the top of the range: the lowest identifier no record holds.
    for (int32_t id = kFirstPresetId; id <= kLastPresetId; ++id)
        if (!FindById(id)) return id;
    return kNoPreset;
}

CPresetLibrary::AddResult CPresetLibrary::AddPreset(std::unique_ptr<PresetRecord> record) {
    if (record && record->data.empty()) return AddResult::kNoData;
    return Append(std::move(record));
}

// A file may hold a section with an empty Data value; reading keeps it, so this append has
// no data test.
CPresetLibrary::AddResult CPresetLibrary::Append(std::unique_ptr<PresetRecord> record) {
    if (!record) return AddResult::kOutOfMemory;
    if (m_presets->Count() >= kMaxPresets) return AddResult::kLibraryFull;
    const int32_t id = NextPresetId();
    if (id == kNoPreset) return AddResult::kLibraryFull;
    record->id = id;
    // One bank, one spelling: the one the library already holds it under.
    record->SetBank(BankSpelling(record->bank).c_str());
    if (!tw::Succeeded(m_presets->Append(record.get()))) return AddResult::kOutOfMemory;
    record.release();
    return AddResult::kAdded;
}

bool CPresetLibrary::DeletePreset(PresetRecord* record) {
    if (!record || !m_presets->Remove(record)) return false;
    if (record->id == m_currentId) m_currentId = kNoPreset;
    delete record;
    return true;
}

void CPresetLibrary::DeleteAllPresets() {
    FreeAll(*m_presets);
    m_currentId = kNoPreset;
}

PresetRecord* CPresetLibrary::FindById(int32_t id) const {
    for (int32_t i = 0; i < m_presets->Count(); ++i)
        if (m_presets->At(i)->id == id) return m_presets->At(i);
    return nullptr;
}

PresetRecord* CPresetLibrary::FindSame(const PresetRecord& like, int32_t preferId) const {
    PresetRecord* preferred = FindById(preferId);
    if (preferred && preferred->SameAs(like)) return preferred;
    for (int32_t i = 0; i < m_presets->Count(); ++i)
        if (m_presets->At(i)->SameAs(like)) return m_presets->At(i);
    return nullptr;
}

std::string CPresetLibrary::BankSpelling(const char* bank) const {
    if (!bank) bank = "";
    for (int32_t i = 0; i < m_presets->Count(); ++i)
        if (SameBank(m_presets->At(i)->bank, bank)) return m_presets->At(i)->bank;
    return bank;
}

std::vector<PresetRecord> CPresetLibrary::UnsavedPresets() const {
    std::vector<PresetRecord> unsaved;
    try {
        for (int32_t i = 0; i < m_presets->Count(); ++i)
            if (m_presets->At(i)->unsaved) unsaved.push_back(*m_presets->At(i));
    } catch (const std::bad_alloc&) {
        // The copies made so far are all there is.
    }
    return unsaved;
}

void CPresetLibrary::TakeUpUnsaved(const std::vector<PresetRecord>& presets) {
    for (const PresetRecord& kept : presets) {
        try {
            if (FindSame(kept)) continue;  // saved meanwhile, by this editor or another
            PresetRecord original = kept;
            original.data = kept.fileData;
            PresetRecord* record = kept.fileData.empty() ? nullptr : FindSame(original);
            if (record) {
                // New settings for a preset the file still holds with the old ones.
                record->data = kept.data;
                record->version = kept.version;
                record->fileData = kept.fileData;
            } else {
                // A new preset, or one whose old settings the file no longer holds.
                auto added = std::make_unique<PresetRecord>(kept);
                added->fileData.clear();
                record = added.get();
                if (Append(std::move(added)) != AddResult::kAdded) continue;
            }
            record->unsaved = true;
        } catch (const std::bad_alloc&) {
            // Without memory this one is not brought back.
        }
    }
    SortLibrary();
}

bool CPresetLibrary::IsDuplicate(const PresetRecord& record) const {
    for (int32_t i = 0; i < m_presets->Count(); ++i) {
        const PresetRecord& other = *m_presets->At(i);
        if (AsciiCompareNoCase(other.name, record.name) == 0 && SameBank(other.bank, record.bank) &&
            AsciiCompareNoCase(other.data.c_str(), record.data.c_str()) == 0)
            return true;
    }
    return false;
}

void CPresetLibrary::SortLibrary() {
    CPresetList& list = *m_presets;
    if (list.Count() < 2) return;
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int32_t i = 0; i + 1 < list.Count(); ++i) {
            PresetRecord* first = list.At(i);
            PresetRecord* second = list.At(i + 1);
            if (!BelongsAfter(*first, *second)) continue;
            // Both slots exist, so storing cannot fail.
            list.SetAt(i, second);
            list.SetAt(i + 1, first);
            swapped = true;
        }
    }
}

bool CPresetLibrary::BeginEditing() {
    FreeAll(*m_backup);
    for (int32_t i = 0; i < m_presets->Count(); ++i) {
        PresetRecord* copy = nullptr;
        try {
            copy = new PresetRecord(*m_presets->At(i));
        } catch (const std::bad_alloc&) {
        }
        if (!copy || !tw::Succeeded(m_backup->Append(copy))) {
            delete copy;
            FreeAll(*m_backup);
            m_backupValid = false;
            return false;
        }
    }
    m_presets.swap(m_backup);
    m_backupCurrentId = m_currentId;
    m_backupValid = true;
    return true;
}

void CPresetLibrary::RestoreBackup() {
    if (!m_backupValid) return;
    m_presets.swap(m_backup);
    m_currentId = m_backupCurrentId;
    m_backupValid = false;
}

void CPresetLibrary::EndEditing() {
    FreeAll(*m_backup);
    m_backupValid = false;
}
