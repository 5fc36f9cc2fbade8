// What the preset library needs of the outside world: a preset file store with the
// private-profile functions' behaviour, and a way to tell or ask the user something.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// What a file held when it was looked at: two stamps differ when the file appeared,
// disappeared or its bytes changed in between.
struct PresetFileStamp {
    bool exists = false;
    uint64_t size = 0;
    uint64_t hash = 0;  // of the whole content

    bool operator==(const PresetFileStamp& other) const {
        return exists == other.exists && size == other.size && hash == other.hash;
    }
    bool operator!=(const PresetFileStamp& other) const { return !(*this == other); }
};

// Key-at-a-time access to INI files, plus the file operations a safe rewrite needs. Section
// and key names match without regard to case; a missing file, section or key reads as the
// default; a value longer than maxChars comes back cut to maxChars characters (the default
// too). Every write reports whether it reached the file.
class IPresetStore {
public:
    virtual ~IPresetStore() = default;
    virtual std::string GetString(const std::string& path, const char* section, const char* key,
                                  const char* defaultText, size_t maxChars) = 0;
    // Sets key to value, adding the key at the end of its section and a new section at the
    // end of the file. False when the file could not be written.
    virtual bool WriteString(const std::string& path, const char* section, const char* key,
                             const char* value) = 0;
    // Removes the section with all its keys. False when the file could not be written.
    virtual bool DeleteSection(const std::string& path, const char* section) = 0;

    // The file's stamp as it is now; a missing file gives the default stamp.
    virtual PresetFileStamp Stamp(const std::string& path) = 0;
    // Creates a new file of its own name in the folder of path, holding a copy of path's
    // content (empty when path does not exist), and returns its full path; empty when it
    // could not be created.
    virtual std::string CreateTempCopy(const std::string& path) = 0;
    // Moves from over to in one step, replacing to; false (both left as they were) when it
    // could not be done.
    virtual bool MoveReplacing(const std::string& from, const std::string& to) = 0;
    // Deletes the file; false when it could not.
    virtual bool RemoveFile(const std::string& path) = 0;
};

// Message boxes of the preset code, all with the library's caption. Which window owns them
// is the shell's business: kNone for the library load, kManager for everything asked while
// the preset manager works on the library.
enum class PresetMessageOwner { kNone, kManager };

class IPresetMessages {
public:
    virtual ~IPresetMessages() = default;
    // An error the user must see (error icon, OK).
    virtual void ShowError(PresetMessageOwner owner, const std::string& text) = 0;
    // A question answered Yes (true) or No (false).
    virtual bool AskYesNo(PresetMessageOwner owner, const std::string& text) = 0;
};
