// CWavReader: RIFF chunk walk, fmt validation and block reads.
#include "host/wav/WavReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/wav/FileSystem.h"
#include "host/wav/WavFormat.h"

namespace {

constexpr uint32_t kFmtPlainBytes = 16;
constexpr uint32_t kFmtExtensibleBytes = kWaveFormatExtensibleBytes;
// A RIFF file describes at most this many bytes after its 8-byte header; larger files are
// RF64 or broken, and their sizes cannot be trusted.
constexpr int64_t kMaxRiffFileBytes = 8 + int64_t{0xFFFFFFFF};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string GuidText(const uint8_t* g) {
    char text[40];
    std::snprintf(text, sizeof(text), "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", Le32(g),
                  Le16(g + 4), Le16(g + 6), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return text;
}

}  // namespace

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "Read() hands out the file's little-endian samples unchanged"
#endif

CWavReader::~CWavReader() {
    Close();
}

void CWavReader::Close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

bool CWavReader::Fail(const std::string& problem) {
    m_error = m_path + ": " + problem;
    Close();
    return false;
}

bool CWavReader::Open(const std::string& path) {
    Close();
    m_path = path;
    m_error.clear();
    m_format = {};
    m_extensible = m_truncated = false;
    m_frameCount = m_framesRead = 0;

    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file) {
        m_error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::setvbuf(m_file, nullptr, _IOFBF, kAudioFileBufferBytes);
    int64_t fileBytes = -1;
    if (SeekFile(m_file, 0, SEEK_END)) fileBytes = TellFile(m_file);
    if (fileBytes < 0 || !SeekFile(m_file, 0, SEEK_SET))
        return Fail(std::string("cannot read: ") + std::strerror(errno));

    uint8_t riff[12];
    if (std::fread(riff, 1, sizeof(riff), m_file) != sizeof(riff) ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return Fail("not a WAV file");
    if (std::memcmp(riff, "RF64", 4) == 0) return Fail("RF64 (64-bit WAV) files are not supported");
    if (std::memcmp(riff, "RIFF", 4) != 0) return Fail("not a WAV file");
    if (fileBytes > kMaxRiffFileBytes)
        return Fail("larger than the 4 GiB a WAV file can describe (RF64 and other 64-bit WAV "
                    "files are not supported)");

    // The RIFF size field is not trusted (writers often get it wrong); the walk ends at the
    // end of the file. Chunk bodies of odd size are followed by one pad byte.
    bool haveFmt = false;
    int64_t position = sizeof(riff);
    for (;;) {
        uint8_t header[8];
        if (position + 8 > fileBytes || !SeekFile(m_file, position, SEEK_SET) ||
            std::fread(header, 1, sizeof(header), m_file) != sizeof(header))
            return Fail(haveFmt ? "no data chunk" : "no fmt chunk");
        const uint32_t size = Le32(header + 4);
        const int64_t body = position + 8;

        if (std::memcmp(header, "fmt ", 4) == 0 && !haveFmt) {
            uint8_t fmt[kFmtExtensibleBytes] = {};
            const size_t wanted = std::min<uint32_t>(size, sizeof(fmt));
            if (std::fread(fmt, 1, wanted, m_file) != wanted) return Fail("truncated fmt chunk");
            if (!ParseFmt(fmt, size)) return false;
            haveFmt = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFmt) return Fail("data chunk comes before the fmt chunk");
            const uint64_t present = static_cast<uint64_t>(fileBytes - body);
            m_truncated = size > present;
            m_frameCount = std::min<uint64_t>(size, present) / m_format.nBlockAlign;
            return true;  // positioned at the first frame
        }
        position = body + size + (size & 1);
    }
}

bool CWavReader::ParseFmt(const uint8_t* fmt, uint32_t size) {
    if (size < kFmtPlainBytes)
        return Fail("fmt chunk too short (" + std::to_string(size) + " bytes)");
    uint16_t tag = Le16(fmt);
    const uint16_t channels = Le16(fmt + 2);
    const uint32_t samplesPerSec = Le32(fmt + 4);
    const uint16_t blockAlign = Le16(fmt + 12);
    const uint16_t bits = Le16(fmt + 14);

    std::string tagText;
    if (tag == kWaveFormatExtensible) {
        m_extensible = true;
        ExtensibleFields fields = {};
        if (!ReadExtensibleFields(fmt, std::min<uint32_t>(size, kFmtExtensibleBytes), &fields))
            return Fail("extensible fmt chunk too short (" + std::to_string(size) + " bytes)");
        tag = fields.plainTag;  // 0: no plain equivalent
        if (tag != 0) {
            char text[48];
            std::snprintf(text, sizeof(text), "0xFFFE (subformat 0x%04X)", tag);
            tagText = text;
        } else {
            tagText = "0xFFFE (subformat " + GuidText(fmt + kSubFormatOffset) + ")";
        }
        // Fewer valid bits than the container (24 in 32, say) leave the low bits zero: the
        // samples read as the container's. Some writers leave the field 0.
        if (fields.validBits > bits)
            return Fail("invalid fmt chunk: " + std::to_string(fields.validBits) +
                        " valid bits in a " + std::to_string(bits) + "-bit container");
    }
    if (!IsWavSampleLayout(tag, bits, channels))
        return Fail(UnsupportedFormatMessage(tag, bits, channels, tagText));
    if (samplesPerSec == 0) return Fail("invalid fmt chunk: sample rate 0");
    // The byte rate is often wrong in the wild and is recomputed; a wrong block alignment
    // would misread every frame, so it is refused.
    const WaveFormat format = MakeWaveFormat(tag, channels, samplesPerSec, bits);
    if (blockAlign != format.nBlockAlign)
        return Fail("invalid fmt chunk: block alignment " + std::to_string(blockAlign) +
                    ", expected " + std::to_string(format.nBlockAlign));
    m_format = format;
    return true;
}

size_t CWavReader::Read(void* buffer, size_t maxFrames) {
    if (!m_file) return 0;
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(maxFrames, m_frameCount - m_framesRead));
    if (wanted == 0) return 0;
    const size_t got = std::fread(buffer, m_format.nBlockAlign, wanted, m_file);
    m_framesRead += got;
    if (got < wanted)
        Fail(std::ferror(m_file) ? std::string("read error: ") + std::strerror(errno)
                                : std::string("file ended early (did it change while reading?)"));
    return got;
}
