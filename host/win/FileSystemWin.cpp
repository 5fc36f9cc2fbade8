// File operations on Windows: the CRT's 64-bit seek and MoveFileEx, because rename() there
// refuses to replace an existing file.
#include "host/FileSystem.h"

#include <windows.h>

bool SeekFile(std::FILE* file, int64_t offset, int origin) {
    return _fseeki64(file, offset, origin) == 0;
}

int64_t TellFile(std::FILE* file) {
    return _ftelli64(file);
}

bool MoveFileOver(const std::string& source, const std::string& target, std::string* reason) {
    if (MoveFileExA(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD code = GetLastError();
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof(text), nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ' || text[length - 1] == '.'))
        text[--length] = '\0';
    *reason = length > 0 ? std::string(text) : "error " + std::to_string(code);
    return false;
}
