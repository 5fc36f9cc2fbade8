// The preset file store on the platform's private-profile (INI) functions, ANSI code page,
// with the file operations of a safe rewrite: a temporary copy beside the file that then
// replaces it through MoveFileExA.
#pragma once
#include "presets/PresetStore.h"

class CPrivateProfileStore : public IPresetStore {
public:
    std::string GetString(const std::string& path, const char* section, const char* key,
                          const char* defaultText, size_t maxChars) override;
    // WritePrivateProfileStringA's result.
    bool WriteString(const std::string& path, const char* section, const char* key,
                     const char* value) override;
    // Writing a section with no key removes it.
    bool DeleteSection(const std::string& path, const char* section) override;
    // Size and an FNV-1a hash of the bytes.
    PresetFileStamp Stamp(const std::string& path) override;
    // GetTempFileNameA in the file's folder ("twp????.tmp"), then CopyFileA when the file
    // exists, the copy made writable.
    std::string CreateTempCopy(const std::string& path) override;
    // MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, after the
    // private-profile functions have let go of both files. A read-only file is not replaced.
    bool MoveReplacing(const std::string& from, const std::string& to) override;
    bool RemoveFile(const std::string& path) override;
};
