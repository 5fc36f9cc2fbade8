// CWavWriter: writes a WAV file through a temporary file beside the target, renamed over the
// target only when the file is complete, so an existing output is never left half-written.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/WaveFormat.h"

class CWavWriter {
public:
    CWavWriter() = default;
    ~CWavWriter();  // abandons a file that was not finished
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // Creates TempPath(path) and writes the header. The format is one CWavReader accepts, with
    // a plain tag (PCM or IEEE float; 24- and 32-bit PCM are written plain too, as most
    // writers do). Float files get a fact chunk, as RIFF asks of non-PCM.
    bool Open(const std::string& path, const WaveFormat& format);

    // Appends frames laid out as the format says (interleaved, little-endian).
    bool Write(const void* frames, size_t frameCount);

    // Fills in the chunk sizes, closes the file and renames it over the target.
    bool Finish();

    // Closes and deletes the temporary file; the target stays as it was.
    void Abandon();

    uint64_t FramesWritten() const { return m_framesWritten; }
    const std::string& Error() const { return m_error; }

    static std::string TempPath(const std::string& path) { return path + ".tmp"; }
    // The most frames of the format a WAV file holds: its sizes are 32-bit.
    static uint64_t MaxFrames(const WaveFormat& format);

private:
    bool Fail(const std::string& message);
    bool WriteBytes(const void* data, size_t bytes);
    bool Patch(uint32_t offset, uint32_t value);  // a little-endian size field

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_error;
    WaveFormat m_format = {};
    uint32_t m_headerBytes = 0;
    uint32_t m_factFramesOffset = 0;  // 0 when there is no fact chunk
    uint32_t m_dataSizeOffset = 0;
    uint64_t m_framesWritten = 0;
};
