// File operations on Windows: the CRT's 64-bit seek and MoveFileEx, because rename() there
// refuses to replace an existing file.
#include "host/wav/FileSystem.h"

#include <windows.h>

#include "host/wav/win/SystemErrorText.h"

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
    *reason = SystemErrorText(GetLastError());
    return false;
}
