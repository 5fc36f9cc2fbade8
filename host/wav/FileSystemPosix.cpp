// File operations on POSIX systems: fseeko/ftello and rename(), which replaces atomically.
#include "host/wav/FileSystem.h"

#include <sys/types.h>

#include <cerrno>
#include <cstring>

static_assert(sizeof(off_t) == 8, "64-bit file offsets required");

bool SeekFile(std::FILE* file, int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t TellFile(std::FILE* file) {
    return static_cast<int64_t>(ftello(file));
}

bool MoveFileOver(const std::string& source, const std::string& target, std::string* reason) {
    if (std::rename(source.c_str(), target.c_str()) == 0) return true;
    *reason = std::strerror(errno);
    return false;
}
