// The preset file store on the platform's private-profile (INI) functions, ANSI code page.
#pragma once
#include "presets/PresetStore.h"

class CPrivateProfileStore : public IPresetStore {
public:
    std::string GetString(const std::string& path, const char* section, const char* key,
                          const char* defaultText, size_t maxChars) override;
    void WriteString(const std::string& path, const char* section, const char* key,
                     const char* value) override;
    // Writing a section with no key removes it.
    void DeleteSection(const std::string& path, const char* section) override;
};
