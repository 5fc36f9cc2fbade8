// The block processor's audio formats.
#include "engine/FormatRules.h"

#include <cstring>

namespace {

constexpr uint32_t kWaveFormatCoreBytes = 16;  // up to wBitsPerSample
constexpr uint32_t kCbSizeOffset = 16;
constexpr uint32_t kValidBitsOffset = 18;
// Bytes 4..15 of the subformat GUIDs that carry a plain tag in their first four bytes.
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Frames hold one sample of the format's size per channel.
bool HasPackedFrames(const WaveFormat& f) {
    return f.nBlockAlign == f.wBitsPerSample / 8 * f.nChannels;
}

}  // namespace

WaveFormat MakeWaveFormat(uint16_t tag, uint16_t channels, uint32_t samplesPerSec,
                          uint16_t bitsPerSample) {
    WaveFormat format = {};
    format.wFormatTag = tag;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.nBlockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    format.nAvgBytesPerSec = samplesPerSec * format.nBlockAlign;
    format.wBitsPerSample = bitsPerSample;
    format.cbSize = 0;
    return format;
}

bool IsProcessableSampleLayout(uint16_t tag, uint16_t bitsPerSample, uint16_t channels) {
    if (channels != 1 && channels != 2) return false;
    if (tag == kWaveFormatPcm) return bitsPerSample == 16;
    if (tag == kWaveFormatIeeeFloat) return bitsPerSample == 32 || bitsPerSample == 64;
    return false;
}

bool IsProcessableFormat(const WaveFormat& f) {
    return IsProcessableSampleLayout(f.wFormatTag, f.wBitsPerSample, f.nChannels) &&
           f.nSamplesPerSec > 0 && HasPackedFrames(f);
}

WaveFormat StereoOutputOf(const WaveFormat& input) {
    return MakeWaveFormat(input.wFormatTag, 2, input.nSamplesPerSec, input.wBitsPerSample);
}

bool IsProcessablePair(const WaveFormat& in, const WaveFormat& out) {
    const WaveFormat stereo = StereoOutputOf(in);
    return IsProcessableSampleLayout(in.wFormatTag, in.wBitsPerSample, in.nChannels) &&
           HasPackedFrames(in) && out.wFormatTag == stereo.wFormatTag &&
           out.wBitsPerSample == stereo.wBitsPerSample && out.nBlockAlign == stereo.nBlockAlign;
}

bool ReadExtensibleFields(const uint8_t* block, uint32_t bytes, ExtensibleFields* fields) {
    if (!block || bytes < kWaveFormatExtensibleBytes ||
        Le16(block + kCbSizeOffset) < kWaveFormatExtensibleExtraBytes)
        return false;
    const uint8_t* guid = block + kSubFormatOffset;
    const uint32_t tag = Le32(guid);
    fields->validBits = Le16(block + kValidBitsOffset);
    fields->plainTag =
        tag <= 0xFFFF && std::memcmp(guid + 4, kSubFormatTail, sizeof(kSubFormatTail)) == 0
            ? static_cast<uint16_t>(tag)
            : 0;
    return true;
}

bool PlainFormatOfBlock(const uint8_t* block, uint32_t bytes, WaveFormat* plain) {
    if (!block || bytes < kWaveFormatCoreBytes) return false;
    WaveFormat core = {};
    std::memcpy(&core, block, kWaveFormatCoreBytes);
    if (core.wFormatTag == kWaveFormatExtensible) {
        ExtensibleFields fields = {};
        if (!ReadExtensibleFields(block, bytes, &fields) || fields.validBits != core.wBitsPerSample ||
            (fields.plainTag != kWaveFormatPcm && fields.plainTag != kWaveFormatIeeeFloat))
            return false;
        core.wFormatTag = fields.plainTag;
    }
    *plain = core;
    return true;
}
