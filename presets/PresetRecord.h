// One user preset (PresetRecord), the pointer array that holds a library's records in order
// (CPresetList), and the case-insensitive ASCII comparison every preset match uses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/Result.h"

// Compares like the platform's _stricmp: ASCII letters as lower case, every other byte by its
// unsigned value. Negative, zero or positive.
int AsciiCompareNoCase(const char* a, const char* b);

// Whether two bank names name the same bank: banks match without regard to ASCII case
// everywhere (menu, manager, add dialog, import, export), so "Keys" and "keys" are one bank.
inline bool SameBank(const char* a, const char* b) {
    return AsciiCompareNoCase(a, b) == 0;
}

struct PresetRecord {
    static constexpr size_t kTextChars = 128;  // name and bank buffers, terminator included
    static constexpr uint32_t kCurrentVersion = 3;

    uint32_t version = kCurrentVersion;  // carried, never interpreted
    char name[kTextChars] = {};          // may repeat within a library
    char bank[kTextChars] = {};          // empty: a root preset
    std::string data;                    // the six-integer parameter text
    int32_t id = 0;                      // unique among the records present, 3501 and up
    // Set while the library file lacks this preset as it is, because the save that was to
    // write it failed: the process keeps it (CPresetSessions) until a save succeeds. For new
    // settings of a preset the file already held, fileData is the data the file still has;
    // empty for a preset the file never had.
    bool unsaved = false;
    std::string fileData;

    // Copy at most 127 characters; longer text is cut.
    void SetName(const char* text);
    void SetBank(const char* text);
    bool HasBank() const { return bank[0] != '\0'; }
    // The same preset as other: the same name and data, and the same bank.
    bool SameAs(const PresetRecord& other) const;
    // Replaces the data text by a copy of text, the old text going only once the copy
    // exists. False, and the data unchanged, for no text, an empty one or no memory.
    bool ReplaceData(const char* text);
};

// A preset the user enters: name and bank through NormalisePresetName, the data copied,
// version 3, no identifier yet. Null when there is no data text (the settings could not be
// obtained) or no memory, so that nothing is added without data.
std::unique_ptr<PresetRecord> NewPresetRecord(const char* name, const char* bank,
                                              const char* data);

// The library's records in order. The list holds pointers only: removing a record does not
// free it, and whoever owns the records (CPresetLibrary) frees them. Slots grow to exactly
// the index stored at, one per append, and are never given back.
class CPresetList {
public:
    CPresetList() = default;
    ~CPresetList();
    CPresetList(const CPresetList&) = delete;
    CPresetList& operator=(const CPresetList&) = delete;

    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }
    bool Empty() const { return m_count == 0; }
    // The record at index, null outside 0..Count()-1 (or for a slot skipped by SetAt).
    PresetRecord* At(int32_t index) const;

    // Stores at index: at or beyond the capacity the slots are reallocated to exactly
    // index + 1 (skipped slots hold null); at or beyond the count the count becomes
    // index + 1. kErrInvalidArg for a negative index, kErrOutOfMemory when the slots cannot
    // grow (the list is then unchanged).
    tw::Result SetAt(int32_t index, PresetRecord* record);
    tw::Result Append(PresetRecord* record) { return SetAt(m_count, record); }
    // Takes the first slot holding record out, moving the later ones down. False when the
    // record is not in the list. The record is not freed.
    bool Remove(const PresetRecord* record);
    // Exchanges the contents of two lists (the backup swap).
    void Swap(CPresetList& other);

private:
    PresetRecord** m_items = nullptr;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
};
