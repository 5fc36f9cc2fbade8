// twphase-render --analyze end to end, against the registered DLL under Wine: its suggestions on
// signals whose answer is known, its report files, its exit codes, and its exact curves against
// ordinary renders at a few settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/FormatRules.h"
#include "host/analyze/AnalysisInput.h"
#include "analysis/PhaseAnalysis.h"
#include "host/wav/WavWriter.h"
#include "tests/host/RendererProcess.h"
#include "tests/host/WellFormed.h"

namespace fs = std::filesystem;
using namespace rendertest;

namespace {

constexpr uint32_t kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// Interleaved values in [-1, 1) written in the format (16- and 24-bit PCM, 32-bit float).
void WriteWav(const std::string& path, uint16_t tag, uint16_t bits, uint16_t channels,
              const std::vector<double>& values) {
    std::vector<uint8_t> bytes;
    for (double value : values) {
        if (tag == kWaveFormatIeeeFloat) {
            const float f = static_cast<float>(value);
            const uint8_t* raw = reinterpret_cast<const uint8_t*>(&f);
            bytes.insert(bytes.end(), raw, raw + 4);
        } else {
            const int32_t step = static_cast<int32_t>(std::lround(value * (1 << (bits - 1))));
            for (int b = 0; b < bits / 8; ++b)
                bytes.push_back(static_cast<uint8_t>(step >> (8 * b)));
        }
    }
    CWavWriter writer;
    ASSERT_TRUE(writer.Open(path, MakeWaveFormat(tag, channels, kRate, bits))) << writer.Error();
    ASSERT_TRUE(writer.Write(bytes.data(), values.size() / channels));
    ASSERT_TRUE(writer.Finish()) << writer.Error();
}

// Tones in the right channel leading those in the left by 90 degrees (quadrature), or the
// right channel the left's negative (inverted), or one channel (mono).
std::vector<double> Signal(const std::string& kind, size_t frames) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> noise(-0.4, 0.4);
    std::vector<double> values;
    for (size_t i = 0; i < frames; ++i) {
        double l = 0.0, r = 0.0;
        for (double f : {1500.0, 3100.0, 5200.0}) {
            l += 0.2 * std::sin(2 * kPi * f * i / kRate + f);
            r += 0.2 * std::cos(2 * kPi * f * i / kRate + f);
        }
        if (kind == "inverted") r = -(l = noise(random));
        values.push_back(l);
        if (kind != "mono") values.push_back(kind == "tones+noise" ? noise(random) : r);
    }
    return values;
}

class AnalysisRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(CallPlugInExport("DllRegisterServer"), S_OK); }
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("twanalysis-" + std::to_string(std::random_device()()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

// Each signal's repair is suggested, the render at it agrees, the report files are
// well-formed, no audio is left behind, and a failed check gives exit code 3.
TEST_F(AnalysisRenderTest, SuggestsTheRepairOfKnownSignals) {
    const struct {
        const char* kind;
        uint16_t tag, bits, channels;
        std::vector<std::string> options;
        const char* modeAndFilter;
        int phase, phaseTolerance;  // the all-pass network holds 90 degrees within 2
        const char* rest;           // of the suggested options, after the phase
        DWORD exitCode;
        const char* says = "";  // in the report
    } cases[] = {
        {"quadrature",
         kWaveFormatIeeeFloat,
         32,
         2,
         {},
         "--mode lr --filter iir",
         90,
         2,
         "--width 100 --output 0.0",
         0},
        {"inverted",
         kWaveFormatPcm,
         16,
         2,
         {"--fail-above", "mono-loss=3", "--fail-below", "correlation=0.5"},
         "--mode lr --filter iir",
         180,
         0,
         "--width 100",
         3},
        {"mono",
         kWaveFormatPcm,
         24,
         1,
         {"--mode", "ms", "--filter", "fir", "--width", "160"},
         "--mode ms --filter fir",
         0,
         0,
         "--width 160",
         0},
        {"tones+noise",
         kWaveFormatIeeeFloat,
         32,
         2,
         {"--objective", "peak", "--output", "-2.5"},
         "",
         0,
         180,
         "--output -2.5",
         0},
        // 6 dB up, every angle clips the 16-bit file: the render agrees with the figures of the
        // clipped file, and the failed check still gives 3.
        {"tones+noise",
         kWaveFormatPcm,
         16,
         2,
         {"--output", "6.0", "--fail-above", "mono-loss=1"},
         "",
         0,
         180,
         "--output 6.0",
         3,
         "warning: the suggested setting clips the 16-bit PCM output"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        WriteWav(Path("in.wav"), c.tag, c.bits, c.channels, Signal(c.kind, 12000));
        std::vector<std::string> args = {"--analyze", "--plot", Path("plot.svg"), "--report",
                                         Path("report.json")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(Path("in.wav"));
        const RunResult run = RunRenderer(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        const size_t suggested = run.output.find("suggested: --");
        ASSERT_NE(suggested, std::string::npos) << run.output;
        const std::string line =
            run.output.substr(suggested, run.output.find('\n', suggested) - suggested);
        EXPECT_NE(line.find(c.modeAndFilter), std::string::npos) << line;
        EXPECT_NEAR(std::stoi(line.substr(line.find("--phase ") + 8)), c.phase, c.phaseTolerance)
            << line;
        EXPECT_NE(line.find(c.rest), std::string::npos) << line;
        EXPECT_NE(run.output.find("the render agrees with the analysis"), std::string::npos)
            << run.output;
        EXPECT_EQ(run.output.find("FAILED") != std::string::npos, c.exitCode == 3) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        std::string where;
        const std::string json = ReadFileBytes(Path("report.json"));
        EXPECT_TRUE(wellformed::IsJson(json, &where)) << where;
        EXPECT_NE(json.find("\"agrees\": true"), std::string::npos);
        EXPECT_TRUE(wellformed::IsXml(ReadFileBytes(Path("plot.svg")), &where)) << where;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
            << "in.wav, plot.svg and report.json only";
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
            EXPECT_EQ(entry.path().filename().string().rfind("twphase-analysis-", 0),
                      std::string::npos)
                << entry.path();
    }

    const RunResult misuse = RunRenderer({"--analyze", Path("in.wav"), Path("out.wav")});
    EXPECT_EQ(misuse.exitCode, 2u);
    EXPECT_NE(misuse.output.find("writes no audio"), std::string::npos) << misuse.output;
}

// The exact curve, computed here by the analysis's core, against ordinary renders through the
// plug-in at a few settings of each mode and filter, measured from the files they write.
TEST_F(AnalysisRenderTest, CurveAgreesWithOrdinaryRenders) {
    WriteWav(Path("in.wav"), kWaveFormatPcm, 16, 2, Signal("tones+noise", 9000));
    const struct {
        const char* mode;
        const char* filter;
        int phase, width;
    } renders[] = {{"lr", "iir", 45, 100},
                   {"lr", "fir", -120, 60},
                   {"ms", "iir", 180, 150},
                   {"ms", "fir", 77, 100},
                   {"lr", "precise", 90, 100},
                   {"ms", "precise", -33, 120}};
    for (const auto& r : renders) {
        SCOPED_TRACE(std::string(r.mode) + " " + r.filter + " " + std::to_string(r.phase));
        AnalysisSettings settings;
        settings.width = r.width;
        settings.modes[0] = std::string(r.mode) == "lr";
        settings.modes[1] = !settings.modes[0];
        for (int32_t f = 0; f < static_cast<int32_t>(std::size(settings.filters)); ++f)
            settings.filters[f] = kParamDescriptors[kParamFilter].ChoiceOf(f).symbol ==
                                  std::string(r.filter);
        CWavAnalysisSource source;
        ASSERT_TRUE(source.Open(Path("in.wav"))) << source.Error();
        PhaseAnalysisResult analysis;
        std::string error;
        ASSERT_TRUE(AnalyzePhase(source, settings, &analysis, &error)) << error;
        const SignalFigures& exact = analysis.cases.at(0).curve[r.phase - kAnalysisMinPhase];

        const RunResult run =
            RunRenderer({"--mode", r.mode, "--filter", r.filter, "--phase", std::to_string(r.phase),
                       "--width", std::to_string(r.width), Path("in.wav"), Path("out.wav")});
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        StereoMoments moments;
        double quantum = 0.0;
        ASSERT_TRUE(MeasureWavFile(Path("out.wav"), &moments, &quantum, &error)) << error;
        EXPECT_EQ(moments.frames, 9000.0);
        const SignalFigures measured = FiguresOf(moments);
        // 16-bit output: each sample within one step of the plug-in's.
        EXPECT_NEAR(measured.rmsDbfs, exact.rmsDbfs, 0.005);
        EXPECT_NEAR(measured.monoLossDb, exact.monoLossDb, 0.005);
        EXPECT_NEAR(measured.correlation, exact.correlation, 2e-4);
    }
}

}  // namespace
