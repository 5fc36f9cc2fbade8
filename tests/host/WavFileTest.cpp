// CWavReader and CWavWriter: round trips, hand-made files from other writers, refusals with
// their messages, truncated data, and the output that is replaced only when complete.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "host/wav/WavFormat.h"
#include "host/wav/WavReader.h"
#include "host/wav/WavWriter.h"

namespace fs = std::filesystem;

namespace {

std::string Le(uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
    return out;
}
std::string Chunk(const char* id, const std::string& body) {
    return std::string(id, 4) + Le(static_cast<uint32_t>(body.size()), 4) + body +
           (body.size() % 2 ? std::string(1, '\0') : "");
}
std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                int blockAlign = -1) {
    const uint16_t align = blockAlign >= 0 ? blockAlign : channels * bits / 8;
    return Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) +
           Le(bits, 2);
}
constexpr const char* kBaseGuidTail = "\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
// validBits -1: the container's; extra: bytes after the 22 extensible ones, counted in cbSize.
std::string ExtensibleFmt(uint32_t subTag, uint16_t channels, uint16_t bits,
                          const char* guidTail = kBaseGuidTail, int validBits = -1,
                          const std::string& extra = "") {
    return Fmt(kWaveFormatExtensible, channels, 48000, bits) + Le(22 + extra.size(), 2) +
           Le(validBits >= 0 ? validBits : bits, 2) + Le(3, 4) + Le(subTag, 4) +
           std::string(guidTail, 12) + extra;
}
std::string Wav(const std::string& chunks) {
    return "RIFF" + Le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

class WavFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Unique, so test runs of several build trees can share the temporary directory.
        dir_ = fs::temp_directory_path() /
               ("twhostio-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(std::random_device()()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    std::string Save(const char* name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Load(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

TEST_F(WavFileTest, EveryFormatRoundTripsThroughBlockReads) {
    for (uint16_t channels : {1, 2}) {
        const WaveFormat formats[] = {MakeWaveFormat(kWaveFormatPcm, channels, 8000, 8),
                                      MakeWaveFormat(kWaveFormatPcm, channels, 44100, 16),
                                      MakeWaveFormat(kWaveFormatPcm, channels, 44100, 24),
                                      MakeWaveFormat(kWaveFormatPcm, channels, 192000, 32),
                                      MakeWaveFormat(kWaveFormatIeeeFloat, channels, 48000, 32),
                                      MakeWaveFormat(kWaveFormatIeeeFloat, channels, 96000, 64)};
        for (const WaveFormat& format : formats) {
            SCOPED_TRACE(DescribeFormat(format));
            // An odd frame count: 8- and 24-bit mono data then needs a pad byte.
            constexpr size_t kFrames = 1001;
            std::string data(kFrames * format.nBlockAlign, '\0');
            for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 13);
            CWavWriter writer;
            ASSERT_TRUE(writer.Open(Path("out.wav"), format)) << writer.Error();
            ASSERT_TRUE(writer.Write(data.data(), 600));
            ASSERT_TRUE(writer.Write(data.data() + 600 * format.nBlockAlign, kFrames - 600));
            ASSERT_TRUE(writer.Finish()) << writer.Error();
            EXPECT_FALSE(fs::exists(CWavWriter::TempPath(Path("out.wav"))));
            const std::string file = Load(Path("out.wav"));
            EXPECT_EQ(0u, file.size() % 2);
            EXPECT_EQ(Le(static_cast<uint32_t>(file.size() - 8), 4), file.substr(4, 4));

            CWavReader reader;
            ASSERT_TRUE(reader.Open(Path("out.wav"))) << reader.Error();
            EXPECT_EQ(0, std::memcmp(&format, &reader.Format(), sizeof(WaveFormat)));
            EXPECT_EQ(kFrames, reader.FrameCount());
            EXPECT_FALSE(reader.IsTruncated());
            std::string back(data.size() + 64, '\0');
            size_t frames = 0, got = 0;
            while ((got = reader.Read(&back[frames * format.nBlockAlign], 7)) > 0) frames += got;
            EXPECT_EQ(kFrames, frames);
            EXPECT_TRUE(reader.Error().empty());
            EXPECT_EQ(data, back.substr(0, data.size()));
        }
    }
}

TEST_F(WavFileTest, ReadsExtensibleFilesAndSkipsUnknownAndOddSizedChunks) {
    const std::string samples = Le(0x3F800000, 4) + Le(0xBF000000, 4);  // 1.0, -0.5
    const std::string file = Wav(Chunk("junk", "odd") + Chunk("fmt ", ExtensibleFmt(3, 2, 32)) +
                                 Chunk("LIST", "INFOISFT\x05\0\0\0tool\0") +
                                 Chunk("data", samples) + Chunk("id3 ", "tail"));
    CWavReader reader;
    ASSERT_TRUE(reader.Open(Save("ext.wav", file))) << reader.Error();
    EXPECT_TRUE(reader.IsExtensible());
    EXPECT_EQ(kWaveFormatIeeeFloat, reader.Format().wFormatTag);
    EXPECT_EQ(0, reader.Format().cbSize);
    EXPECT_EQ(8u, reader.Format().nBlockAlign);
    ASSERT_EQ(1u, reader.FrameCount());
    float frame[2] = {};
    ASSERT_EQ(1u, reader.Read(frame, 4));
    EXPECT_EQ(1.0f, frame[0]);
    EXPECT_EQ(-0.5f, frame[1]);

    ASSERT_TRUE(reader.Open(Save(
        "pcm.wav", Wav(Chunk("fmt ", ExtensibleFmt(1, 1, 16)) + Chunk("data", Le(0x1234, 2))))));
    EXPECT_EQ(kWaveFormatPcm, reader.Format().wFormatTag);
}

// Extensible fmt chunks as writers make them: extra bytes after the 22 (an odd-sized chunk
// with its pad byte among them), fewer valid bits than the container, or none given.
TEST_F(WavFileTest, ExtensibleHeadersOfOtherSizesReadAsTheirPlainFormat) {
    const struct {
        std::string fmt;
        uint16_t tag, bits, channels;
    } cases[] = {
        {ExtensibleFmt(1, 2, 24), kWaveFormatPcm, 24, 2},
        {ExtensibleFmt(1, 1, 8), kWaveFormatPcm, 8, 1},
        {ExtensibleFmt(1, 2, 32, kBaseGuidTail, 24), kWaveFormatPcm, 32, 2},
        {ExtensibleFmt(1, 2, 16, kBaseGuidTail, 0), kWaveFormatPcm, 16, 2},
        {ExtensibleFmt(3, 1, 64, kBaseGuidTail, -1, "x"), kWaveFormatIeeeFloat, 64, 1},
        {ExtensibleFmt(3, 2, 32, kBaseGuidTail, -1, std::string(8, '\0')), kWaveFormatIeeeFloat,
         32, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.fmt.size()) + "-byte fmt chunk");
        const std::string frame = std::string(c.bits / 8 * c.channels, '\x5A');
        CWavReader reader;
        ASSERT_TRUE(reader.Open(Save("ext.wav", Wav(Chunk("fmt ", c.fmt) + Chunk("data", frame)))))
            << reader.Error();
        EXPECT_TRUE(reader.IsExtensible());
        const WaveFormat expected = MakeWaveFormat(c.tag, c.channels, 48000, c.bits);
        EXPECT_EQ(0, std::memcmp(&reader.Format(), &expected, sizeof(WaveFormat)));
        std::string back(frame.size(), '\0');
        ASSERT_EQ(1u, reader.Read(&back[0], 1));
        EXPECT_EQ(frame, back);
    }
}

TEST_F(WavFileTest, RefusesFilesItCannotPlayWithAMessageNamingTheProblem) {
    const std::string data = Chunk("data", std::string(16, '\0'));
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"", "not a WAV file"},
        {"this is plain text, not audio", "not a WAV file"},
        {"RIFF" + Le(4, 4) + "AVI ", "not a WAV file"},
        {"RF64" + Le(0xFFFFFFFF, 4) + "WAVE", "RF64"},
        {Wav(data), "data chunk comes before the fmt chunk"},
        {Wav(Chunk("LIST", "x")), "no fmt chunk"},
        {Wav(Chunk("fmt ", Fmt(1, 2, 44100, 16))), "no data chunk"},
        {Wav(Chunk("fmt ", Fmt(1, 2, 44100, 16).substr(0, 14)) + data),
         "fmt chunk too short (14 bytes)"},
        {Wav(Chunk("fmt ", Fmt(1, 2, 44100, 12, 4)) + data),
         "unsupported format: tag 0x0001, 12 bits, 2 channels"},
        {Wav(Chunk("fmt ", Fmt(1, 1, 8000, 64)) + data),
         "unsupported format: tag 0x0001, 64 bits, 1 channel"},
        {Wav(Chunk("fmt ", Fmt(1, 6, 48000, 16)) + data),
         "unsupported format: tag 0x0001, 16 bits, 6 channels (only mono and stereo"},
        {Wav(Chunk("fmt ", Fmt(3, 2, 48000, 16)) + data),
         "unsupported format: tag 0x0003, 16 bits, 2 channels"},
        {Wav(Chunk("fmt ", Fmt(2, 2, 44100, 4, 2048)) + data),
         "unsupported format: tag 0x0002, 4 bits, 2 channels"},
        {Wav(Chunk("fmt ", ExtensibleFmt(1, 2, 20)) + data),
         "unsupported format: tag 0xFFFE (subformat 0x0001), 20 bits, 2 channels"},
        {Wav(Chunk("fmt ", ExtensibleFmt(1, 2, 16, kBaseGuidTail, 24)) + data),
         "invalid fmt chunk: 24 valid bits in a 16-bit container"},
        {Wav(Chunk("fmt ", Fmt(kWaveFormatExtensible, 2, 48000, 16) + Le(0, 2) +
                               std::string(22, '\0')) +
             data),
         "extensible fmt chunk too short (40 bytes)"},
        {Wav(Chunk("fmt ", ExtensibleFmt(0x00000092, 2, 16,
                                         "\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x70")) +
             data),
         "tag 0xFFFE (subformat {00000092-0000-0010-8000-00aa00389b70}), 16 bits"},
        {Wav(Chunk("fmt ", ExtensibleFmt(1, 2, 16).substr(0, 30)) + data),
         "extensible fmt chunk too short (30 bytes)"},
        {Wav(Chunk("fmt ", Fmt(1, 2, 0, 16)) + data), "sample rate 0"},
        {Wav(Chunk("fmt ", Fmt(1, 2, 44100, 16, 2)) + data), "block alignment 2, expected 4"},
    };
    for (const auto& c : cases) {
        const std::string path = Save("bad.wav", c.bytes);
        CWavReader reader;
        EXPECT_FALSE(reader.Open(path));
        EXPECT_EQ(0u, reader.Error().find(path + ": ")) << reader.Error();
        EXPECT_NE(std::string::npos, reader.Error().find(c.message)) << reader.Error();
    }
    CWavReader reader;
    EXPECT_FALSE(reader.Open(Path("missing.wav")));
    EXPECT_EQ(0u, reader.Error().find("cannot open " + Path("missing.wav") + ": "));
}

// A RIFF file's sizes are 32-bit: a larger file (sparse here) is refused, not read in part.
TEST_F(WavFileTest, FilesOver4GiBAreRefused) {
    const std::string path =
        Save("huge.wav", Wav(Chunk("fmt ", Fmt(1, 2, 44100, 16))) + "data" + Le(0xFFFFFFF0, 4));
    std::error_code error;
    fs::resize_file(path, (uint64_t{1} << 32) + 4096, error);
    if (error) GTEST_SKIP() << "no sparse file here: " << error.message();
    CWavReader reader;
    EXPECT_FALSE(reader.Open(path));
    EXPECT_NE(std::string::npos, reader.Error().find("larger than the 4 GiB a WAV file can "
                                                     "describe"))
        << reader.Error();
}

TEST_F(WavFileTest, TruncatedDataChunkYieldsTheWholeFramesPresent) {
    // Claims 100 stereo 16-bit frames; the file ends after 10 and a half.
    const std::string file =
        Wav(Chunk("fmt ", Fmt(1, 2, 44100, 16))) + "data" + Le(400, 4) + std::string(42, '\x11');
    CWavReader reader;
    ASSERT_TRUE(reader.Open(Save("cut.wav", file))) << reader.Error();
    EXPECT_TRUE(reader.IsTruncated());
    EXPECT_EQ(10u, reader.FrameCount());
    std::string buffer(512 * 4, '\0');
    EXPECT_EQ(10u, reader.Read(&buffer[0], 512));
    EXPECT_EQ(0u, reader.Read(&buffer[0], 512));
    EXPECT_TRUE(reader.Error().empty());
}

TEST_F(WavFileTest, ExistingOutputIsReplacedOnlyByACompleteFile) {
    const std::string target = Save("out.wav", "previous render");
    const WaveFormat format = MakeWaveFormat(kWaveFormatPcm, 2, 44100, 16);
    const int16_t frames[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        CWavWriter writer;
        ASSERT_TRUE(writer.Open(target, format));
        ASSERT_TRUE(writer.Write(frames, 4));
        EXPECT_TRUE(fs::exists(CWavWriter::TempPath(target)));
        writer.Abandon();
        EXPECT_EQ("previous render", Load(target));
        EXPECT_FALSE(fs::exists(CWavWriter::TempPath(target)));

        ASSERT_TRUE(writer.Open(target, format));
        ASSERT_TRUE(writer.Write(frames, 4));
    }  // destroyed unfinished
    EXPECT_EQ("previous render", Load(target));
    EXPECT_FALSE(fs::exists(CWavWriter::TempPath(target)));

    CWavWriter writer;
    ASSERT_TRUE(writer.Open(target, format));
    ASSERT_TRUE(writer.Write(frames, 4));
    ASSERT_TRUE(writer.Finish()) << writer.Error();
    EXPECT_EQ(44u + sizeof(frames), Load(target).size());
    EXPECT_EQ(Le(sizeof(frames), 4), Load(target).substr(40, 4));

    // A directory in the way: renaming fails, the temporary file goes, the error says why.
    fs::create_directory(Path("dir.wav"));
    ASSERT_TRUE(writer.Open(Path("dir.wav"), format));
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(0u, writer.Error().find("cannot replace " + Path("dir.wav") + ": "))
        << writer.Error();
    EXPECT_FALSE(fs::exists(CWavWriter::TempPath(Path("dir.wav"))));
}

TEST_F(WavFileTest, WriterRefusesFormatsAndPlacesItCannotWrite) {
    CWavWriter writer;
    EXPECT_FALSE(writer.Open(Path("x.wav"), MakeWaveFormat(kWaveFormatPcm, 2, 44100, 20)));
    EXPECT_NE(std::string::npos, writer.Error().find("unsupported format: tag 0x0001, 20 bits"));
    EXPECT_FALSE(writer.Open(Path("x.wav"), MakeWaveFormat(kWaveFormatPcm, 3, 44100, 16)));
    EXPECT_FALSE(writer.Open(Path("x.wav"), MakeWaveFormat(kWaveFormatExtensible, 2, 44100, 16)));
    EXPECT_FALSE(
        writer.Open(Path("no/such/dir/x.wav"), MakeWaveFormat(kWaveFormatPcm, 2, 44100, 16)));
    EXPECT_EQ(0u, writer.Error().find("cannot create " + Path("no/such/dir/x.wav") + ": "));
    EXPECT_FALSE(writer.Write("abcd", 1));
    EXPECT_FALSE(fs::exists(Path("x.wav")));
}

}  // namespace
