// twphase-render end to end: the built program run as a child process against the registered
// DLL, in every input format (converted where the plug-in does not take it) and output format,
// with the FIR filter's latency compensated or kept, with automation, saved states and
// presets, and its failures, which must leave an existing output file as it was.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmreg.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host/wav/SampleConversion.h"
#include "host/wav/WavFormat.h"
#include "host/wav/WavReader.h"
#include "host/wav/WavWriter.h"
#include "plugin/PluginGuids.h"
#include "presets/PresetFile.h"
#include "tests/host/RendererProcess.h"

namespace fs = std::filesystem;
using namespace rendertest;

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kFirLatency = 63;
constexpr DWORD kExitRenderFailed = 1;
constexpr DWORD kExitUsage = 2;

// Stands in for the user while the renderer runs: the first window it shows (with --edit, the
// editor's property frame) stays open for a moment, so the page's timer runs, then gets OK.
// A renderer still running half a minute after that, or after showing nothing, is ended.
std::wstring PressOkInFirstWindow(const PROCESS_INFORMATION& process) {
    constexpr DWORD kLookMs = 100, kGiveUpMs = 30000, kOpenMs = 500;
    std::wstring caption;
    bool pressed = false;
    for (DWORD waited = 0; waited < kGiveUpMs && !pressed; waited += kLookMs) {
        if (WaitForSingleObject(process.hProcess, kLookMs) == WAIT_OBJECT_0) return L"";
        std::pair<DWORD, HWND> search(process.dwProcessId, nullptr);
        EnumWindows(
            [](HWND window, LPARAM found) CALLBACK -> BOOL {
                auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(found);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner != search->first || !IsWindowVisible(window)) return TRUE;
                search->second = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.second) continue;
        Sleep(kOpenMs);
        wchar_t text[128] = {};
        GetWindowTextW(search.second, text, 128);
        caption = text;
        pressed = PostMessageW(search.second, WM_COMMAND, IDOK, 0) != FALSE;
    }
    if (WaitForSingleObject(process.hProcess, kGiveUpMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 0xFFFFFFFF);
    return caption;
}

// Runs twphase-render with the arguments in the working directory, pressing OK in the first
// window it shows.
RunResult RunRender(const std::vector<std::string>& args, const std::string& workDir) {
    return RunRenderer(args, workDir, [](const PROCESS_INFORMATION& process, RunResult* result) {
        result->windowCaption = PressOkInFirstWindow(process);
    });
}

// Interleaved samples as values (integers scaled by 2^-(bits-1)) with their file format.
struct Audio {
    WaveFormat format = {};
    std::vector<double> samples;

    size_t Frames() const { return format.nChannels ? samples.size() / format.nChannels : 0; }
    double At(size_t frame, int channel) const {
        return samples[frame * format.nChannels + channel];
    }
};

// Two unrelated tones per channel, so that any mix-up of channels or frames shows.
Audio MakeSignal(uint16_t tag, uint16_t bits, uint16_t channels, size_t frames,
                 uint32_t rate = kRate) {
    Audio audio;
    audio.format = MakeWaveFormat(tag, channels, rate, bits);
    const double kPi = 3.14159265358979323846;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double left = 0.5 * std::sin(2 * kPi * 440 * t) + 0.2 * std::sin(2 * kPi * 3100 * t);
        const double right = 0.4 * std::sin(2 * kPi * 660 * t + 1.0) - 0.3 * std::sin(2 * kPi * 97 * t);
        for (int c = 0; c < channels; ++c) {
            double value = c == 0 ? left : right;
            const double scale = std::ldexp(1.0, bits - 1);
            if (tag == kWaveFormatPcm) value = std::lround(value * (scale - 1)) / scale;
            if (tag == kWaveFormatIeeeFloat && bits == 32) value = static_cast<float>(value);
            audio.samples.push_back(value);
        }
    }
    return audio;
}

const WaveFormat kDoubleSamples = MakeWaveFormat(kWaveFormatIeeeFloat, 1, kRate, 64);

// Written plain, or as WAVE_FORMAT_EXTENSIBLE with the subformat of the plain tag.
void WriteWav(const std::string& path, const Audio& audio, bool extensible = false) {
    std::vector<uint8_t> bytes(audio.samples.size() * (audio.format.wBitsPerSample / 8));
    CSampleConverter(kDoubleSamples, audio.format, false)
        .Convert(audio.samples.data(), bytes.data(), audio.samples.size());
    if (!extensible) {
        CWavWriter writer;
        ASSERT_TRUE(writer.Open(path, audio.format)) << writer.Error();
        ASSERT_TRUE(writer.Write(bytes.data(), audio.Frames()));
        ASSERT_TRUE(writer.Finish()) << writer.Error();
        return;
    }
    WAVEFORMATEXTENSIBLE f = {};
    std::memcpy(&f.Format, &audio.format, sizeof(WaveFormat));
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.cbSize = 22;
    f.Samples.wValidBitsPerSample = audio.format.wBitsPerSample;
    f.dwChannelMask = audio.format.nChannels == 2 ? 3 : 4;
    f.SubFormat = {audio.format.wFormatTag, 0x0000, 0x0010,
                   {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    const uint32_t dataBytes = static_cast<uint32_t>(bytes.size());
    const uint32_t fmtBytes = sizeof f, riffBytes = 4 + 8 + fmtBytes + 8 + dataBytes + (dataBytes & 1);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4).write(reinterpret_cast<const char*>(&riffBytes), 4).write("WAVEfmt ", 8);
    out.write(reinterpret_cast<const char*>(&fmtBytes), 4).write(reinterpret_cast<const char*>(&f), fmtBytes);
    out.write("data", 4).write(reinterpret_cast<const char*>(&dataBytes), 4);
    out.write(reinterpret_cast<const char*>(bytes.data()), dataBytes);
    if (dataBytes & 1) out.put('\0');
}

Audio ReadWav(const std::string& path) {
    Audio audio;
    CWavReader reader;
    EXPECT_TRUE(reader.Open(path)) << reader.Error();
    if (!reader.Error().empty()) return audio;
    audio.format = reader.Format();
    std::vector<uint8_t> bytes(reader.FrameCount() * audio.format.nBlockAlign);
    EXPECT_EQ(reader.Read(bytes.data(), reader.FrameCount()), reader.FrameCount());
    audio.samples.resize(reader.FrameCount() * audio.format.nChannels);
    CSampleConverter(audio.format, kDoubleSamples, false)
        .Convert(bytes.data(), audio.samples.data(), audio.samples.size());
    return audio;
}

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(CallPlugInExport("DllRegisterServer"), S_OK); }

    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("twrender-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "-" + std::to_string(std::random_device()()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    RunResult Render(std::vector<std::string> args) const { return RunRender(args, dir_.string()); }

    // Renders `input` with the options into `name` and reads the result back.
    Audio RenderTo(const std::string& name, const std::string& input,
                   std::vector<std::string> options) const {
        options.push_back(input);
        options.push_back(Path(name));
        const RunResult run = Render(options);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        return ReadWav(Path(name));
    }

    // A failed render: one line on the output, a failing exit code, and the output that
    // existed before unchanged, without a temporary file beside it.
    void ExpectFailureKeepsOutput(const std::vector<std::string>& options, const std::string& input,
                                  const std::string& expectedText) const {
        const std::string output = Path("existing.wav");
        const std::string before = "an earlier render, not to be lost";
        std::ofstream(output, std::ios::binary) << before;
        std::vector<std::string> args = options;
        args.push_back(input);
        args.push_back(output);
        const RunResult run = Render(args);
        EXPECT_EQ(run.exitCode, kExitRenderFailed) << run.output;
        EXPECT_NE(run.output.find(expectedText), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
        EXPECT_EQ(ReadFileBytes(output), before);
        EXPECT_FALSE(fs::exists(CWavWriter::TempPath(output)));
    }

    fs::path dir_;
};

// Formats ---------------------------------------------------------------------------------

struct FormatCase {
    uint16_t tag;
    uint16_t bits;
    uint16_t channels;
    bool extensible;
    double tolerance;  // of the (delayed) input against the output
};

class RenderFormatTest : public RenderTest, public ::testing::WithParamInterface<FormatCase> {};

// With the FIR filter at phase 0 the plug-in only delays: the output is the input, on both
// channels (a mono input on each), in the input's sample format; 63 frames late with
// --keep-latency, lined up with the input without.
TEST_P(RenderFormatTest, FirAtZeroPhaseGivesTheInputAlignedOrDelayedBy63Frames) {
    const FormatCase& c = GetParam();
    const Audio input = MakeSignal(c.tag, c.bits, c.channels, 20011);  // no whole block count
    WriteWav(Path("in.wav"), input, c.extensible);

    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "--keep-latency" : "aligned");
        std::vector<std::string> args = {"--filter", "fir", "--phase", "0", Path("in.wav"),
                                         Path("out.wav")};
        if (keep) args.insert(args.begin(), "--keep-latency");
        const RunResult run = Render(args);
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find("latency      63 frames"), std::string::npos) << run.output;

        const Audio output = ReadWav(Path("out.wav"));
        EXPECT_EQ(output.format.wFormatTag, c.tag);
        EXPECT_EQ(output.format.wBitsPerSample, c.bits);
        EXPECT_EQ(output.format.nSamplesPerSec, kRate);
        ASSERT_EQ(output.format.nChannels, 2);
        ASSERT_EQ(output.Frames(), input.Frames());
        const size_t delay = keep ? kFirLatency : 0;
        int mismatches = 0;
        for (size_t i = 0; i < output.Frames() && mismatches < 5; ++i) {
            for (int ch = 0; ch < 2; ++ch) {
                const double expected =
                    i < delay ? 0.0 : input.At(i - delay, c.channels == 2 ? ch : 0);
                if (std::fabs(output.At(i, ch) - expected) > c.tolerance) {
                    ADD_FAILURE() << "frame " << i << " channel " << ch << ": " << output.At(i, ch)
                                  << " instead of " << expected;
                    ++mismatches;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    SampleFormats, RenderFormatTest,
    // 16-bit output may round to the neighbouring step; 64-bit must keep double precision.
    // Converted formats come back exactly: the plug-in's float holds them.
    ::testing::Values(FormatCase{kWaveFormatPcm, 16, 1, false, 1.0 / 32768},
                      FormatCase{kWaveFormatPcm, 16, 2, false, 1.0 / 32768},
                      FormatCase{kWaveFormatIeeeFloat, 32, 1, false, 1e-6},
                      FormatCase{kWaveFormatIeeeFloat, 32, 2, false, 1e-6},
                      FormatCase{kWaveFormatIeeeFloat, 64, 1, false, 1e-12},
                      FormatCase{kWaveFormatIeeeFloat, 64, 2, false, 1e-12},
                      FormatCase{kWaveFormatPcm, 8, 1, false, 0.0},
                      FormatCase{kWaveFormatPcm, 24, 2, true, 0.0},
                      FormatCase{kWaveFormatPcm, 32, 1, false, 0.0},
                      FormatCase{kWaveFormatIeeeFloat, 32, 2, true, 1e-6}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
        return (info.param.tag == kWaveFormatPcm ? std::string("Pcm") : std::string("Float")) +
               std::to_string(info.param.bits) + (info.param.channels == 1 ? "Mono" : "Stereo") +
               (info.param.extensible ? "Extensible" : "");
    });

// --format converts the plug-in's output (here the input, bypassed): widening exactly,
// narrowing to the nearest step, or within one and a half steps with dither, which makes the
// error noise rather than a copy of the signal. Integer formats the plug-in does not process
// come back bit for bit through its float.
TEST_F(RenderTest, FormatOptionChoosesTheOutputsSampleFormat) {
    const struct {
        uint16_t inTag, inBits;
        std::vector<std::string> options;
        uint16_t outTag, outBits;
        double steps;  // the largest error allowed, in steps of the output
        const char* summary;
    } cases[] = {
        {kWaveFormatPcm, 24, {"--format", "f32"}, kWaveFormatIeeeFloat, 32, 0.0,
         "processing   32-bit float (converted for the plug-in)"},
        {kWaveFormatPcm, 16, {"--format", "f64"}, kWaveFormatIeeeFloat, 64, 0.0,
         "processing   64-bit float"},
        {kWaveFormatPcm, 24, {"--format", "pcm16"}, kWaveFormatPcm, 16, 0.5, "16-bit PCM, stereo"},
        {kWaveFormatIeeeFloat, 64, {"--format", "pcm24"}, kWaveFormatPcm, 24, 0.5, "24-bit PCM"},
        {kWaveFormatPcm, 24, {"--format", "pcm16", "--dither"}, kWaveFormatPcm, 16, 1.5,
         "16-bit PCM, stereo, 44100 Hz, TPDF dither"},
        {kWaveFormatIeeeFloat, 32, {"--format", "same"}, kWaveFormatIeeeFloat, 32, 0.0,
         "32-bit float, stereo"},
        {kWaveFormatPcm, 8, {"--format", "same"}, kWaveFormatPcm, 8, 0.0, "8-bit PCM"},
        {kWaveFormatPcm, 24, {"--format", "same"}, kWaveFormatPcm, 24, 0.0, "24-bit PCM"},
        {kWaveFormatPcm, 32, {"--format", "same"}, kWaveFormatPcm, 32, 0.0, "64-bit float"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[1] + (c.options.size() > 2 ? " " + c.options[2] : ""));
        const Audio input = MakeSignal(c.inTag, c.inBits, 2, 4000);
        WriteWav(Path("in.wav"), input);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--bypass", Path("in.wav"), Path("out.wav")});
        const RunResult run = Render(args);
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find(c.summary), std::string::npos) << run.output;
        const Audio output = ReadWav(Path("out.wav"));
        ASSERT_EQ(output.format.wFormatTag, c.outTag);
        ASSERT_EQ(output.format.wBitsPerSample, c.outBits);
        ASSERT_EQ(output.samples.size(), input.samples.size());
        const double step = c.outTag == kWaveFormatPcm ? std::ldexp(1.0, 1 - c.outBits) : 0.0;
        double largest = 0.0;
        int differences = 0;
        for (size_t i = 0; i < input.samples.size(); ++i) {
            const double error = std::fabs(output.samples[i] - input.samples[i]);
            largest = std::max(largest, error);
            differences += error > 0.5 * step;
        }
        EXPECT_LE(largest, c.steps * step);
        if (c.steps > 1.0) {
            EXPECT_GT(differences, 0) << "dither changed no rounding";
        }
    }
}

// An impulse comes out where it went in: the left channel passes (delayed by the filter), the
// right one is rotated by 90 degrees, whose response is odd around the impulse. Blocks of 16
// frames make the flushed tail span several blocks; the last impulse's tail is flushed.
TEST_F(RenderTest, FirLatencyIsCompensatedUnlessKept) {
    constexpr size_t kFrames = 3000;
    const size_t impulses[] = {0, 1000, kFrames - 10};
    Audio input;
    input.format = MakeWaveFormat(kWaveFormatIeeeFloat, 2, kRate, 32);
    input.samples.assign(2 * kFrames, 0.0);
    for (size_t at : impulses) input.samples[2 * at] = input.samples[2 * at + 1] = 0.5;
    WriteWav(Path("in.wav"), input);

    for (const bool keep : {false, true}) {
        std::vector<std::string> args = {"--filter", "fir", "--phase", "90", "--block", "16",
                                         Path("in.wav"), Path("out.wav")};
        if (keep) args.insert(args.begin(), "--keep-latency");
        const RunResult run = Render(args);
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find(keep ? "63 frames (1.43 ms), kept in the output"
                                       : "63 frames (1.43 ms), compensated"),
                  std::string::npos)
            << run.output;
        const Audio output = ReadWav(Path("out.wav"));
        ASSERT_EQ(output.Frames(), kFrames);
        const size_t shift = keep ? kFirLatency : 0;
        for (size_t at : impulses) {
            const size_t p = at + shift;
            if (p >= kFrames) continue;
            SCOPED_TRACE("impulse at " + std::to_string(at) + (keep ? ", kept" : ""));
            EXPECT_NEAR(0.5, output.At(p, 0), 1e-6);
            EXPECT_NEAR(0.0, output.At(p, 1), 1e-6);
            EXPECT_GT(std::fabs(output.At(p + 1 < kFrames ? p + 1 : p - 1, 1)), 0.1);
            for (size_t k = 1; k <= kFirLatency && p + k < kFrames && k <= p; ++k)
                EXPECT_NEAR(-output.At(p - k, 1), output.At(p + k, 1), 1e-6) << k;
        }
    }
}

// The precise filter through the whole product at Phase 90 in LR phase: every tone from 20 Hz
// to 20 kHz comes out on the right 90 degrees from the left within 0.002 degrees and at the
// left's level within 0.005 dB, with no latency. Tones 5 Hz apart are orthogonal over a window
// of rate / 5 frames, so each tone's correlation with the settled last window is its
// least-squares sine fit.
TEST_F(RenderTest, PreciseFilterTurnsEveryToneByNinetyDegreesWithoutLatency) {
    const double kPi = 3.14159265358979323846;
    constexpr int kTones = 40;
    constexpr size_t kWindow = kRate / 5, kFrames = kRate * 3 / 2;  // settled after one second
    std::vector<int> cycles;  // per window, log-spaced from 20 Hz to 20 kHz
    for (int i = 0; i < kTones; ++i) {
        const int k = int(20.0 * std::pow(1000.0, i / (kTones - 1.0)) / 5.0);
        if (cycles.empty() || k != cycles.back()) cycles.push_back(k);
    }
    Audio input;
    input.format = MakeWaveFormat(kWaveFormatIeeeFloat, 2, kRate, 64);
    for (size_t n = 0; n < kFrames; ++n) {
        double x = 0.0;
        for (int k : cycles) x += std::cos(2 * kPi * double(size_t(k) * n % kWindow) / kWindow);
        input.samples.insert(input.samples.end(), 2, x / kTones);
    }
    WriteWav(Path("tones.wav"), input);
    const RunResult run = Render({"--filter", "precise", "--mode", "lr", "--phase", "90",
                                  Path("tones.wav"), Path("out.wav")});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("latency      0 frames"), std::string::npos) << run.output;
    const Audio output = ReadWav(Path("out.wav"));
    ASSERT_EQ(output.Frames(), kFrames);

    for (int k : cycles) {
        std::complex<double> left, right;
        for (size_t n = kFrames - kWindow; n < kFrames; ++n) {
            const std::complex<double> phasor =
                std::polar(1.0, -2 * kPi * double(size_t(k) * n % kWindow) / kWindow);
            left += output.At(n, 0) * phasor;
            right += output.At(n, 1) * phasor;
        }
        const double degrees = std::arg(right / left) * 180 / kPi;
        const double db = 20 * std::log10(std::abs(right / left));
        EXPECT_TRUE(std::fabs(std::fabs(degrees) - 90) <= 0.002 && std::fabs(db) <= 0.005)
            << k * 5 << " Hz: " << degrees << " degrees, " << db << " dB";
    }
}

// The host's block size is a transport detail: small blocks (whose mono buffers are below the
// plug-in's 512-byte floor) and large ones give the same samples.
TEST_F(RenderTest, BlockSizeDoesNotChangeTheResult) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatIeeeFloat, 32, 1, 30000));
    const std::vector<std::string> settings = {"--phase", "75", "--width", "140", "--mode", "ms"};
    std::vector<std::string> small = settings, large = settings;
    small.insert(small.end(), {"--block", "16"});
    large.insert(large.end(), {"--block", "4096"});
    const Audio reference = RenderTo("default.wav", Path("in.wav"), settings);
    ASSERT_EQ(reference.Frames(), 30000u);
    EXPECT_EQ(RenderTo("small.wav", Path("in.wav"), small).samples, reference.samples);
    EXPECT_EQ(RenderTo("large.wav", Path("in.wav"), large).samples, reference.samples);
}

TEST_F(RenderTest, BypassCopiesTheInputWithoutLatency) {
    const Audio input = MakeSignal(kWaveFormatPcm, 16, 2, 10000);
    WriteWav(Path("in.wav"), input);
    const RunResult run =
        Render({"--bypass", "--phase", "90", "--filter", "fir", Path("in.wav"), Path("out.wav")});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("bypassed"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("latency      0 frames"), std::string::npos) << run.output;
    EXPECT_EQ(ReadWav(Path("out.wav")).samples, input.samples);
}

// The summary's peaks are those of the file written; clipping is the plug-in's own report.
TEST_F(RenderTest, SummaryReportsTheOutputPeaksAndClipping) {
    const Audio input = MakeSignal(kWaveFormatIeeeFloat, 32, 2, 10000);
    WriteWav(Path("in.wav"), input);
    for (const char* gain : {"-6.0", "6.0"}) {
        const RunResult run = Render({"--output", gain, Path("in.wav"), Path("out.wav")});
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        const Audio output = ReadWav(Path("out.wav"));
        double peak[2] = {};
        for (size_t i = 0; i < output.Frames(); ++i)
            for (int ch = 0; ch < 2; ++ch) peak[ch] = std::max(peak[ch], std::fabs(output.At(i, ch)));
        char expected[64];
        std::snprintf(expected, sizeof expected, "output peak  L %.1f  R %.1f dBFS",
                      20 * std::log10(peak[0]), 20 * std::log10(peak[1]));
        EXPECT_NE(run.output.find(expected), std::string::npos) << expected << "\n" << run.output;
        const bool loud = std::string(gain) == "6.0";  // peaks near 1.4 and 1.3
        EXPECT_NE(run.output.find(loud ? "clip         L yes  R yes" : "clip         L no  R no"),
                  std::string::npos)
            << run.output;
    }
}

// Automation and state --------------------------------------------------------------------

// At 48 kHz: the segment's time, given in 100-ns units, must meet the stream at the file's rate.
TEST_F(RenderTest, WidthJumpingToZeroMakesTheChannelsIdenticalFromThen) {
    constexpr uint32_t kRate48k = 48000;
    const size_t frames = 2 * kRate48k;
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatIeeeFloat, 32, 2, frames, kRate48k));
    std::ofstream(Path("collapse.txt")) << "# to mono at half a second\n"
                                           "width, 0.5, 2.0, 0, 0, jump\n";
    const Audio output =
        RenderTo("out.wav", Path("in.wav"), {"--automation", Path("collapse.txt")});
    ASSERT_EQ(output.Frames(), frames);

    // Envelopes are evaluated per block of 512 frames: allow one block either side.
    const size_t jump = kRate48k / 2;
    double before = 0.0, after = 0.0;
    for (size_t i = 0; i < jump - 512; ++i)
        before = std::max(before, std::fabs(output.At(i, 0) - output.At(i, 1)));
    for (size_t i = jump + 512; i < frames; ++i)
        after = std::max(after, std::fabs(output.At(i, 0) - output.At(i, 1)));
    EXPECT_GT(before, 0.1);
    EXPECT_LT(after, 1e-6);
}

TEST_F(RenderTest, SavedStateLoadedBackRendersTheSame) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 12000));
    const Audio first = RenderTo("first.wav", Path("in.wav"),
                                 {"--phase", "45", "--width", "150", "--mode", "ms", "--output",
                                  "-3.5", "--filter", "fir", "--save-state", Path("saved.state")});
    EXPECT_EQ(fs::file_size(Path("saved.state")), 44u);  // the persisted record

    const RunResult run = Render({"--state", Path("saved.state"), Path("in.wav"), Path("again.wav")});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("Phase 45 deg, Width 150 %, Output -3.5 dB, MS phase"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(ReadWav(Path("again.wav")).samples, first.samples);
    EXPECT_NE(RenderTo("plain.wav", Path("in.wav"), {}).samples, first.samples);
}

TEST_F(RenderTest, BuiltInPresetIsFoundByNameAndOptionsOverrideIt) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatIeeeFloat, 32, 2, 8000));
    const RunResult run =
        Render({"--preset", "[1] Full Reset", "--phase", "30", Path("in.wav"), Path("preset.wav")});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("Phase 30 deg, Width 100 %, Output +0.0 dB, LR phase, meter post, "
                              "IIR filter"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(ReadWav(Path("preset.wav")).samples,
              RenderTo("plain.wav", Path("in.wav"), {"--phase", "30"}).samples);

    ExpectFailureKeepsOutput({"--preset", "Warm Tape"}, Path("in.wav"),
                             "no preset \"Warm Tape\" (built-in presets: \"(Default)\", \"[1] Full Reset\"; ");
}

// A preset file with the sections Preset1.. for (bank, name, data) triples.
void WritePresetFile(const std::string& path, const std::vector<std::vector<const char*>>& presets) {
    const char* f = path.c_str();
    WritePrivateProfileStringA("Plug-in", "PluginName", "tw:Phase", f);
    WritePrivateProfileStringA("Plug-in", "CLSID", presetfile::kClassKey, f);
    for (size_t i = 0; i < presets.size(); ++i) {
        const std::string section = "Preset" + std::to_string(i + 1);
        WritePrivateProfileStringA(section.c_str(), "Version", "3", f);
        WritePrivateProfileStringA(section.c_str(), "Name", presets[i][1], f);
        WritePrivateProfileStringA(section.c_str(), "Bank", presets[i][0], f);
        WritePrivateProfileStringA(section.c_str(), "Data", presets[i][2], f);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, f);
}

// The editor's library (in the folder its "PluginPath" names) and a file given on the line.
TEST_F(RenderTest, UserPresetsComeFromTheEditorsLibraryOrAPresetFile) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatIeeeFloat, 32, 2, 8000));
    WritePresetFile(Path(presetfile::kLibraryFileName),
                    {{"Keys", "Wide", "45,150,-60,1,0,2"}, {"Keys", "Pad", "0,0,0,0,1,0"},
                     {"Strings", "Pad", "1,1,1,0,1,0"}});
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_LOCAL_MACHINE, presetfile::kClassKey,
                                             "PluginPath", REG_SZ, dir_.string().c_str(),
                                             DWORD(dir_.string().size() + 1)));
    struct PluginPathRemover {
        ~PluginPathRemover() {
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, presetfile::kClassKey, "PluginPath");
        }
    } remover;

    const RunResult list = Render({"--list-presets"});
    EXPECT_EQ(list.exitCode, 0u) << list.output;
    for (const char* line : {"  [1] Full Reset", "  Keys/Wide: --phase 45 --width 150 --output -6.0 "
                                                 "--mode ms --meter pre --filter precise"})
        EXPECT_NE(list.output.find(line), std::string::npos) << list.output;

    EXPECT_EQ(RenderTo("preset.wav", Path("in.wav"), {"--preset", "keys/wide"}).samples,
              RenderTo("plain.wav", Path("in.wav"),
                       {"--phase", "45", "--width", "150", "--output", "-6", "--mode", "ms",
                        "--meter", "pre", "--filter", "precise"})
                  .samples);
    ExpectFailureKeepsOutput({"--preset", "Pad"}, Path("in.wav"),
                             "the preset name \"Pad\" is ambiguous: \"Keys/Pad\", \"Strings/Pad\"");

    // Another file instead of the library; a file that is not one is named.
    WritePresetFile(Path("export.ini"), {{"", "Narrow", "-30,20,0,0,1,0"}});
    EXPECT_EQ(RenderTo("file.wav", Path("in.wav"), {"--preset", "Narrow", "--preset-file", Path("export.ini")}).samples,
              RenderTo("plain2.wav", Path("in.wav"), {"--phase", "-30", "--width", "20"}).samples);
    std::ofstream(Path("junk.ini")) << "not a preset file\n";
    ExpectFailureKeepsOutput({"--preset", "Narrow", "--preset-file", Path("junk.ini")}, Path("in.wav"),
                             "not a tw:Phase preset file");
}

// The editor ---------------------------------------------------------------------------

// --edit shows the editor over the command line's settings in the property frame; what it is
// closed with (OK, nothing changed) renders.
TEST_F(RenderTest, EditShowsTheEditorAndRendersWithTheSettingsItIsClosedWith) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 8000));
    const std::vector<std::string> settings = {"--phase", "45", "--mode", "ms"};
    std::vector<std::string> args = {"--edit"};
    args.insert(args.end(), settings.begin(), settings.end());
    args.insert(args.end(), {Path("in.wav"), Path("edited.wav")});
    const RunResult run = Render(args);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.windowCaption.find(L"tw:Phase"), std::wstring::npos);
    EXPECT_NE(run.output.find("Phase 45 deg, Width 100 %, Output +0.0 dB, MS phase"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(ReadWav(Path("edited.wav")).samples,
              RenderTo("plain.wav", Path("in.wav"), settings).samples);
}

// Without its page class the frame would open empty: the renderer says so and shows nothing.
TEST_F(RenderTest, EditWithoutTheEditorPageRegisteredFailsBeforeAnyWindow) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 1000));
    wchar_t guid[40] = {};
    StringFromGUID2(CLSID_TwPhasePropertyPage, guid, 40);
    struct Reregister {
        ~Reregister() { EXPECT_EQ(CallPlugInExport("DllRegisterServer"), S_OK); }
    } guard;
    ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + guid).c_str()),
              ERROR_SUCCESS);
    ExpectFailureKeepsOutput({"--edit"}, Path("in.wav"), "editor page");
}

// Demo and usage ---------------------------------------------------------------------------

TEST_F(RenderTest, WithoutArgumentsTheDemoIsRenderedIntoTheWorkingDirectory) {
    const RunResult run = Render({});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("the built-in demo signal -> twphase-demo.wav"), std::string::npos)
        << run.output;
    const Audio demo = ReadWav(Path("twphase-demo.wav"));
    EXPECT_EQ(demo.format.nChannels, 2);
    EXPECT_EQ(demo.format.wFormatTag, kWaveFormatIeeeFloat);
    EXPECT_EQ(demo.Frames(), 8u * kRate);
}

TEST_F(RenderTest, HelpPrintsTheUsage) {
    const RunResult run = Render({"--help"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output.rfind("Usage: twphase-render", 0), 0u) << run.output;
}

// Batches ----------------------------------------------------------------------------------

// Each file of a batch renders exactly as it would alone; a broken one fails on its own,
// named as typed, and the exit code says that one failed. Output arrives a line per file,
// without a console's status line.
TEST_F(RenderTest, BatchRendersEachFileAsAloneAndReportsTheBrokenOne) {
    fs::create_directories(dir_ / "sub");
    WriteWav(Path("a.wav"), MakeSignal(kWaveFormatIeeeFloat, 32, 2, 20011));
    WriteWav(Path("sub/b.wav"), MakeSignal(kWaveFormatPcm, 24, 1, 7000));
    WriteWav(Path("broken.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 1000));
    fs::resize_file(Path("broken.wav"), 30);  // cut off inside its format chunk
    const std::vector<std::string> settings = {
        "--phase", "60", "--filter", "fir", "--width", "130", "--format", "pcm16", "--dither"};
    std::vector<std::string> args = settings;
    args.insert(args.end(), {"--out-dir", "renders/new", "a.wav", "sub/b.wav", "broken.wav"});
    const RunResult run = Render(args);
    EXPECT_EQ(run.exitCode, kExitRenderFailed) << run.output;

    for (const char* input : {"a.wav", "sub/b.wav"}) {
        const std::string name = fs::path(input).filename().string();
        std::vector<std::string> alone = settings;
        alone.insert(alone.end(), {input, "alone-" + name});
        ASSERT_EQ(Render(alone).exitCode, 0u);
        EXPECT_EQ(ReadFileBytes(Path("renders/new/" + name)), ReadFileBytes(Path("alone-" + name))) << name;
        EXPECT_NE(run.output.find("] " + std::string(input) + " -> renders/new/" + name + ": OK"),
                  std::string::npos)
            << run.output;
    }
    EXPECT_FALSE(fs::exists(Path("renders/new/broken.wav")));
    EXPECT_FALSE(fs::exists(CWavWriter::TempPath(Path("renders/new/broken.wav"))));
    EXPECT_NE(run.output.find("] broken.wav: FAILED: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\nbroken.wav "), std::string::npos) << "a row in the table";
    EXPECT_NE(run.output.find("\n2 of 3 files rendered, 1 failed"), std::string::npos)
        << run.output;
    for (const char* counter : {"[1/3] ", "[2/3] ", "[3/3] "})
        EXPECT_NE(run.output.find(counter), std::string::npos) << counter;
    for (size_t at = run.output.find('\r'); at != std::string::npos;
         at = run.output.find('\r', at + 1))
        EXPECT_EQ(run.output[at + 1], '\n') << "no status line into a pipe";

    // Every file rendered: exit code 0.
    EXPECT_EQ(Render({"--jobs", "1", "--out-dir", "again", "a.wav", "sub/b.wav"}).exitCode, 0u);
}

// Outputs that would meet or replace an input are refused before anything is made.
TEST_F(RenderTest, BatchWithCollidingOutputsIsRefusedBeforeRendering) {
    fs::create_directories(dir_ / "sub");
    WriteWav(Path("a.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 1000));
    WriteWav(Path("sub/A.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 1000));
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--out-dir", "out", "a.wav", "sub/A.wav"},
         "a.wav and sub/A.wav would both be written to out/A.wav"},
        {{"--out-dir", "./sub", "sub/A.wav"}, "./sub/A.wav would replace the input sub/A.wav"},
    };
    for (const auto& c : cases) {
        const RunResult run = Render(c.args);
        EXPECT_EQ(run.exitCode, kExitUsage) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    EXPECT_FALSE(fs::exists(Path("out")));
    EXPECT_EQ(ReadWav(Path("sub/A.wav")).Frames(), 1000u);
}

// Failures ---------------------------------------------------------------------------------

TEST_F(RenderTest, MissingInputIsNamed) {
    ExpectFailureKeepsOutput({}, Path("nowhere.wav"), "nowhere.wav");
}

// The file is named as the user typed it (here relative to the working directory).
TEST_F(RenderTest, UnsupportedFormatIsNamedWithItsTagBitsAndChannels) {
    // A valid 24-bit PCM file of 6 channels and 4 frames.
    std::string wav = "RIFF";
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i));
        return s;
    };
    const std::string fmt = le(1, 2) + le(6, 2) + le(kRate, 4) + le(kRate * 18, 4) + le(18, 2) + le(24, 2);
    const std::string body = "WAVE" + std::string("fmt ") + le(16, 4) + fmt + "data" + le(72, 4) +
                             std::string(72, '\x01');
    wav += le(static_cast<uint32_t>(body.size()), 4) + body;
    std::ofstream(Path("deep.wav"), std::ios::binary) << wav;
    ExpectFailureKeepsOutput({}, "deep.wav",
                             "twphase-render: deep.wav: unsupported format: tag 0x0001, 24 bits, 6 "
                             "channels (only mono and stereo files can be rendered)");
}

// 300 million 8-bit mono frames (a sparse file) would make 4.8 GB of 64-bit float stereo:
// refused before anything is rendered.
TEST_F(RenderTest, OutputOverTheWavSizeLimitIsRefusedBeforeRendering) {
    constexpr uint32_t kFrames = 300000000;
    Audio header;
    header.format = MakeWaveFormat(kWaveFormatPcm, 1, kRate, 8);
    header.samples.assign(2, 0.0);
    WriteWav(Path("long.wav"), header);
    {
        std::fstream file(Path("long.wav"), std::ios::in | std::ios::out | std::ios::binary);
        const uint32_t riffBytes = 36 + kFrames, dataBytes = kFrames;
        file.seekp(4).write(reinterpret_cast<const char*>(&riffBytes), 4);
        file.seekp(40).write(reinterpret_cast<const char*>(&dataBytes), 4);
    }
    fs::resize_file(Path("long.wav"), 44 + kFrames);
    ExpectFailureKeepsOutput({"--format", "f64"}, Path("long.wav"),
                             "300000000 frames of 64-bit float stereo exceed the 4 GiB size "
                             "limit of a WAV file");
}

TEST_F(RenderTest, StateThePlugInRefusesFailsWithItsResult) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatPcm, 16, 1, 1000));
    std::ofstream(Path("zeros.state"), std::ios::binary) << std::string(44, '\0');
    ExpectFailureKeepsOutput({"--state", Path("zeros.state")}, Path("in.wav"), "E_FAIL");
}

TEST_F(RenderTest, UnregisteredPlugInIsReported) {
    WriteWav(Path("in.wav"), MakeSignal(kWaveFormatPcm, 16, 2, 1000));
    struct Reregister {
        ~Reregister() { EXPECT_EQ(CallPlugInExport("DllRegisterServer"), S_OK); }
    };
    {
        Reregister guard;
        ASSERT_EQ(CallPlugInExport("DllUnregisterServer"), S_OK);
        ExpectFailureKeepsOutput({}, Path("in.wav"), "twPhaseDX.dll is not registered");
    }
    EXPECT_EQ(Render({Path("in.wav"), Path("out.wav")}).exitCode, 0u);
}

}  // namespace
