// Every signal path this processor runs (SSE2, AVX2, AVX-512) against the plain C++ path, bit
// for bit: samples, phase meter, peaks and clips, over streams that cover each sample format,
// input layout, mode, filter and meter source, block sizes from 1 frame to 64k (every tail of
// every vector and chunk length), filter and path switches between blocks, and signals with
// silence, denormals, values far beyond full scale, infinities and NaN.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/SampleConvert.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

enum class Format { kFloat, kDouble, kPcm16 };

// Block sizes in stream order: around every vector width (2, 4, 8 frames), FIR pass (up to 64
// frames) and chunk (256 frames), once beyond 64k, and an empty block.
constexpr int kBlockSizes[] = {1,  2, 3,   5,   7,   8,   9,   15,  17,  31,   33,    63, 64,
                               65, 0, 127, 129, 255, 256, 257, 511, 513, 1000, 65537, 4,  6};

// Noise whose level steps from -80 dB to far beyond full scale, with runs of digital silence,
// exact zeros of both signs and denormals; with `poison` the last frames bring infinities and NaN.
double Sample(Format f, uint32_t frame, int channel, bool poison, uint32_t total) {
    uint32_t h = (2 * frame + channel) * 2654435761u + 12345u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    const double noise = h / 2147483648.0 - 1.0;
    if (poison && frame + 40 > total) {
        const double specials[] = {INFINITY, -INFINITY, std::numeric_limits<double>::quiet_NaN()};
        if (h % 7 == 0) return specials[h % 3];
    }
    if ((frame / 300) % 9 == 4) return 0.0;  // silence: only the input offset reaches the filters
    switch (h % 101) {
        case 0:
            return 0.0;
        case 1:
            return -0.0;
        case 2:
            return noise * (f == Format::kDouble ? 1e-310 : 1e-40);
        case 3:
            return noise * 1e30;
        default:
            break;
    }
    static constexpr double kLevels[] = {1e-4, 0.03, 0.5, 0.99, 1.7};
    return kLevels[(frame / 97) % 5] * noise;
}

// Same bits, or NaN on both sides (which NaN an operation returns depends on its operand order).
template <typename T>
bool SameValue(T a, T b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0 || (a != a && b != b);
}

// One block in a format: input built from the frames' samples, output widened for comparing.
struct BlockIo {
    Format format;
    std::vector<float> f;
    std::vector<double> d;
    std::vector<int16_t> s;

    BlockIo(Format fmt, int channels, uint32_t first, int n, bool poison, uint32_t total)
        : format(fmt) {
        for (int i = 0; i < n; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                const double x = Sample(fmt, first + i, ch, poison, total);
                f.push_back(static_cast<float>(x));
                d.push_back(x);
                s.push_back(static_cast<int16_t>(std::fmax(-32768, std::fmin(32767, x * 32768))));
            }
        }
    }
    std::vector<double> Run(TestEngine& e) const {
        if (format == Format::kFloat) return Widen(Process(e, f));
        if (format == Format::kDouble) return Process(e, d);
        return Widen(Process(e, s));
    }
    template <typename T>
    static std::vector<double> Widen(const std::vector<T>& v) {
        return std::vector<double>(v.begin(), v.end());
    }
};

struct Stream {
    Format format;
    int channels;
    ParamValues params;  // phase, width, output, mode, meter post, filter
    bool poison;
};

std::unique_ptr<TestEngine> MakeEngine(const Stream& s) {
    static constexpr uint16_t kBits[] = {32, 64, 16};  // by Format
    auto e = std::make_unique<TestEngine>(
        s.channels, s.format == Format::kPcm16 ? kWaveFormatPcm : kWaveFormatIeeeFloat,
        kBits[static_cast<int>(s.format)]);
    e->params.SetParams(s.params);
    return e;
}

// The stream through the plain C++ path, every other path, and an engine that changes path at
// every block; all compared after each block.
void RunStream(const Stream& s) {
    const std::vector<SignalPath> paths = SupportedSignalPaths();
    std::vector<std::unique_ptr<TestEngine>> engines;
    for (SignalPath path : paths) {
        engines.push_back(MakeEngine(s));
        ASSERT_TRUE(engines.back()->processor.SelectSignalPath(path));
    }
    engines.push_back(MakeEngine(s));  // the one that changes path
    TestEngine& plain = *engines[0];
    uint32_t total = 0;
    for (int n : kBlockSizes) total += n;

    ParamValues params = s.params;
    uint32_t frame = 0;
    for (size_t block = 0; block < std::size(kBlockSizes); ++block) {
        const int n = kBlockSizes[block];
        // Now and then another filter, resuming from its own state: streams that start with the
        // precise filter go round all three, the others alternate between all-pass and FIR.
        if (block % 9 == 8) {
            const int32_t filter = params[kParamFilter];
            params[kParamFilter] = s.params[kParamFilter] == 2 ? (filter + 1) % 3 : filter ^ 1;
            for (auto& e : engines) e->params.SetParams(params);
        }
        engines.back()->processor.SelectSignalPath(paths[block % paths.size()]);
        const BlockIo io(s.format, s.channels, frame, n, s.poison, total);
        frame += n;
        const std::vector<double> want = io.Run(plain);
        for (size_t p = 1; p < engines.size(); ++p) {
            TestEngine& e = *engines[p];
            SCOPED_TRACE(::testing::Message()
                         << (p < paths.size() ? SignalPathName(paths[p]) : "changing path")
                         << ", block " << block << " of " << n << " frames");
            const std::vector<double> got = io.Run(e);
            ASSERT_EQ(got.size(), want.size());
            for (size_t i = 0; i < got.size(); ++i) {
                ASSERT_TRUE(SameValue(got[i], want[i]))
                    << "sample " << i << ": " << got[i] << ", plain C++ " << want[i];
            }
            EXPECT_TRUE(SameValue(e.processor.GetPhaseAccumulator(),
                                  plain.processor.GetPhaseAccumulator()));
            for (Channel ch : {Channel::kLeft, Channel::kRight}) {
                EXPECT_EQ(e.processor.GetClip(ch, ClipCounter::kLive),
                          plain.processor.GetClip(ch, ClipCounter::kLive));
                // Read only on some blocks, so held peaks also span blocks.
                if (block % 3 == 0) {
                    EXPECT_EQ(e.processor.GetPeak(ch), plain.processor.GetPeak(ch));
                }
            }
        }
        if (block % 3 == 0) {
            plain.processor.GetPeak(Channel::kLeft);
            plain.processor.GetPeak(Channel::kRight);
        }
        for (auto& e : engines) {
            e->processor.SetClip(Channel::kLeft, ClipCounter::kLive, 0);
            e->processor.SetClip(Channel::kRight, ClipCounter::kLive, 0);
        }
    }
}

TEST(SignalPaths, EveryPathMatchesThePlainPathBitForBit) {
    std::string names;
    for (SignalPath path : SupportedSignalPaths()) names += std::string(" ") + SignalPathName(path);
    std::cout << "[ paths    ]" << names << "\n";
    if (SupportedSignalPaths().size() == 1) GTEST_SKIP() << "only the plain C++ path here";
    const Stream streams[] = {
        {Format::kFloat, 2, {{45, 130, -20, 1, 1, 0}}, false},
        {Format::kFloat, 2, {{-120, 150, 25, 1, 0, 1}}, false},
        {Format::kFloat, 1, {{90, 0, -60, 2, 1, 1}}, false},
        {Format::kFloat, 2, {{180, 200, 60, 3, 1, 0}}, true},
        {Format::kFloat, 1, {{37, 100, 0, 0, 0, 0}}, false},
        {Format::kDouble, 2, {{-73, 200, 35, 0, 1, 1}}, false},
        {Format::kDouble, 1, {{-180, 120, -361, 3, 1, 1}}, false},  // silence
        {Format::kDouble, 2, {{135, 80, -15, 2, 0, 0}}, true},
        {Format::kDouble, 2, {{-45, 100, 0, 1, 0, 1}}, false},
        {Format::kPcm16, 2, {{-45, 170, 40, 1, 1, 1}}, false},
        {Format::kPcm16, 1, {{60, 100, 0, 0, 0, 0}}, false},
        {Format::kPcm16, 2, {{-150, 0, 10, 3, 0, 1}}, true},
        {Format::kFloat, 2, {{90, 100, 0, 0, 1, 2}}, true},
        {Format::kFloat, 1, {{-30, 160, -40, 2, 0, 2}}, false},
        {Format::kDouble, 2, {{150, 60, 20, 1, 1, 2}}, true},
        {Format::kPcm16, 2, {{-90, 130, 30, 3, 0, 2}}, false},
    };
    for (size_t i = 0; i < std::size(streams); ++i) {
        SCOPED_TRACE(::testing::Message() << "stream " << i);
        RunStream(streams[i]);
    }
}

TEST(SignalPaths, SixteenBitConversionsMatchOnEveryPath) {
    // Every 16-bit value in, and floats around every output step, beyond full scale and special.
    std::vector<int16_t> pcm;
    for (int v = -32768; v <= 32767; ++v) pcm.push_back(static_cast<int16_t>(v));
    std::vector<float> floats = {0.0f,
                                 -0.0f,
                                 1e-40f,
                                 -1e-40f,
                                 1e30f,
                                 -1e30f,
                                 INFINITY,
                                 -INFINITY,
                                 std::numeric_limits<float>::quiet_NaN(),
                                 -std::numeric_limits<float>::quiet_NaN()};
    for (int v = -32770; v <= 32770; ++v) {
        const float step = static_cast<float>(v) / 32768.0f;
        floats.insert(floats.end(), {step, std::nextafter(step, 2.0f), std::nextafter(step, -2.0f),
                                     (static_cast<float>(v) + 0.5f) / 32768.0f});
    }
    floats.pop_back();  // an odd count, so every path has a tail
    for (SignalPath path : SupportedSignalPaths()) {
        SCOPED_TRACE(SignalPathName(path));
        const SignalKernels& k = *SignalKernelsFor(path);
        std::vector<float> asFloat(pcm.size());
        k.pcmToFloat(pcm.data(), asFloat.data(), static_cast<int>(pcm.size()));
        for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(asFloat[i], PcmToFloat(pcm[i])) << i;
        std::vector<int16_t> asPcm(floats.size());
        k.floatToPcm(floats.data(), asPcm.data(), static_cast<int>(floats.size()));
        for (size_t i = 0; i < floats.size(); ++i)
            ASSERT_EQ(asPcm[i], FloatToPcm(floats[i])) << floats[i];
    }
}

// The quadrature stage alone, as the phase analysis runs it, gives the pair the processor's output
// is made of: in LR phase the outputs are the mid and side mix of u and of the rotation of t and
// v, bit for bit, on every path, with every filter, over chunks of every tail length.
TEST(SignalPaths, TheQuadratureStageAloneGivesTheProcessorsPair) {
    ParamValues params = kDefaultParams;
    params[kParamPhase] = 75;
    params[kParamWidth] = 140;
    for (SignalPath path : SupportedSignalPaths()) {
        const SignalKernels& k = *SignalKernelsFor(path);
        for (int filter = 0; filter < kParamDescriptors[kParamFilter].ValueCount(); ++filter) {
            SCOPED_TRACE(::testing::Message() << SignalPathName(path) << ", filter " << filter);
            params[kParamFilter] = filter;
            PhaseBlock block = {};
            block.stereoIn = true;
            block.filter = static_cast<QuadratureFilter>(filter);
            block.precise = &PreciseQuadratureFor(48000);
            block.coefficients = ComputeCoefficients(params);
            auto processed = std::make_unique<PhaseState>(), alone = std::make_unique<PhaseState>();
            QuadraturePair pair = {};
            uint32_t frame = 0;
            for (int n : {1, 2, 3, 255, 256, 7, 64, 65}) {
                const BlockIo io(Format::kFloat, 2, frame, n, false, 0);
                frame += n;
                std::vector<float> out(2 * n);
                block.frames = n;
                k.processFloat(*processed, block, io.f.data(), out.data());
                k.quadratureFloat(*alone, block, io.f.data(), pair);
                const Coefficients& c = block.coefficients;
                for (int i = 0; i < n; ++i) {
                    const double u = pair.u[i];
                    const double q = pair.t[i] * c.cosPhase + pair.v[i] * c.sinPhase;
                    const double m = (u + q) * c.midGain, s = (u - q) * c.sideGain;
                    ASSERT_EQ(out[2 * i], static_cast<float>(m + s)) << i;
                    ASSERT_EQ(out[2 * i + 1], static_cast<float>(m - s)) << i;
                }
            }
        }
    }
}

TEST(SignalPaths, TheFastestSupportedPathIsTheDefaultAndOthersAreRefused) {
    TestEngine e;
    EXPECT_EQ(e.processor.GetSignalPath(), SupportedSignalPaths().back());
    for (int p = 0; p < kSignalPathCount; ++p) {
        const SignalPath path = static_cast<SignalPath>(p);
        EXPECT_EQ(e.processor.SelectSignalPath(path), SignalPathSupported(path))
            << SignalPathName(path);
    }
    EXPECT_FALSE(e.processor.SelectSignalPath(static_cast<SignalPath>(kSignalPathCount)));
}

}  // namespace
