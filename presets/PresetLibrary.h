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
        kNoData,       // the record has no data text: nothing added
        kSaveFailed,   // AddPresetAndSave: added in memory, the file not written
    };

    enum class UpdateResult {
        kUpdated,      // and saved
        kNotFound,     // no record has that identifier
        kNoData,       // no new data text: the record is unchanged
        kOutOfMemory,  // the record is unchanged
        kLibraryFull,  // re-adding the record another editor deleted found the library full
        kSaveFailed,   // updated in memory, the file not written
    };

    // Why ReadPresets stopped.
    enum class ReadStop {
        kEnd,          // a section without "Version": the presets end there
        kMissingKey,   // a section lacks Name, Bank or Data
        kLibraryFull,  // kMaxPresets records present
        kOutOfMemory,
    };

    // What ReadPresets did with the sections it read.
    struct ReadSummary {
        int32_t added = 0;
        int32_t declined = 0;      // duplicates the user chose not to import
        bool libraryFull = false;  // reading stopped because the library is full
        ReadStop stop = ReadStop::kEnd;
        // Unless stop is kEnd: the number of the section reading stopped at, which it and
        // every later one left unread, and for kMissingKey the key it lacks.
        int32_t stoppedAt = 0;
        const char* missingKey = nullptr;
    };

    // Whether a file's header tags it as ours.
    enum class FileCheck {
        kNoPresetData,  // no file, no header or an empty "CLSID"
        kForeign,       // another plug-in's class key
        kAccepted,
    };

    // Why the last save failed.
    enum class SaveError {
        kNone,
        kNoFile,        // no path: no library file was located
        kRefusedFile,   // the library file belongs to another plug-in
        kFileChanged,   // the library file changed since it was read
        kWriteFailed,   // the file or its folder could not be written
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
    // The library file was refused at load (another plug-in's class key): it is never
    // written, the path being kept only to name it.
    bool LibraryFileRefused() const { return m_refused; }
    // The first preset section of the library file that the load left unread (a section
    // lacking a key, the cap, no memory, or a file without our header), 0 when none. Saves
    // carry these sections over, renumbered after the library's own.
    int32_t FirstUnreadSection() const { return m_firstUnread; }

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
    // record is freed and the library is unchanged; a record without data text is refused.
    // A record that names a bank the library holds takes that bank's spelling.
    AddResult AddPreset(std::unique_ptr<PresetRecord> record);
    // Takes the record out of the working library and frees it; currentId becomes -1 when
    // it named that record. False (nothing freed) when it is not there.
    bool DeletePreset(PresetRecord* record);
    // Frees every record of the working library, from the last to the first; currentId
    // becomes -1.
    void DeleteAllPresets();
    // The first record with that identifier, or null.
    PresetRecord* FindById(int32_t id) const;
    // The record that is the same preset as like (PresetRecord::SameAs): the one with the
    // identifier preferId if it is, else the first; null when there is none.
    PresetRecord* FindSame(const PresetRecord& like, int32_t preferId = kNoPreset) const;
    // The spelling under which the library holds bank (that of its first record in library
    // order), or bank itself when no record is in that bank. Names entered for a bank go
    // through it, so the spelling already in the file is kept.
    std::string BankSpelling(const char* bank) const;
    // True when a record of the working library has the same name, bank and data text, each
    // compared without regard to ASCII case.
    bool IsDuplicate(const PresetRecord& record) const;
    // Stable bubble sort: banked presets first, then by bank name, then by preset name with
    // empty names last; names compared without regard to ASCII case.
    void SortLibrary();

    // Opens an editing session: the working library becomes a fresh copy of itself and the
    // records as they were, with currentId, are kept as the backup. False when the copy could
    // not be made; the working library is then untouched and RestoreBackup does nothing.
    bool BeginEditing();
    // Returns to the library and currentId as they were at BeginEditing and closes the
    // session; the edited records are freed at the next BeginEditing or with the library.
    // Does nothing without an open session (none was begun, it failed, or it was closed).
    void RestoreBackup();
    // Closes the session keeping the edits (after the manager's Save).
    void EndEditing();

    // Reads the header's "CLSID" and compares it with ClassKey(), and with AltClassKey() when
    // acceptAlternate is set (import), without regard to case.
    FileCheck CheckPresetFile(const std::string& path, bool acceptAlternate) const;
    // Replaces the working library by the presets of the library file at path (empty: no
    // file), sorted, and notes the file's stamp. A file without our header gives an empty
    // library silently; a file of another plug-in (the alternate key included) gives an
    // empty library, is remembered as refused and the user is told so. A read cut short
    // (FirstUnreadSection) is told once, naming the file and the section. Messages have no
    // owner window. Ends any editing session; currentId is left as it is.
    void LoadPresetLibrary(const char* classKey, const std::string& path);
    // True when the library file is no longer what LoadPresetLibrary read or the last save
    // wrote (another editor saved it): saving now would drop that editor's presets.
    bool FileChangedSinceRead() const;
    // Reads the library file again (as LoadPresetLibrary does, messages included), keeps the
    // unsaved presets (TakeUpUnsaved) and the current preset current by its name, bank and
    // data.
    void ReloadLibrary();
    // Copies of the records whose save failed (PresetRecord::unsaved), in library order.
    std::vector<PresetRecord> UnsavedPresets() const;
    // Brings back presets whose save failed, onto a library read from the file: one the file
    // now holds as it is (another editor saved it) is dropped; new settings of a preset
    // replace those of the preset the file still holds with the old ones; the others are
    // added. They stay unsaved, so the next successful save writes them. Sorts the library.
    void TakeUpUnsaved(const std::vector<PresetRecord>& presets);
    // Appends the sections Preset1, Preset2, ... of the file, up to the first section that
    // lacks a key. With import set, each record that duplicates one already present is
    // appended only if the user says so. Does not sort.
    ReadSummary ReadPresets(const std::string& path, bool import);
    // The message for a read that summary says was cut short, naming path and the section.
    std::string ReadStopText(const std::string& path, const ReadSummary& summary) const;
    // Writes Version, Name, Bank and Data, in this order, into section "Preset<number>".
    // False when a write failed.
    bool WritePresetSection(const std::string& path, int32_t number, const PresetRecord& record);

    // Rewrites the whole working library into the file: the old preset sections (Preset1..
    // up to the first gap) go, the header gets DefaultPreset=1, the records follow as
    // Preset1, Preset2, ...; other sections stay. The new file is written beside the old one
    // and then replaces it in one step, so a failure leaves the old file whole. For the
    // library file: never when it was refused or now holds another plug-in's key, not when
    // it changed since it was read unless overwriteChanged is set (ask the user first), and
    // the sections the load left unread are carried over after the records. False, with
    // LastSaveError() set, when nothing was written; the library in memory stays as it is.
    // Once the library file is written, no record is unsaved any more.
    bool SaveLibrary(const char* classKey, const std::string& path, bool overwriteChanged = false);
    // The export of a bank or of one preset: writes PluginName and CLSID and then the records
    // as Preset1..Preset<k>, after deleting the file's old preset sections, in the same safe
    // way as SaveLibrary. False, with LastSaveError() set, when nothing was written.
    bool WritePresetFile(const char* classKey, const std::string& path,
                         const std::vector<const PresetRecord*>& records);

    // The presets menu's Add: when the library file changed since it was read, it is read
    // again first so that another editor's presets stay; then the record is appended, made
    // current, the library sorted and saved. kNoData (nothing added, nothing written) for a
    // null record or one without data. On kSaveFailed the preset stays, marked unsaved.
    AddResult AddPresetAndSave(std::unique_ptr<PresetRecord> record);
    // The presets menu's Update: replaces the data of the record with that identifier by
    // data (the old text goes only once the new one exists) and sets its version to 3, then
    // sorts and saves. When the file changed since it was read, it is read again first and
    // the update goes to the record with the old one's name, bank and data; should the other
    // editor have deleted it, it is added again with the new data, so the user's settings
    // are not lost. The updated record is current afterwards. Record pointers taken before
    // a reload (here and in AddPresetAndSave) no longer hold. On kSaveFailed the new data
    // stays, marked unsaved.
    UpdateResult UpdatePresetAndSave(int32_t id, const char* data);

    SaveError LastSaveError() const { return m_lastSaveError; }
    // "Unable to save the presets to <path>" and a line with the reason, for the last failed
    // save (its path, which may be an export file). The callers show it with Caption(), owned
    // by their window.
    std::string SaveErrorText() const;
    // The question before a save that would overwrite another editor's changes.
    std::string OverwriteQuestionText() const;

private:
    static void FreeAll(CPresetList& list);
    bool IsLibraryPath(const std::string& path) const;
    // Refused at load, or holding another plug-in's key now.
    bool LibraryFileForeign() const;
    bool Fail(SaveError error);
    AddResult Append(std::unique_ptr<PresetRecord> record);
    bool WriteHeader(const char* classKey, const std::string& path);
    // Writes the records into a copy of path and puts it in place: the rewrite shared by
    // SaveLibrary and WritePresetFile. Carries over the sections from firstUnread (0: none)
    // and returns the number they start at now.
    bool Rewrite(const char* classKey, const std::string& path,
                 const std::vector<const PresetRecord*>& records, bool wholeLibrary,
                 int32_t firstUnread, int32_t* unreadNowAt);

    IPresetStore& m_store;
    IPresetMessages& m_messages;
    std::unique_ptr<CPresetList> m_presets;
    std::unique_ptr<CPresetList> m_backup;
    bool m_backupValid = false;
    int32_t m_backupCurrentId = kNoPreset;
    std::string m_presetFilePath;
    PresetFileStamp m_stamp;  // the library file as last read or written
    bool m_refused = false;
    int32_t m_firstUnread = 0;
    SaveError m_lastSaveError = SaveError::kNone;
    std::string m_lastSavePath;
    std::string m_productName;
    std::string m_classKey;
    std::string m_altClassKey;
    std::string m_caption;
    int32_t m_currentId = kNoPreset;
    bool m_modified = false;
};
