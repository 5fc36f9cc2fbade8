// Sample formats of the renderer's WAV files.
#include "host/wav/WavFormat.h"

#include <cstdio>

bool IsWavSampleLayout(uint16_t tag, uint16_t bitsPerSample, uint16_t channels) {
    if (channels != 1 && channels != 2) return false;
    if (tag == kWaveFormatPcm)
        return bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 ||
               bitsPerSample == 32;
    if (tag == kWaveFormatIeeeFloat) return bitsPerSample == 32 || bitsPerSample == 64;
    return false;
}

std::string UnsupportedFormatMessage(uint16_t tag, uint16_t bitsPerSample, uint16_t channels,
                                     const std::string& tagText) {
    char hex[8];
    std::snprintf(hex, sizeof(hex), "0x%04X", tag);
    char text[200];
    std::snprintf(text, sizeof(text), "unsupported format: tag %s, %u bits, %u channel%s%s",
                  tagText.empty() ? hex : tagText.c_str(), bitsPerSample, channels,
                  channels == 1 ? "" : "s",
                  channels > 2 ? " (only mono and stereo files can be rendered)" : "");
    return text;
}

std::string DescribeSampleType(const WaveFormat& format) {
    if (format.wFormatTag == kWaveFormatPcm)
        return std::to_string(format.wBitsPerSample) + "-bit PCM";
    if (format.wFormatTag == kWaveFormatIeeeFloat)
        return std::to_string(format.wBitsPerSample) + "-bit float";
    char tag[48];
    std::snprintf(tag, sizeof(tag), "format 0x%04X, %u-bit", format.wFormatTag,
                  format.wBitsPerSample);
    return tag;
}

std::string DescribeFormat(const WaveFormat& format) {
    std::string channels = format.nChannels == 1   ? "mono"
                           : format.nChannels == 2 ? "stereo"
                                                   : std::to_string(format.nChannels) + " channels";
    return DescribeSampleType(format) + ", " + channels + ", " +
           std::to_string(format.nSamplesPerSec) + " Hz";
}
