// CPrivateProfileStore: GetPrivateProfileStringA and WritePrivateProfileStringA, one key at
// a time, and the file operations of the safe rewrite.
#include "presets/win/PrivateProfileStore.h"

#include <windows.h>

#include <vector>

namespace {

// Writing nothing to nothing flushes and drops the functions' cached copy of the file, so
// that what is on disk is complete and the next read sees the file as it now is.
void FlushProfile(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

}  // namespace

std::string CPrivateProfileStore::GetString(const std::string& path, const char* section,
                                            const char* key, const char* defaultText,
                                            size_t maxChars) {
    // The reader cuts to its buffer, which holds the terminator too.
    std::vector<char> buffer(maxChars + 1);
    const DWORD length = GetPrivateProfileStringA(section, key, defaultText, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length < buffer.size() ? length : maxChars);
}

bool CPrivateProfileStore::WriteString(const std::string& path, const char* section,
                                       const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, path.c_str()) != FALSE;
}

bool CPrivateProfileStore::DeleteSection(const std::string& path, const char* section) {
    return WritePrivateProfileStringA(section, nullptr, nullptr, path.c_str()) != FALSE;
}

PresetFileStamp CPrivateProfileStore::Stamp(const std::string& path) {
    PresetFileStamp stamp;
    FlushProfile(path);
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return stamp;
    stamp.exists = true;
    uint64_t hash = 14695981039346656037ull;
    unsigned char buffer[16384];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        stamp.size += got;
        for (DWORD i = 0; i < got; ++i) hash = (hash ^ buffer[i]) * 1099511628211ull;
    }
    CloseHandle(file);
    stamp.hash = hash;
    return stamp;
}

std::string CPrivateProfileStore::CreateTempCopy(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "twp", 0, temp)) return {};
    FlushProfile(path);
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // The copy takes the file's attributes; a read-only library still refuses the
        // replace, but the copy itself must take the writes.
        if (!CopyFileA(path.c_str(), temp, FALSE) ||
            !SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL)) {
            SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(temp);
            return {};
        }
    }
    return temp;
}

bool CPrivateProfileStore::MoveReplacing(const std::string& from, const std::string& to) {
    // Windows refuses to replace a read-only file; say so here too, so that a library the
    // user protected stays protected wherever the check would be skipped (Wine as root).
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    FlushProfile(from);
    FlushProfile(to);
    const bool moved = MoveFileExA(from.c_str(), to.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    FlushProfile(to);
    return moved;
}

bool CPrivateProfileStore::RemoveFile(const std::string& path) {
    FlushProfile(path);
    return DeleteFileA(path.c_str()) != FALSE;
}
