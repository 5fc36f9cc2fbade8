// Sample formats of the renderer's WAV files.
#include "host/WavFormat.h"

#include <cstdio>

std::string UnsupportedFormatMessage(uint16_t tag, uint16_t bitsPerSample, uint16_t channels,
                                     const std::string& tagText) {
    char hex[8];
    std::snprintf(hex, sizeof(hex), "0x%04X", tag);
    char text[160];
    std::snprintf(text, sizeof(text), "unsupported format: tag %s, %u bits, %u channel%s",
                  tagText.empty() ? hex : tagText.c_str(), bitsPerSample, channels,
                  channels == 1 ? "" : "s");
    return text;
}

std::string DescribeFormat(const WaveFormat& format) {
    std::string sample;
    if (format.wFormatTag == kWaveFormatPcm)
        sample = std::to_string(format.wBitsPerSample) + "-bit PCM";
    else if (format.wFormatTag == kWaveFormatIeeeFloat)
        sample = std::to_string(format.wBitsPerSample) + "-bit float";
    else {
        char tag[48];
        std::snprintf(tag, sizeof(tag), "format 0x%04X, %u-bit", format.wFormatTag,
                      format.wBitsPerSample);
        sample = tag;
    }
    std::string channels = format.nChannels == 1   ? "mono"
                           : format.nChannels == 2 ? "stereo"
                                                   : std::to_string(format.nChannels) + " channels";
    return sample + ", " + channels + ", " + std::to_string(format.nSamplesPerSec) + " Hz";
}
