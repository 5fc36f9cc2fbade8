// The signal path measured as audio: delays, identities of the modes, quadrature behaviour.
#include <cmath>
#include <complex>
#include <vector>

#include <gtest/gtest.h>

#include "engine/PhaseProcessor.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Deterministic broadband stereo test signal in -0.5..0.5.
std::vector<float> NoiseStereo(int frames, unsigned seed = 1) {
    std::vector<float> v(2 * frames);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>((seed >> 8) / 16777216.0 - 0.5);
    }
    return v;
}

std::vector<float> Process(TestEngine& e, const std::vector<float>& in, int channels = 2) {
    int frames = static_cast<int>(in.size()) / channels;
    int outFrames = frames;
    std::vector<float> out(2 * frames);
    EXPECT_EQ(e.ProcessFloat(in.data(), &frames, out.data(), &outFrames), tw::kOk);
    EXPECT_EQ(frames, outFrames);
    return out;
}

void Configure(TestEngine& e, int phase, int mode, int filter, int width = 100, int output = 0) {
    e.SetParams({{phase, width, output, mode, 1, filter}});
}

}  // namespace

TEST(Processor, FirAtPhaseZeroDelaysByExactly63FramesInModes0And1) {
    const int frames = 2000;
    const auto in = NoiseStereo(frames);
    for (int mode : {0, 1}) {
        TestEngine e;
        Configure(e, 0, mode, 1);
        const auto out = Process(e, in);
        for (int i = 0; i < kFirLatencyFrames; ++i) {
            ASSERT_EQ(out[2 * i], 0.0f) << "mode " << mode << " frame " << i;
            ASSERT_EQ(out[2 * i + 1], 0.0f);
        }
        for (int i = kFirLatencyFrames; i < frames; ++i) {
            const int j = i - kFirLatencyFrames;
            ASSERT_NEAR(out[2 * i], in[2 * j], 1e-7) << "mode " << mode << " frame " << i;
            ASSERT_NEAR(out[2 * i + 1], in[2 * j + 1], 1e-7);
        }
    }
}

TEST(Processor, MsModeAt180DegreesSwapsTheChannels) {
    const int frames = 3000;
    const auto in = NoiseStereo(frames, 7);
    TestEngine e;
    Configure(e, 180, 1, 1);
    const auto out = Process(e, in);
    for (int i = kFirLatencyFrames; i < frames; ++i) {
        const int j = i - kFirLatencyFrames;
        // The side's quadrature leaks in through sin(180 deg) of the rounded pi: ~4e-9.
        ASSERT_NEAR(out[2 * i], in[2 * j + 1], 1e-6);
        ASSERT_NEAR(out[2 * i + 1], in[2 * j], 1e-6);
    }
}

TEST(Processor, WidthZeroGivesIdenticalChannelsAndSilenceGivesZero) {
    const auto in = NoiseStereo(1000, 3);
    for (int filter : {0, 1}) {
        TestEngine narrow;
        Configure(narrow, 37, 0, filter, /*width=*/0);
        const auto out = Process(narrow, in);
        for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]);

        TestEngine silent;
        Configure(silent, 37, 2, filter, 150, kOutputSilence);
        for (float v : Process(silent, in)) ASSERT_EQ(v, 0.0f);
    }
}

TEST(Processor, MonoInputInModeTwoGivesSignalAndZero) {
    const int frames = 500;
    std::vector<float> mono(frames);
    for (int i = 0; i < frames; ++i) mono[i] = static_cast<float>(0.4 * std::sin(0.05 * i));
    TestEngine e(1);
    Configure(e, 0, 2, 1);
    const auto out = Process(e, mono, 1);
    for (int i = kFirLatencyFrames; i < frames; ++i) {
        ASSERT_NEAR(out[2 * i], mono[i - kFirLatencyFrames], 1e-7);
        ASSERT_NEAR(out[2 * i + 1], 0.0f, 1e-7);
    }
}

TEST(Processor, AllpassPathKeepsBothChannelsOnOneResponseAtPhaseZero) {
    // Identical inputs: modes 0 and 1 at phase 0 give identical outputs on both channels.
    std::vector<float> in(2 * 800);
    for (int i = 0; i < 800; ++i) in[2 * i] = in[2 * i + 1] = static_cast<float>(std::sin(0.3 * i));
    TestEngine e;
    Configure(e, 0, 0, 0);
    const auto out = Process(e, in);
    for (int i = 0; i < 800; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]);
}

TEST(Processor, SwitchingFilterResumesEachPathFromItsOwnState) {
    const auto in = NoiseStereo(600, 11);
    const std::vector<float> first(in.begin(), in.begin() + 400),
        second(in.begin() + 400, in.end());
    // Reference: the FIR path alone over the first part, then the all-pass path alone.
    TestEngine fir, iir, switching;
    Configure(fir, 45, 0, 1);
    Configure(iir, 45, 0, 0);
    Configure(switching, 45, 0, 1);
    const auto firOut = Process(fir, first);
    const auto switchedFir = Process(switching, first);
    EXPECT_EQ(firOut, switchedFir);
    switching.SetParam(kParamFilter, 0, false);
    const auto iirFromSilence = Process(iir, second);
    EXPECT_EQ(Process(switching, second), iirFromSilence);
}

TEST(Processor, FloatAndDoublePathsAgree) {
    const auto in = NoiseStereo(1500, 5);
    std::vector<double> inD(in.begin(), in.end()), outD(in.size());
    for (int filter : {0, 1}) {
        TestEngine ef(2), ed(2, kWaveFormatIeeeFloat, 64);
        Configure(ef, -63, 3, filter, 170, -25);
        Configure(ed, -63, 3, filter, 170, -25);
        const auto outF = Process(ef, in);
        int frames = 1500, outFrames = 1500;
        ASSERT_EQ(ed.ProcessDouble(inD.data(), &frames, outD.data(), &outFrames), tw::kOk);
        for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(outF[i], outD[i], 1e-6);
    }
}

TEST(Processor, ResetProcessorMakesTheEngineBehaveLikeANewOne) {
    const auto in = NoiseStereo(700, 9);
    TestEngine used, fresh;
    Configure(used, 90, 1, 1);
    Configure(fresh, 90, 1, 1);
    Process(used, NoiseStereo(300, 4));
    used.ResetProcessor(used.InputFormat(), used.OutputFormat());
    EXPECT_EQ(Process(used, in), Process(fresh, in));
}

// Phase and magnitude of a signal at one frequency, by a Hann-windowed single-bin transform.
static std::complex<double> Bin(const std::vector<double>& x, double cyclesPerSample) {
    std::complex<double> acc = 0;
    const size_t n = x.size();
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
        acc += w * x[i] * std::polar(1.0, -2 * kPi * cyclesPerSample * i);
    }
    return acc;
}

TEST(Processor, FirQuadratureHasUnityMagnitudeAtAQuarterOfTheSampleRate) {
    // At fs/4 with a 45-degree start every sample sits on a peak of +-A/sqrt(2).
    const int frames = 4000;
    std::vector<float> in(2 * frames);
    for (int i = 0; i < frames; ++i)
        in[2 * i + 1] = static_cast<float>(0.5 * std::sin(kPi / 2 * i + kPi / 4));
    TestEngine e;
    Configure(e, 90, 0, 1);
    const auto out = Process(e, in);
    double peak = 0;
    for (int i = 2 * kFirTaps; i < frames; ++i)
        peak = std::max(peak, std::fabs(double(out[2 * i + 1])));
    // Float output rounding bounds the resolution at about 3e-8 of the amplitude.
    EXPECT_NEAR(peak / (0.5 * std::sqrt(0.5)), 1.0, 1e-7);
}

TEST(Processor, AllpassChainsStayInQuadratureAcrossTheBand) {
    const int settle = 30000, window = 1 << 16;
    double worst = 0;
    for (double f = 0.002; f <= 0.49; f *= 1.12) {
        // Phase 0 shows chain B's output on the right, phase 90 chain C's (one frame late).
        std::vector<double> in(2 * (settle + window)), ref, quad;
        for (size_t i = 0; i < in.size() / 2; ++i) in[2 * i + 1] = 0.5 * std::sin(2 * kPi * f * i);
        for (int phase : {0, 90}) {
            TestEngine e(2, kWaveFormatIeeeFloat, 64);
            Configure(e, phase, 0, 0);
            std::vector<double> out(in.size());
            int frames = settle + window, outFrames = frames;
            e.ProcessDouble(in.data(), &frames, out.data(), &outFrames);
            auto& dst = phase == 0 ? ref : quad;
            for (int i = settle; i < settle + window; ++i) dst.push_back(out[2 * i + 1]);
        }
        const auto r = Bin(ref, f), q = Bin(quad, f);
        EXPECT_NEAR(std::abs(q) / std::abs(r), 1.0, 1e-3) << "f=" << f;
        const double lag = std::remainder(std::arg(r) - std::arg(q), 2 * kPi) * 180 / kPi;
        worst = std::max(worst, std::fabs(lag - 90.0));
        EXPECT_NEAR(lag, 90.0, 2.2) << "f=" << f;
    }
    EXPECT_GT(worst, 1.0);  // the network's known ripple of about two degrees is really there
}
