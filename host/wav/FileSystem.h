// The few file operations whose portable forms are missing or too narrow on one of the
// platforms: 64-bit seeking and replacing a file by renaming another over it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// How much an audio file's stream buffers: the C libraries' default (4 KiB on Windows) makes
// one system call per block of a render, which under Wine costs more than processing it.
constexpr size_t kAudioFileBufferBytes = size_t(1) << 18;

// fseek/ftell with 64-bit offsets (long is 32 bits on Windows). SeekFile returns false on
// failure; TellFile returns -1.
bool SeekFile(std::FILE* file, int64_t offset, int origin);
int64_t TellFile(std::FILE* file);

// Renames `source` to `target`, replacing an existing target in one step where the platform
// allows it. On failure returns false with the platform's reason; source is left in place.
bool MoveFileOver(const std::string& source, const std::string& target, std::string* reason);
