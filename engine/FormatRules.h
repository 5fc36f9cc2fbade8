// The audio formats the block processor runs, the stereo format it delivers for an input, and
// the plain format a WAVE_FORMAT_EXTENSIBLE record stands for. The filter's negotiation, its
// receive operation and the renderer's WAV files all go by these rules.
#pragma once
#include <cstdint>

#include "engine/WaveFormat.h"

// A plain (non-extensible) format record: block alignment and byte rate follow from the
// sample size, cbSize 0.
WaveFormat MakeWaveFormat(uint16_t tag, uint16_t channels, uint32_t samplesPerSec,
                          uint16_t bitsPerSample);

// 16-bit PCM, 32-bit or 64-bit IEEE float, in one or two channels.
bool IsProcessableSampleLayout(uint16_t tag, uint16_t bitsPerSample, uint16_t channels);

// A format the processor can stream: a processable sample layout at a sample rate above 0,
// frames packed one sample per channel (block alignment = bytes per sample x channels).
// The byte rate and cbSize are not looked at.
bool IsProcessableFormat(const WaveFormat& format);

// The format delivered for an input: the same sample type and rate in two channels.
WaveFormat StereoOutputOf(const WaveFormat& input);

// Whether the processor can run from input to output: a processable sample layout with
// packed frames in, and out the input's sample type in stereo frames. The rates are the
// negotiation's business and are not looked at.
bool IsProcessablePair(const WaveFormat& input, const WaveFormat& output);

// WAVE_FORMAT_EXTENSIBLE: the 18-byte record with cbSize of at least 22, then the valid bits
// per sample, the channel mask and the subformat GUID (40 bytes in all).
constexpr uint32_t kWaveFormatExtensibleBytes = 40;
constexpr uint16_t kWaveFormatExtensibleExtraBytes = 22;
constexpr uint32_t kSubFormatOffset = 24;

// The extensible fields of a format block that say what its samples are: the valid bits and
// the subformat GUID reduced to the plain tag it stands for.
struct ExtensibleFields {
    uint16_t validBits;
    uint16_t plainTag;  // 0 when the subformat is no {tag-0000-0010-8000-00AA00389B71}
};

// Reads the fields of an extensible format block of `bytes` bytes (little-endian, as stored
// in files and media types). False when the block is too short to hold them: under 40 bytes,
// or a cbSize under 22.
bool ReadExtensibleFields(const uint8_t* block, uint32_t bytes, ExtensibleFields* fields);

// The plain record a media type's format block stands for. A plain block (any tag but
// WAVE_FORMAT_EXTENSIBLE, at least 16 bytes) gives its first 16 bytes as they are. An
// extensible block gives its record with the subformat's tag when that is PCM or IEEE float
// and the valid bits fill the container; other extensible blocks have no plain equivalent
// (false). cbSize is 0 in the result.
bool PlainFormatOfBlock(const uint8_t* block, uint32_t bytes, WaveFormat* plain);
