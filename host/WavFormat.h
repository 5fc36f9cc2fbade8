// The sample formats the renderer reads and writes (16-bit PCM, 32- and 64-bit IEEE float,
// mono or stereo) and their descriptions for messages and the summary.
#pragma once
#include <cstdint>
#include <string>

#include "engine/WaveFormat.h"

// A plain (non-extensible) format record: block alignment and byte rate derived, cbSize 0.
WaveFormat MakeWaveFormat(uint16_t tag, uint16_t channels, uint32_t samplesPerSec,
                          uint16_t bitsPerSample);

// True for PCM 16-bit, float 32-bit and float 64-bit with one or two channels. Only the
// tag, bit depth and channel count are looked at.
bool IsRenderableFormat(uint16_t tag, uint16_t bitsPerSample, uint16_t channels);

// "unsupported format: tag 0x0001, 24 bits, 2 channels"; tagText replaces the hexadecimal
// tag when given (for extensible formats).
std::string UnsupportedFormatMessage(uint16_t tag, uint16_t bitsPerSample, uint16_t channels,
                                     const std::string& tagText = std::string());

// "16-bit PCM, stereo, 44100 Hz", "32-bit float, mono, 48000 Hz".
std::string DescribeFormat(const WaveFormat& format);
