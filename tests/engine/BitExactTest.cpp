// The block processor bit for bit against a plain per-frame model written out below: samples,
// phase meter, clip counters and held peaks, on every signal path this processor runs. The model
// keeps its state in the simplest form, so a change to a constant, a rounding step or the order
// of operations in the engine fails here.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/EngineTestSupport.h"

namespace {

enum class Path { kFloat, kDouble, kPcm16 };

// Hamming-windowed 1/k magnitudes for odd k = 1..63, as stored in single precision.
constexpr float kTapMagnitude[32] = {
    0.9994282f,    0.33162072f,   0.1971551f,    0.13889408f,   0.10604952f,   0.08477398f,
    0.06974469f,   0.05848026f,   0.049669147f,  0.042553794f,  0.036666665f,  0.031704f,
    0.027460154f,  0.023791097f,  0.020593038f,  0.017789295f,  0.015321944f,  0.013146338f,
    0.011227389f,  0.009537003f,  0.008052271f,  0.006754156f,  0.0056265485f, 0.0046555544f,
    0.0038289705f, 0.0031358856f, 0.0025663788f, 0.0021112899f, 0.001762044f,  0.0015105197f,
    0.0013489483f, 0.0012698413f};

// One all-pass section y = k * (y[n-2] - x) + x[n-2] with its own input and output history.
struct Section {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double Run(double k, double x) {
        const double y = k * (y2 - x) + x2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

double Chain(Section (&s)[3], const double (&k)[3], double x) {
    return s[2].Run(k[2], s[1].Run(k[1], s[0].Run(k[0], x)));
}

// The whole stream as a model: filter state, coefficients and meters.
struct Model {
    bool singleFirInput;
    double cosP = 1, sinP = 0, mid = 0, side = 0;
    int mode = 0;
    bool fir = false, pre = false;
    Section chainA[3], chainB[3], chainC[3];
    float tap[127] = {};
    double lastC = 0, line[127] = {}, delayA[63] = {}, delayB[63] = {};
    double acc = 0, held[2] = {0, 0}, run[2] = {0, 0};
    int clip[2] = {0, 0};
    bool read[2] = {false, false};

    explicit Model(bool single) : singleFirInput(single) {
        for (int i = 0; i < 32; ++i) {
            const int k = 2 * i + 1;
            tap[63 - k] = kTapMagnitude[i];
            tap[63 + k] = -kTapMagnitude[i];
        }
    }

    void BeginBlock(const ParamValues& p) {
        const double angle = p[0] * 3.14159265 * 0.005555555555555556;
        cosP = std::cos(angle);
        sinP = std::sin(angle);
        const double g = p[2] <= -361 ? 0.0 : std::pow(10.0, p[2] * 0.005);
        mid = 0.5 * g;
        side = p[1] * 0.005 * g;
        mode = p[3];
        pre = p[4] == 0;
        fir = p[5] == 1;
        for (int ch = 0; ch < 2; ++ch) run[ch] = read[ch] ? 0.0 : held[ch];
    }

    void Meter(double x, double y) {
        acc = (x >= 0.0) == (y >= 0.0) ? acc * 0.9999 : acc + (1 - acc) * (1 - 0.9999);
    }

    void Frame(double L, double R, double* out) {
        static constexpr double kRef[3] = {0.232829, 0.843573, 0.980351};
        static constexpr double kQuad[3] = {0.612779, 0.942636, 0.995302};
        if (pre) Meter(L, R);
        const double a = mode == 1 ? L + R : L, b = mode == 1 ? L - R : R;
        double u, t, v;
        if (!fir) {
            u = Chain(chainA, kRef, a);
            t = Chain(chainB, kRef, b);
            v = lastC;
            lastC = Chain(chainC, kQuad, b);
        } else {
            std::copy(line + 1, line + 127, line);
            line[126] = (singleFirInput ? static_cast<double>(static_cast<float>(b)) : b) *
                        0.6371267756210187;
            v = 0.0;
            for (int p = 0; p < 127; p += 2) v += static_cast<double>(tap[p]) * line[p];
            u = delayA[0];
            t = delayB[0];
            std::copy(delayA + 1, delayA + 63, delayA);
            std::copy(delayB + 1, delayB + 63, delayB);
            delayA[62] = a;
            delayB[62] = b;
        }
        const double q = t * cosP + v * sinP;
        double P = (q + u) / 2, Q = mode == 3 ? (q - u) / 2 : (u - q) / 2;
        if (mode == 0) P = u, Q = q;
        const double m = (P + Q) * mid, s = (P - Q) * side;
        out[0] = m + s;
        out[1] = m - s;
        if (!pre) Meter(out[0], out[1]);
        for (int ch = 0; ch < 2; ++ch) {
            if (std::fabs(out[ch]) > 1.0 || std::isnan(out[ch])) clip[ch] = 3;
            run[ch] = std::max(run[ch], std::fabs(out[ch]));
        }
    }
};

// Silence for the first 70 frames (only the input offset reaches the filters), then noise whose
// level steps from -60 dB to beyond full scale; the right channel is partly the inverted left.
double Signal(Path path, int frame, int channel) {
    static constexpr double kLevels[5] = {0.001, 0.03, 0.25, 0.8, 1.7};
    auto noise = [frame](int c) {
        uint32_t h = static_cast<uint32_t>(2 * frame + c) * 2654435761u + 12345u;
        h ^= h >> 13;
        h *= 0x5bd1e995u;
        h ^= h >> 15;
        return h / 2147483648.0 - 1.0;
    };
    if (frame < 70) return 0.0;
    const double level = kLevels[(frame / 29) % 5];
    const double x = level * (channel == 0 ? noise(0) : 0.7 * noise(1) - 0.6 * noise(0));
    if (path == Path::kFloat) return static_cast<float>(x);
    if (path == Path::kPcm16) return std::clamp(std::round(x * 32768.0), -32768.0, 32767.0);
    return x;
}

// An input sample as the engine reads it: converted to the working type, offset by 1e-30f.
double ReadInput(Path path, double s) {
    if (path == Path::kDouble) return s + static_cast<double>(1e-30f);
    const float f = static_cast<float>(path == Path::kPcm16 ? s * 0.000030517578125 : s);
    return static_cast<double>(f + 1e-30f);
}

// A result as the engine writes it, widened back to double (exact for float and int16).
double WriteOutput(Path path, double y) {
    if (path == Path::kDouble) return y;
    const float f = static_cast<float>(y);
    if (path == Path::kFloat) return f;
    return static_cast<double>(static_cast<int32_t>(std::clamp(f * 32768.0f, -32768.0f, 32767.0f)));
}

// One block through the engine in the path's sample type, outputs widened to double.
template <typename Sample>
std::vector<double> Through(TestEngine& e, int channels, const double* in, int n) {
    const std::vector<Sample> out = Process(e, std::vector<Sample>(in, in + channels * n));
    return std::vector<double>(out.begin(), out.end());
}

std::vector<double> EngineBlock(TestEngine& e, Path path, int channels, const double* in, int n) {
    if (path == Path::kDouble) return Through<double>(e, channels, in, n);
    if (path == Path::kFloat) return Through<float>(e, channels, in, n);
    return Through<int16_t>(e, channels, in, n);
}

struct Case {
    Path path;
    int channels;
    ParamValues params;  // phase, width, output, mode, meter post, filter
};

// Block sizes (one empty); from block 4 on the filter is switched, so both quadrature paths run
// for more than 127 frames and the idle path's state must survive the switch.
constexpr int kBlocks[] = {1, 69, 150, 0, 97, 200, 83};
constexpr int kSwitchBlock = 4;

void RunCase(const Case& c, SignalPath signalPath) {
    static constexpr uint16_t kBits[] = {32, 64, 16};  // by Path
    TestEngine e(c.channels, c.path == Path::kPcm16 ? kWaveFormatPcm : kWaveFormatIeeeFloat,
                 kBits[static_cast<int>(c.path)]);
    ASSERT_TRUE(e.processor.SelectSignalPath(signalPath));
    Model model(c.path != Path::kDouble);
    ParamValues params = c.params;
    e.params.SetParams(params);
    for (int block = 0, frame = 0; block < static_cast<int>(std::size(kBlocks)); ++block) {
        const int n = kBlocks[block];
        if (block == kSwitchBlock) {
            params[kParamFilter] ^= 1;
            e.params.SetParams(params);
        }
        std::vector<double> in, want;
        model.BeginBlock(params);
        for (int i = 0; i < n; ++i, ++frame) {
            for (int ch = 0; ch < c.channels; ++ch) in.push_back(Signal(c.path, frame, ch));
            const double left = ReadInput(c.path, in[c.channels * i]);
            double y[2];
            model.Frame(left, c.channels == 2 ? ReadInput(c.path, in.back()) : left, y);
            for (double v : y) want.push_back(WriteOutput(c.path, v));
        }
        std::copy(model.run, model.run + 2, model.held);
        const std::vector<double> got = EngineBlock(e, c.path, c.channels, in.data(), n);
        SCOPED_TRACE(::testing::Message() << "block " << block);
        size_t d = 0;
        while (d < got.size() && std::memcmp(&got[d], &want[d], sizeof(double)) == 0) ++d;
        ASSERT_EQ(d, got.size()) << "first differing sample " << d << ", engine "
                                 << std::setprecision(17) << got[d] << " model " << want[d];
        EXPECT_EQ(e.processor.GetPhaseMeter(), static_cast<int32_t>(model.acc * 180));
        for (int ch = 0; ch < 2; ++ch) {
            const Channel channel = static_cast<Channel>(ch);
            EXPECT_EQ(e.processor.GetClip(channel, ClipCounter::kLive), model.clip[ch])
                << "channel " << ch;
            e.processor.SetClip(channel, ClipCounter::kLive,
                                0);  // so the next block shows its own clips
            model.clip[ch] = 0;
            // Left unread after the first block, so its held peak carries into the second.
            if (block == 0) continue;
            EXPECT_EQ(e.processor.GetPeak(channel), static_cast<float>(model.held[ch]))
                << "channel " << ch;
            model.read[ch] = true;
        }
    }
}

TEST(BitExact, EveryPathModeAndFilterMatchesThePlainModel) {
    const Case cases[] = {
        {Path::kFloat, 2, {{37, 100, 0, 0, 0, 0}}},
        {Path::kFloat, 2, {{-120, 150, 25, 1, 1, 1}}},  // gain above 0 dB
        {Path::kFloat, 1, {{90, 0, -60, 2, 1, 1}}},
        {Path::kFloat, 2, {{180, 200, 60, 1, 0, 0}}},
        {Path::kFloat, 2, {{-17, 100, -361, 2, 0, 1}}},  // silence
        {Path::kDouble, 2, {{45, 100, 0, 0, 1, 1}}},
        {Path::kDouble, 2, {{-73, 200, 35, 1, 0, 0}}},
        {Path::kDouble, 1, {{-180, 120, -361, 3, 1, 1}}},
        {Path::kDouble, 2, {{135, 80, -15, 2, 1, 1}}},
        {Path::kPcm16, 2, {{-45, 170, 40, 1, 1, 1}}},
        {Path::kPcm16, 1, {{60, 100, 0, 0, 0, 0}}},
        {Path::kPcm16, 2, {{-150, 0, 10, 3, 0, 1}}},
    };
    for (SignalPath signalPath : SupportedSignalPaths()) {
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(::testing::Message() << SignalPathName(signalPath) << ", case " << i);
            RunCase(cases[i], signalPath);
        }
    }
}

}  // namespace
