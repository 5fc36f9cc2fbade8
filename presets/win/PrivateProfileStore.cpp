// CPrivateProfileStore: GetPrivateProfileStringA and WritePrivateProfileStringA, one key at
// a time.
#include "presets/win/PrivateProfileStore.h"

#include <windows.h>

#include <vector>

std::string CPrivateProfileStore::GetString(const std::string& path, const char* section,
                                            const char* key, const char* defaultText,
                                            size_t maxChars) {
    // The reader cuts to its buffer, which holds the terminator too.
    std::vector<char> buffer(maxChars + 1);
    const DWORD length = GetPrivateProfileStringA(section, key, defaultText, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length < buffer.size() ? length : maxChars);
}

void CPrivateProfileStore::WriteString(const std::string& path, const char* section,
                                       const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, path.c_str());
}

void CPrivateProfileStore::DeleteSection(const std::string& path, const char* section) {
    WritePrivateProfileStringA(section, nullptr, nullptr, path.c_str());
}
