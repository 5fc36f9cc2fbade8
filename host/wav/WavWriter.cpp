// CWavWriter: header, streamed data and the size patch-up on completion.
#include "host/wav/WavWriter.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/wav/FileSystem.h"
#include "host/wav/WavFormat.h"

namespace {

constexpr uint32_t kFmtPcmBytes = 16;
constexpr uint32_t kFmtFloatBytes = 18;  // with cbSize = 0
constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFu;

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}
void PutId(std::vector<uint8_t>& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

}  // namespace

uint64_t CWavWriter::MaxFrames(const WaveFormat& format) {
    const bool isFloat = format.wFormatTag == kWaveFormatIeeeFloat;
    // After "RIFF" and its size: "WAVE", the fmt chunk, a float file's fact chunk, the data
    // chunk's header, the data and a pad byte.
    const uint64_t fixedBytes = 4 + 8 + (isFloat ? kFmtFloatBytes + 12 : kFmtPcmBytes) + 8 + 1;
    return format.nBlockAlign ? (kMaxRiffBytes - fixedBytes) / format.nBlockAlign : 0;
}

CWavWriter::~CWavWriter() {
    Abandon();
}

bool CWavWriter::Fail(const std::string& message) {
    m_error = message;
    Abandon();
    return false;
}

void CWavWriter::Abandon() {
    if (!m_file) return;
    std::fclose(m_file);
    m_file = nullptr;
    std::remove(TempPath(m_path).c_str());
}

bool CWavWriter::Open(const std::string& path, const WaveFormat& format) {
    Abandon();
    m_path = path;
    m_error.clear();
    m_framesWritten = 0;
    if (!IsWavSampleLayout(format.wFormatTag, format.wBitsPerSample, format.nChannels) ||
        format.nSamplesPerSec == 0)
        return Fail(
            path + ": " +
            UnsupportedFormatMessage(format.wFormatTag, format.wBitsPerSample, format.nChannels));
    m_format = MakeWaveFormat(format.wFormatTag, format.nChannels, format.nSamplesPerSec,
                             format.wBitsPerSample);
    const bool isFloat = m_format.wFormatTag == kWaveFormatIeeeFloat;

    std::vector<uint8_t> header;
    PutId(header, "RIFF");
    PutLe32(header, 0);  // patched by Finish
    PutId(header, "WAVE");
    PutId(header, "fmt ");
    PutLe32(header, isFloat ? kFmtFloatBytes : kFmtPcmBytes);
    PutLe16(header, m_format.wFormatTag);
    PutLe16(header, m_format.nChannels);
    PutLe32(header, m_format.nSamplesPerSec);
    PutLe32(header, m_format.nAvgBytesPerSec);
    PutLe16(header, m_format.nBlockAlign);
    PutLe16(header, m_format.wBitsPerSample);
    m_factFramesOffset = 0;
    if (isFloat) {
        PutLe16(header, 0);  // cbSize
        PutId(header, "fact");
        PutLe32(header, 4);
        m_factFramesOffset = static_cast<uint32_t>(header.size());
        PutLe32(header, 0);
    }
    PutId(header, "data");
    m_dataSizeOffset = static_cast<uint32_t>(header.size());
    PutLe32(header, 0);
    m_headerBytes = static_cast<uint32_t>(header.size());

    m_file = std::fopen(TempPath(path).c_str(), "wb");
    if (!m_file) return Fail("cannot create " + path + ": " + std::strerror(errno));
    std::setvbuf(m_file, nullptr, _IOFBF, kAudioFileBufferBytes);
    return WriteBytes(header.data(), header.size());
}

bool CWavWriter::WriteBytes(const void* data, size_t bytes) {
    if (std::fwrite(data, 1, bytes, m_file) == bytes) return true;
    return Fail("cannot write " + m_path + ": " + std::strerror(errno));
}

bool CWavWriter::Patch(uint32_t offset, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    if (!SeekFile(m_file, offset, SEEK_SET))
        return Fail("cannot write " + m_path + ": " + std::strerror(errno));
    return WriteBytes(bytes, sizeof(bytes));
}

bool CWavWriter::Write(const void* frames, size_t frameCount) {
    if (!m_file) return false;
    const uint64_t dataBytes = (m_framesWritten + frameCount) * m_format.nBlockAlign;
    if (m_headerBytes - 8 + dataBytes + (dataBytes & 1) > kMaxRiffBytes)
        return Fail(m_path + ": output exceeds the 4 GiB size limit of a WAV file");
    if (!WriteBytes(frames, frameCount * m_format.nBlockAlign)) return false;
    m_framesWritten += frameCount;
    return true;
}

bool CWavWriter::Finish() {
    if (!m_file) return false;
    // A data chunk of odd size (8- or 24-bit mono, an odd frame count) is followed by a pad
    // byte, which the RIFF size counts and the chunk's size does not.
    const uint32_t dataBytes = static_cast<uint32_t>(m_framesWritten * m_format.nBlockAlign);
    const uint8_t pad = 0;
    if ((dataBytes & 1) && !WriteBytes(&pad, 1)) return false;
    if (!Patch(4, m_headerBytes - 8 + dataBytes + (dataBytes & 1)) ||
        !Patch(m_dataSizeOffset, dataBytes) ||
        (m_factFramesOffset != 0 &&
         !Patch(m_factFramesOffset, static_cast<uint32_t>(m_framesWritten))))
        return false;

    const bool flushed = std::fflush(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    const std::string temp = TempPath(m_path);
    if (!flushed || !closed) {
        m_error = "cannot write " + m_path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    std::string reason;
    if (!MoveFileOver(temp, m_path, &reason)) {
        m_error = "cannot replace " + m_path + ": " + reason;
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
