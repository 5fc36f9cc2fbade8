// CPresetLibrary: the editor's user presets in memory (the working library and the backup
// used to cancel the preset manager's changes), their identifiers and sort order, and the
// reading and writing of preset files through an IPresetStore. All calls come from the
// editor window's thread; the library takes no locks.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "presets/PresetRecord.h"
#include "presets/PresetStore.h"

class CPresetLibrary {
public:
    // Preset identifiers double as menu command identifiers, and the presets menu and the
    // manager use the fixed commands 5000, 5001, 10500 and 10501. Keeping every identifier
    // within 3501..4999 keeps the two apart, which caps a library at 1499 presets.
    static constexpr int32_t kFirstPresetId = 3501;
    static constexpr int32_t kLastPresetId = 4999;
    static constexpr int32_t kMaxPresets = kLastPresetId - kFirstPresetId + 1;
    static constexpr int32_t kNoPreset = -1;

    enum class AddResult {
        kAdded,
        kLibraryFull,  // kMaxPresets records present: nothing added
        kOutOfMemory,
    };

    // What ReadPresets did with the sections it read.
    struct ReadSummary {
        int32_t added = 0;
        int32_t declined = 0;      // duplicates the user chose not to import
        bool libraryFull = false;  // reading stopped because the library is full
    };

    // Whether a file's header tags it as ours.
    enum class FileCheck {
        kNoPresetData,  // no file, no header or an empty "CLSID"
        kForeign,       // another plug-in's class key
        kAccepted,
    };

    // Both lists empty, currentId -1, not modified. The caption of every preset message is
    // the product name followed by " Preset Manager". Store and messages must outlive the
    // library.
    CPresetLibrary(const char* productName, IPresetStore& store, IPresetMessages& messages);
    ~CPresetLibrary();
    CPresetLibrary(const CPresetLibrary&) = delete;
    CPresetLibrary& operator=(const CPresetLibrary&) = delete;

    const std::string& ProductName() const { return m_productName; }
    const std::string& Caption() const { return m_caption; }
    const std::string& ClassKey() const { return m_classKey; }
    const std::string& AltClassKey() const { return m_altClassKey; }
    // The second class key import accepts; set once before loading.
    void SetAltClassKey(const char* classKey) { m_altClassKey = classKey ? classKey : ""; }
    // The library file's full path, empty when there is none.
    const std::string& PresetFilePath() const { return m_presetFilePath; }

    int32_t CurrentId() const { return m_currentId; }
    void SetCurrentId(int32_t id) { m_currentId = id; }
    bool Modified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }

    // The working library in library order.
    const CPresetList& Presets() const { return *m_presets; }
    int32_t Count() const { return m_presets->Count(); }
    PresetRecord* At(int32_t index) const { return m_presets->At(index); }

    // The identifier for a new record: one above the largest present (3500 for an empty
    // library), so a library read from a file is numbered 3501, 3502, ... and the identifier
    // of a deleted highest record is issued again. Should that pass 4999, the lowest free
    // identifier from 3501 is issued instead; kNoPreset when the library is full.
    int32_t NextPresetId() const;
    // Gives the record the next identifier and appends it, taking ownership. On failure the
    // record is freed and the library is unchanged.
    AddResult AddPreset(std::unique_ptr<PresetRecord> record);
    // Takes the record out of the working library and frees it. False (nothing freed) when
    // it is not there.
    bool DeletePreset(PresetRecord* record);
    // Frees every record of the working library, from the last to the first.
    void DeleteAllPresets();
    // The first record with that identifier, or null.
    PresetRecord* FindById(int32_t id) const;
    // True when a record of the working library has the same name, bank and data text, each
    // compared without regard to ASCII case.
    bool IsDuplicate(const PresetRecord& record) const;
    // Stable bubble sort: banked presets first, then by bank name, then by preset name with
    // empty names last; names compared without regard to ASCII case.
    void SortLibrary();

    // Opens an editing session: the working library becomes a fresh copy of itself and the
    // records as they were are kept as the backup. False when the copy could not be made;
    // the working library is then untouched and RestoreBackup does nothing.
    bool BeginEditing();
    // Returns to the library as it was at BeginEditing; the edited records become the backup
    // and are freed at the next BeginEditing or with the library.
    void RestoreBackup();

    // Reads the header's "CLSID" and compares it with ClassKey(), and with AltClassKey() when
    // acceptAlternate is set (import), without regard to case.
    FileCheck CheckPresetFile(const std::string& path, bool acceptAlternate) const;
    // Replaces the working library by the presets of the library file at path (empty: no
    // file), sorted. A file without our header gives an empty library silently; a file of
    // another plug-in (the alternate key included) gives an empty library and tells the
    // user so, with no owner window.
    void LoadPresetLibrary(const char* classKey, const std::string& path);
    // Appends the sections Preset1, Preset2, ... of the file, up to the first section that
    // lacks a key. With import set, each record that duplicates one already present is
    // appended only if the user says so. Does not sort.
    ReadSummary ReadPresets(const std::string& path, bool import);
    // Writes Version, Name, Bank and Data, in this order, into section "Preset<number>".
    void WritePresetSection(const std::string& path, int32_t number, const PresetRecord& record);
    // Rewrites the whole working library into the file: deletes Preset1.. up to the first
    // gap, writes the header with DefaultPreset=1, then the records as Preset1, Preset2, ...
    void SaveLibrary(const char* classKey, const std::string& path);
    // The export of a bank or of one preset: writes PluginName and CLSID and then the records
    // as Preset1..Preset<k>, deleting nothing and leaving later sections as they are.
    void WritePresetFile(const char* classKey, const std::string& path,
                         const std::vector<const PresetRecord*>& records);

private:
    static void FreeAll(CPresetList& list);
    void WriteHeader(const char* classKey, const std::string& path);

    IPresetStore& m_store;
    IPresetMessages& m_messages;
    std::unique_ptr<CPresetList> m_presets;
    std::unique_ptr<CPresetList> m_backup;
    bool m_backupValid = true;
    std::string m_presetFilePath;
    std::string m_productName;
    std::string m_classKey;
    std::string m_altClassKey;
    std::string m_caption;
    int32_t m_currentId = kNoPreset;
    bool m_modified = false;
};
