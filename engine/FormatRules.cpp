// The block processor's audio formats.
#include "engine/FormatRules.h"

namespace {

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
