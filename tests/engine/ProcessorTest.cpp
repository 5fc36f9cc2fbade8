// The signal path measured as audio: delays, identities of the modes, quadrature behaviour.
#include <cmath>
#include <complex>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Coefficients.h"
#include "engine/PhaseProcessor.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Phase and magnitude of a signal at one frequency, by a Hann-windowed single-bin transform.
std::complex<double> Bin(const std::vector<double>& x, double cyclesPerSample) {
    std::complex<double> acc = 0;
    const size_t n = x.size();
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
        acc += w * x[i] * std::polar(1.0, -2 * kPi * cyclesPerSample * i);
    }
    return acc;
}

}  // namespace

// With the FIR filter at phase 0 (or 180) the modes reduce to plain delays of the input by the
// filter's latency; at phase 0 the frames before it are exact zeros.
TEST(Processor, FirModesReduceToDelaysOfTheInput) {
    struct Case {
        const char* name;
        ParamValues params;
        int channels;
        bool swapped;      // left out is right in and the other way round
        bool rightSilent;  // the right output carries nothing
        double tolerance;
    };
    const Settings fir = Settings().With(QuadratureFilter::kFir);
    const Case cases[] = {
        {"LR phase 0", fir, 2, false, false, 1e-7},
        {"MS phase 0", Settings(fir).With(Mode::kMsPhase), 2, false, false, 1e-7},
        // The side's quadrature leaks in through sin(180 deg) of the rounded pi: ~4e-9.
        {"MS phase 180", Settings(fir).With(Mode::kMsPhase).Phase(180), 2, true, false, 1e-6},
        {"CS encode of mono", Settings(fir).With(Mode::kCsEncode), 1, false, true, 1e-7},
    };
    const int frames = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto in = Noise(frames, c.channels, 7);
        TestEngine e(c.channels);
        e.params.SetParams(c.params);
        const auto out = Process(e, in);
        const bool phaseZero = c.params[kParamPhase] == 0;
        for (int i = phaseZero ? 0 : kFirLatencyFrames; i < kFirLatencyFrames; ++i) {
            ASSERT_EQ(out[2 * i], 0.0f) << "frame " << i;
            ASSERT_EQ(out[2 * i + 1], 0.0f) << "frame " << i;
        }
        for (int i = kFirLatencyFrames; i < frames; ++i) {
            const int j = i - kFirLatencyFrames;
            const double left = in[c.channels * j], right = in[c.channels * j + c.channels - 1];
            ASSERT_NEAR(out[2 * i], c.swapped ? right : left, c.tolerance) << "frame " << i;
            ASSERT_NEAR(out[2 * i + 1],
                        c.rightSilent ? 0.0
                        : c.swapped   ? left
                                      : right,
                        c.tolerance)
                << "frame " << i;
        }
    }
}

TEST(Processor, WidthZeroGivesIdenticalChannelsAndSilenceGivesZero) {
    const auto in = Noise(1000, 2, 3);
    for (QuadratureFilter filter :
         {QuadratureFilter::kAllpass, QuadratureFilter::kFir, QuadratureFilter::kPrecise}) {
        TestEngine narrow;
        narrow.params.SetParams(Settings().Phase(37).Width(0).With(filter));
        const auto out = Process(narrow, in);
        for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]);

        TestEngine silent;
        silent.params.SetParams(
            Settings().Phase(37).Width(150).Output(kOutputSilence).With(Mode::kCsEncode, filter));
        for (float v : Process(silent, in)) ASSERT_EQ(v, 0.0f);
    }
}

TEST(Processor, AllpassPathKeepsBothChannelsOnOneResponseAtPhaseZero) {
    // Identical inputs at phase 0 give identical outputs on both channels.
    std::vector<float> in(2 * 800);
    for (int i = 0; i < 800; ++i) in[2 * i] = in[2 * i + 1] = static_cast<float>(std::sin(0.3 * i));
    TestEngine e;
    e.params.SetParams(Settings());
    const auto out = Process(e, in);
    for (int i = 0; i < 800; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]);
}

TEST(Processor, SwitchingFilterResumesEachPathFromItsOwnState) {
    // Reference: one engine per filter, fed only the parts played with that filter.
    const QuadratureFilter order[] = {QuadratureFilter::kFir,     QuadratureFilter::kAllpass,
                                      QuadratureFilter::kPrecise, QuadratureFilter::kAllpass,
                                      QuadratureFilter::kFir,     QuadratureFilter::kPrecise};
    const Settings settings = Settings().Phase(45);
    TestEngine alone[3], switching;
    for (int f = 0; f < 3; ++f)
        alone[f].params.SetParams(Settings(settings).With(static_cast<QuadratureFilter>(f)));
    switching.params.SetParams(settings);
    for (size_t part = 0; part < std::size(order); ++part) {
        const auto in =
            Noise(300 + 37 * static_cast<int>(part), 2, static_cast<unsigned>(11 + part));
        switching.params.SetParam(kParamFilter, ParamValueOf(order[part]), false);
        EXPECT_EQ(Process(switching, in), Process(alone[ParamValueOf(order[part])], in))
            << "part " << part;
    }
}

// A NaN or an infinity that reached the chains of the all-pass network that ran restarts them
// from silence: the next block is finite again.
TEST(Processor, NonFiniteInputRestartsTheAllpassChains) {
    for (QuadratureFilter filter : {QuadratureFilter::kAllpass, QuadratureFilter::kPrecise}) {
        SCOPED_TRACE(ParamValueOf(filter));
        TestEngine e;
        e.params.SetParams(Settings().Phase(90).With(filter));
        auto in = Noise(200, 2, 3);
        in[2 * 150] = in[2 * 150 + 1] = INFINITY;
        Process(e, in);
        int notFinite = 0;
        for (float v : Process(e, Noise(300, 2, 7))) notFinite += !std::isfinite(v);
        EXPECT_EQ(notFinite, 0);
    }
}

// A NaN or an infinity that reached the FIR's lines is gone when the FIR is chosen again after
// the all-pass network has run: the lines hold it only while the FIR is not running.
TEST(Processor, NonFiniteInputLeavesNothingInTheFirLinesForLater) {
    for (SignalPath path : SupportedSignalPaths()) {
        for (float bad : {std::nanf(""), INFINITY}) {
            SCOPED_TRACE(::testing::Message() << SignalPathName(path) << ", " << bad);
            TestEngine e;
            ASSERT_TRUE(e.processor.SelectSignalPath(path));
            e.params.SetParams(Settings().Phase(90).With(QuadratureFilter::kFir));
            auto in = Noise(200, 2, 3);
            in[2 * 170] = in[2 * 170 + 1] = bad;  // within every line's reach at the block's end
            Process(e, in);
            e.params.SetParam(kParamFilter, ParamValueOf(QuadratureFilter::kAllpass), false);
            Process(e, Noise(10000, 2, 5));
            e.params.SetParam(kParamFilter, ParamValueOf(QuadratureFilter::kFir), false);
            int notFinite = 0;
            for (float v : Process(e, Noise(300, 2, 7))) notFinite += !std::isfinite(v);
            EXPECT_EQ(notFinite, 0);
        }
    }
}

TEST(Processor, FloatAndDoublePathsAgree) {
    const auto in = Noise(1500, 2, 5);
    const std::vector<double> inD(in.begin(), in.end());
    for (QuadratureFilter filter :
         {QuadratureFilter::kAllpass, QuadratureFilter::kFir, QuadratureFilter::kPrecise}) {
        const ParamValues params =
            Settings().Phase(-63).Width(170).Output(-25).With(Mode::kScEncode, filter);
        TestEngine ef(2), ed(2, kWaveFormatIeeeFloat, 64);
        ef.params.SetParams(params);
        ed.params.SetParams(params);
        const auto outF = Process(ef, in);
        const auto outD = Process(ed, inD);
        for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(outF[i], outD[i], 1e-6);
    }
}

TEST(Processor, StartingTheStreamAgainMakesTheEngineBehaveLikeANewOne) {
    const auto in = Noise(700, 2, 9);
    for (QuadratureFilter filter : {QuadratureFilter::kFir, QuadratureFilter::kPrecise}) {
        const ParamValues params = Settings().Phase(90).With(Mode::kMsPhase, filter);
        TestEngine used, fresh;
        used.params.SetParams(params);
        fresh.params.SetParams(params);
        Process(used, Noise(300, 2, 4));
        used.processor.StartStream(used.processor.InputFormat(), used.processor.OutputFormat());
        EXPECT_EQ(Process(used, in), Process(fresh, in)) << ParamValueOf(filter);
    }
}

TEST(Processor, FirQuadratureHasUnityMagnitudeAtAQuarterOfTheSampleRate) {
    // At fs/4 with a 45-degree start every sample sits on a peak of +-A/sqrt(2).
    const int frames = 4000;
    std::vector<float> in(2 * frames);
    for (int i = 0; i < frames; ++i)
        in[2 * i + 1] = static_cast<float>(0.5 * std::sin(kPi / 2 * i + kPi / 4));
    TestEngine e;
    e.params.SetParams(Settings().Phase(90).With(QuadratureFilter::kFir));
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
            e.params.SetParams(Settings().Phase(phase));
            const auto out = Process(e, in);
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

// Every build turns the phase by the same numbers: the table's, which are the Windows runtime's
// cosine and sine of the angle (bit for bit in the DLL's own build, within rounding elsewhere).
TEST(Coefficients, PhaseRotationIsTheRuntimesCosineAndSineInEveryBuild) {
    const ParamDescriptor& r = ParamDescriptorOf(kParamPhase);
    for (int32_t degrees = r.min; degrees <= r.max; ++degrees) {
        ParamValues params = kDefaultParams;
        params[kParamPhase] = degrees;
        const Coefficients c = ComputeCoefficients(params);
        volatile double stored = degrees * 3.14159265 * 0.005555555555555556;
        const double angle = stored;
#ifdef _WIN32
        ASSERT_EQ(c.cosPhase, std::cos(angle)) << degrees;
        ASSERT_EQ(c.sinPhase, std::sin(angle)) << degrees;
#else
        ASSERT_NEAR(c.cosPhase, std::cos(angle), 1e-15) << degrees;
        ASSERT_NEAR(c.sinPhase, std::sin(angle), 1e-15) << degrees;
#endif
    }
    ParamValues beyond = kDefaultParams;
    beyond[kParamPhase] = r.max + 1;
    EXPECT_EQ(ComputeCoefficients(beyond).cosPhase, -1.0);
}
