// Reading a whole file into memory, and writing one so that a failure leaves the old file.
#pragma once
#include <cstddef>
#include <string>

// The file's bytes. False with a one-line error naming the file.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// Writes the bytes beside the target and renames them over it, so a failure leaves the target
// as it was. False with a one-line error naming the file.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* error);
inline bool WriteWholeFile(const std::string& path, const std::string& text, std::string* error) {
    return WriteWholeFile(path, text.data(), text.size(), error);
}
