// Reading and writing whole files.
#include "host/wav/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/wav/FileSystem.h"

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    bytes->clear();
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) *error = path + ": read error";
    return !failed;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* error) {
    const std::string temp = path + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        *error = path + ": cannot create: " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    std::string reason;
    if (!written || !closed) {
        std::remove(temp.c_str());
        *error = path + ": write error";
        return false;
    }
    if (!MoveFileOver(temp, path, &reason)) {
        std::remove(temp.c_str());
        *error = path + ": cannot replace: " + reason;
        return false;
    }
    return true;
}
