// lv2_wav_tool: the host renders' helper. `make FILE CHANNELS SECONDS` writes the demo signal
// (its left channel for one channel) as a 32-bit float WAV; `same A B` compares two WAV files'
// formats and sample data, whatever other chunks their writers add, and names the first
// difference.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/render/DemoSignal.h"
#include "engine/FormatRules.h"
#include "host/wav/WavReader.h"
#include "host/wav/WavWriter.h"

namespace {

int Make(const std::string& path, int channels, double seconds) {
    const uint64_t frames = DemoFrameCount(kDemoSampleRate, seconds);
    std::vector<float> stereo(2 * frames), samples;
    GenerateDemoSignal(kDemoSampleRate, frames, 0, stereo.data(), frames);
    for (uint64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) samples.push_back(stereo[2 * i + c]);
    CWavWriter writer;
    if (!writer.Open(path, MakeWaveFormat(kWaveFormatIeeeFloat, channels, kDemoSampleRate, 32)) ||
        !writer.Write(samples.data(), frames) || !writer.Finish()) {
        std::fprintf(stderr, "%s\n", writer.Error().c_str());
        return 1;
    }
    return 0;
}

bool ReadAll(const std::string& path, WaveFormat* format, std::vector<unsigned char>* data) {
    CWavReader reader;
    if (!reader.Open(path)) {
        std::fprintf(stderr, "%s\n", reader.Error().c_str());
        return false;
    }
    *format = reader.Format();
    data->resize(reader.FrameCount() * format->nBlockAlign);
    return reader.Read(data->data(), reader.FrameCount()) == reader.FrameCount();
}

int Same(const std::string& a, const std::string& b) {
    WaveFormat fa, fb;
    std::vector<unsigned char> da, db;
    if (!ReadAll(a, &fa, &da) || !ReadAll(b, &fb, &db)) return 2;
    if (fa.wFormatTag != fb.wFormatTag || fa.nChannels != fb.nChannels ||
        fa.nSamplesPerSec != fb.nSamplesPerSec || fa.wBitsPerSample != fb.wBitsPerSample) {
        std::fprintf(stderr, "%s and %s have different formats\n", a.c_str(), b.c_str());
        return 1;
    }
    if (da.size() != db.size()) {
        std::fprintf(stderr, "%s has %zu frames, %s %zu\n", a.c_str(), da.size() / fa.nBlockAlign,
                     b.c_str(), db.size() / fb.nBlockAlign);
        return 1;
    }
    for (size_t i = 0; i < da.size(); ++i) {
        if (da[i] != db[i]) {
            std::fprintf(stderr, "%s and %s differ first in frame %zu\n", a.c_str(), b.c_str(),
                         i / fa.nBlockAlign);
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "make") == 0)
        return Make(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    if (argc == 4 && std::strcmp(argv[1], "same") == 0) return Same(argv[2], argv[3]);
    std::fprintf(stderr, "usage: lv2_wav_tool make FILE CHANNELS SECONDS | same A B\n");
    return 2;
}
