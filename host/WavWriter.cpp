// CWavWriter: header, streamed data and the size patch-up on completion.
#include "host/WavWriter.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/FileSystem.h"
#include "host/WavFormat.h"

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

CWavWriter::~CWavWriter() {
    Abandon();
}

bool CWavWriter::Fail(const std::string& message) {
    error_ = message;
    Abandon();
    return false;
}

void CWavWriter::Abandon() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(TempPath(path_).c_str());
}

bool CWavWriter::Open(const std::string& path, const WaveFormat& format) {
    Abandon();
    path_ = path;
    error_.clear();
    framesWritten_ = 0;
    if (!IsProcessableSampleLayout(format.wFormatTag, format.wBitsPerSample, format.nChannels) ||
        format.nSamplesPerSec == 0)
        return Fail(
            path + ": " +
            UnsupportedFormatMessage(format.wFormatTag, format.wBitsPerSample, format.nChannels));
    format_ = MakeWaveFormat(format.wFormatTag, format.nChannels, format.nSamplesPerSec,
                             format.wBitsPerSample);
    const bool isFloat = format_.wFormatTag == kWaveFormatIeeeFloat;

    std::vector<uint8_t> header;
    PutId(header, "RIFF");
    PutLe32(header, 0);  // patched by Finish
    PutId(header, "WAVE");
    PutId(header, "fmt ");
    PutLe32(header, isFloat ? kFmtFloatBytes : kFmtPcmBytes);
    PutLe16(header, format_.wFormatTag);
    PutLe16(header, format_.nChannels);
    PutLe32(header, format_.nSamplesPerSec);
    PutLe32(header, format_.nAvgBytesPerSec);
    PutLe16(header, format_.nBlockAlign);
    PutLe16(header, format_.wBitsPerSample);
    factFramesOffset_ = 0;
    if (isFloat) {
        PutLe16(header, 0);  // cbSize
        PutId(header, "fact");
        PutLe32(header, 4);
        factFramesOffset_ = static_cast<uint32_t>(header.size());
        PutLe32(header, 0);
    }
    PutId(header, "data");
    dataSizeOffset_ = static_cast<uint32_t>(header.size());
    PutLe32(header, 0);
    headerBytes_ = static_cast<uint32_t>(header.size());

    file_ = std::fopen(TempPath(path).c_str(), "wb");
    if (!file_) return Fail("cannot create " + path + ": " + std::strerror(errno));
    return WriteBytes(header.data(), header.size());
}

bool CWavWriter::WriteBytes(const void* data, size_t bytes) {
    if (std::fwrite(data, 1, bytes, file_) == bytes) return true;
    return Fail("cannot write " + path_ + ": " + std::strerror(errno));
}

bool CWavWriter::Patch(uint32_t offset, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    if (!SeekFile(file_, offset, SEEK_SET))
        return Fail("cannot write " + path_ + ": " + std::strerror(errno));
    return WriteBytes(bytes, sizeof(bytes));
}

bool CWavWriter::Write(const void* frames, size_t frameCount) {
    if (!file_) return false;
    const uint64_t dataBytes = (framesWritten_ + frameCount) * format_.nBlockAlign;
    if (headerBytes_ - 8 + dataBytes > kMaxRiffBytes)
        return Fail(path_ + ": output exceeds the 4 GiB size limit of a WAV file");
    if (!WriteBytes(frames, frameCount * format_.nBlockAlign)) return false;
    framesWritten_ += frameCount;
    return true;
}

bool CWavWriter::Finish() {
    if (!file_) return false;
    // Frames are an even number of bytes, so the data chunk needs no pad byte.
    const uint32_t dataBytes = static_cast<uint32_t>(framesWritten_ * format_.nBlockAlign);
    if (!Patch(4, headerBytes_ - 8 + dataBytes) || !Patch(dataSizeOffset_, dataBytes) ||
        (factFramesOffset_ != 0 &&
         !Patch(factFramesOffset_, static_cast<uint32_t>(framesWritten_))))
        return false;

    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    const std::string temp = TempPath(path_);
    if (!flushed || !closed) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    std::string reason;
    if (!MoveFileOver(temp, path_, &reason)) {
        error_ = "cannot replace " + path_ + ": " + reason;
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
