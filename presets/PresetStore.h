// What the preset library needs of the outside world: a preset file store with the
// private-profile functions' behaviour, and a way to tell or ask the user something.
#pragma once
#include <cstddef>
#include <string>

// Key-at-a-time access to INI files. Section and key names match without regard to case; a
// missing file, section or key reads as the default; a value longer than maxChars comes back
// cut to maxChars characters (the default too). Writes report nothing: a file that cannot be
// written simply keeps its old contents.
class IPresetStore {
public:
    virtual ~IPresetStore() = default;
    virtual std::string GetString(const std::string& path, const char* section, const char* key,
                                  const char* defaultText, size_t maxChars) = 0;
    // Sets key to value, adding the key at the end of its section and a new section at the
    // end of the file.
    virtual void WriteString(const std::string& path, const char* section, const char* key,
                             const char* value) = 0;
    // Removes the section with all its keys.
    virtual void DeleteSection(const std::string& path, const char* section) = 0;
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
