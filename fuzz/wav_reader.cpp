// The renderer's WAV reading: the input is a whole file (RIFF chunks in any order and size,
// truncated or not, plain or WAVE_FORMAT_EXTENSIBLE). CWavReader takes a path, so the bytes
// go into an in-memory file opened through /proc/self/fd. A file it accepts must describe
// frames it can deliver: every frame reads, is the bytes after a data chunk's header,
// converts to the working float type and back to integers, and the frames written out by
// CWavWriter read back the same.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavFormat.h"
#include "host/wav/WavReader.h"
#include "host/wav/WavWriter.h"

namespace {

// One in-memory file for the process, rewritten for every input.
const std::string& InputPath(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("fuzz-input.wav", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(fd >= 0 && ftruncate(fd, 0) == 0);
    FUZZ_CHECK(size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    return path;
}

std::string OutputPath() {
    return (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/twphase-fuzz-") +
           std::to_string(getpid()) + ".wav";
}

std::vector<uint8_t> ReadAll(CWavReader& reader) {
    const size_t frameBytes = reader.Format().nBlockAlign;
    std::vector<uint8_t> frames(static_cast<size_t>(reader.FrameCount()) * frameBytes);
    size_t done = 0;
    // Blocks of an odd size, so the last one is short.
    while (done < reader.FrameCount()) {
        const size_t got = reader.Read(frames.data() + done * frameBytes, 7);
        FUZZ_CHECK(got > 0 && got <= 7);
        done += got;
    }
    FUZZ_CHECK(reader.Read(frames.data(), 7) == 0 && reader.FramesRead() == reader.FrameCount());
    return frames;
}

WaveFormat SampleType(uint16_t tag, uint16_t bits, const WaveFormat& like) {
    WaveFormat f = like;
    f.wFormatTag = tag;
    f.wBitsPerSample = bits;
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CWavReader reader;
    if (!reader.Open(InputPath(data, size))) {
        FUZZ_CHECK(!reader.Error().empty());
        return 0;
    }
    const WaveFormat format = reader.Format();
    FUZZ_CHECK(IsWavSampleLayout(format.wFormatTag, format.wBitsPerSample, format.nChannels));
    FUZZ_CHECK(format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8);
    FUZZ_CHECK(format.nSamplesPerSec > 0);
    // The frames lie inside the file.
    FUZZ_CHECK(reader.FrameCount() * format.nBlockAlign + 12 + 8 <= size);

    const std::vector<uint8_t> frames = ReadAll(reader);
    FUZZ_CHECK(reader.Error().empty());
    // They are the bytes that follow a data chunk's header.
    bool found = frames.empty();
    for (size_t body = 20; !found && body + frames.size() <= size; ++body)
        found = std::memcmp(data + body - 8, "data", 4) == 0 &&
                std::memcmp(data + body, frames.data(), frames.size()) == 0;
    FUZZ_CHECK(found);
    const size_t samples = static_cast<size_t>(reader.FrameCount()) * format.nChannels;

    // Into 64-bit float, as the renderer feeds the plug-in; integers land in [-1, 1).
    std::vector<double> working(samples);
    const WaveFormat f64 = SampleType(kWaveFormatIeeeFloat, 64, format);
    CSampleConverter(format, f64, false).Convert(frames.data(), working.data(), samples);
    if (format.wFormatTag == kWaveFormatPcm)
        for (double v : working) FUZZ_CHECK(v >= -1.0 && v < 1.0);
    // Out again to each integer type, with dither: NaN, infinities and overload must clip.
    std::vector<uint8_t> narrowed(samples * 4);
    for (uint16_t bits : {8, 16, 24, 32})
        CSampleConverter(f64, SampleType(kWaveFormatPcm, bits, format), true)
            .Convert(working.data(), narrowed.data(), samples);

    // What the writer writes reads back as it was.
    const std::string out = OutputPath();
    CWavWriter writer;
    FUZZ_CHECK(writer.Open(out, format));
    FUZZ_CHECK(writer.Write(frames.data(), static_cast<size_t>(reader.FrameCount())));
    FUZZ_CHECK(writer.Finish());
    CWavReader again;
    FUZZ_CHECK(again.Open(out));
    FUZZ_CHECK(std::memcmp(&again.Format(), &format, sizeof format) == 0);
    FUZZ_CHECK(!again.IsTruncated() && again.FrameCount() == reader.FrameCount());
    FUZZ_CHECK(ReadAll(again) == frames);
    std::remove(out.c_str());
    return 0;
}
