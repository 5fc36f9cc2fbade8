// The sample formats of the renderer's WAV files: integer PCM of 8 (unsigned), 16, 24 or 32
// bits and IEEE float of 32 or 64 bits, mono or stereo. The plug-in itself processes only
// 16-bit PCM and 32/64-bit float (engine/FormatRules.h); the renderer converts the others.
// Here are the rule and the descriptions for messages and the summary.
#pragma once
#include <cstdint>
#include <string>

#include "engine/FormatRules.h"
#include "engine/WaveFormat.h"

// A sample type the renderer reads and writes, in one or two channels.
bool IsWavSampleLayout(uint16_t tag, uint16_t bitsPerSample, uint16_t channels);

// "unsupported format: tag 0x0001, 12 bits, 2 channels"; tagText replaces the hexadecimal
// tag when given (for extensible formats). A format of more than two channels says so.
std::string UnsupportedFormatMessage(uint16_t tag, uint16_t bitsPerSample, uint16_t channels,
                                     const std::string& tagText = std::string());

// "16-bit PCM", "32-bit float".
std::string DescribeSampleType(const WaveFormat& format);
// "16-bit PCM, stereo, 44100 Hz", "32-bit float, mono, 48000 Hz".
std::string DescribeFormat(const WaveFormat& format);
