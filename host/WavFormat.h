// The sample formats the renderer reads and writes are those the plug-in processes
// (engine/FormatRules.h: 16-bit PCM, 32- and 64-bit IEEE float, mono or stereo); here are
// their descriptions for messages and the summary.
#pragma once
#include <cstdint>
#include <string>

#include "engine/FormatRules.h"
#include "engine/WaveFormat.h"

// "unsupported format: tag 0x0001, 24 bits, 2 channels"; tagText replaces the hexadecimal
// tag when given (for extensible formats).
std::string UnsupportedFormatMessage(uint16_t tag, uint16_t bitsPerSample, uint16_t channels,
                                     const std::string& tagText = std::string());

// "16-bit PCM, stereo, 44100 Hz", "32-bit float, mono, 48000 Hz".
std::string DescribeFormat(const WaveFormat& format);
