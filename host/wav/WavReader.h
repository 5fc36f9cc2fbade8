// CWavReader: reads a RIFF/WAVE file's sample frames block by block, without loading the
// file. Accepts 8-, 16-, 24- and 32-bit PCM and 32/64-bit float, mono or stereo, also as
// WAVE_FORMAT_EXTENSIBLE. RF64 and files over 4 GiB are refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/WaveFormat.h"

class CWavReader {
public:
    CWavReader() = default;
    ~CWavReader();
    CWavReader(const CWavReader&) = delete;
    CWavReader& operator=(const CWavReader&) = delete;

    // Opens the file and reads its chunks up to the data chunk, skipping chunks it does not
    // know. False, with Error() naming the file and the problem, when it holds no usable audio.
    bool Open(const std::string& path);
    void Close();

    // The format, normalised to a plain tag (kWaveFormatPcm or kWaveFormatIeeeFloat, also for
    // extensible files), block alignment and byte rate derived from it, cbSize 0.
    const WaveFormat& Format() const { return m_format; }
    bool IsExtensible() const { return m_extensible; }

    // Whole frames of the data chunk that the file holds; a trailing partial frame is ignored.
    uint64_t FrameCount() const { return m_frameCount; }
    uint64_t FramesRead() const { return m_framesRead; }

    // The data chunk claims more bytes than the file holds (an interrupted recording). Not an
    // error: the frames present are read, and the caller may report it as a warning.
    bool IsTruncated() const { return m_truncated; }

    // Copies up to maxFrames frames as stored (interleaved, little-endian) into buffer, which
    // holds maxFrames * Format().nBlockAlign bytes. Returns the frames copied, fewer than asked
    // only at the end of the data; after a read error Error() is set.
    size_t Read(void* buffer, size_t maxFrames);

    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& problem);
    bool ParseFmt(const uint8_t* fmt, uint32_t size);

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_error;
    WaveFormat m_format = {};
    bool m_extensible = false;
    bool m_truncated = false;
    uint64_t m_frameCount = 0;
    uint64_t m_framesRead = 0;
};
