// Sample conversion for the renderer: exact round trips through the working format, rounding
// and clipping at the extremes, and the dither's statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "host/wav/Dither.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavFormat.h"

namespace {

WaveFormat Type(uint16_t tag, uint16_t bits) {
    return MakeWaveFormat(tag, 1, 48000, bits);
}
const WaveFormat kPcm8 = Type(kWaveFormatPcm, 8), kPcm16 = Type(kWaveFormatPcm, 16),
                 kPcm24 = Type(kWaveFormatPcm, 24), kPcm32 = Type(kWaveFormatPcm, 32),
                 kFloat32 = Type(kWaveFormatIeeeFloat, 32), kFloat64 = Type(kWaveFormatIeeeFloat, 64);

std::vector<uint8_t> Convert(const WaveFormat& from, const WaveFormat& to,
                             const std::vector<uint8_t>& in, bool dither = false) {
    const size_t samples = in.size() / (from.wBitsPerSample / 8);
    std::vector<uint8_t> out(samples * (to.wBitsPerSample / 8));
    CSampleConverter(from, to, dither).Convert(in.data(), out.data(), samples);
    return out;
}

std::vector<uint8_t> Doubles(const std::vector<double>& values) {
    std::vector<uint8_t> bytes(values.size() * sizeof(double));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// The integer samples of a PCM buffer (8-bit ones centred on 0).
std::vector<int64_t> Integers(const WaveFormat& format, const std::vector<uint8_t>& bytes) {
    std::vector<int64_t> values;
    const size_t size = format.wBitsPerSample / 8;
    for (size_t at = 0; at + size <= bytes.size(); at += size) {
        int64_t v = 0;
        for (size_t b = 0; b < size; ++b) v |= int64_t{bytes[at + b]} << (8 * b);
        if (size == 1) v -= 128;
        else if (v >= int64_t{1} << (8 * size - 1)) v -= int64_t{1} << (8 * size);
        values.push_back(v);
    }
    return values;
}

// Every integer format through the float the renderer runs it in, and back, is the identity:
// all values of 8 and 16 bits, every 7th of 24 bits, extremes and a random sweep of 32 bits.
TEST(SampleConversion, IntegerSamplesRoundTripExactlyThroughTheWorkingFloat) {
    for (const WaveFormat& format : {kPcm8, kPcm16, kPcm24, kPcm32}) {
        SCOPED_TRACE(DescribeSampleType(format));
        const WaveFormat working = format.wBitsPerSample == 32 ? kFloat64 : kFloat32;
        const size_t size = format.wBitsPerSample / 8;
        std::vector<uint8_t> bytes;
        auto add = [&](uint32_t raw) {
            for (size_t b = 0; b < size; ++b) bytes.push_back(static_cast<uint8_t>(raw >> (8 * b)));
        };
        const uint32_t signBit = 1u << (8 * size - 1);
        for (uint32_t raw : {signBit, signBit - 1, 0u, 1u, 0xFFFFFFFFu}) add(raw);
        if (size < 4) {
            const uint32_t step = size == 3 ? 7 : 1;  // every 7th of the 24-bit values
            for (uint32_t raw = 0; raw < 2 * signBit; raw += step) add(raw);
        } else {
            std::mt19937 random(7);
            for (int i = 0; i < 100000; ++i) add(random());
        }
        EXPECT_EQ(bytes, Convert(working, format, Convert(format, working, bytes)));
    }
    // Float through the wider float and back.
    const std::vector<float> floats = {0.0f, -1.0f, 1.5f, 1e-30f, -3.4e38f, 0.1f};
    std::vector<uint8_t> bytes(floats.size() * 4);
    std::memcpy(bytes.data(), floats.data(), bytes.size());
    EXPECT_EQ(bytes, Convert(kFloat64, kFloat32, Convert(kFloat32, kFloat64, bytes)));
}

TEST(SampleConversion, IntegerOutputRoundsToNearestAndClipsAtTheExtremes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        WaveFormat to;
        double value;
        int64_t expected;
    } cases[] = {
        {kPcm16, 1.0, 32767},           {kPcm16, -1.0, -32768},
        {kPcm16, 1.5, 32767},           {kPcm16, -1.5, -32768},
        {kPcm16, inf, 32767},           {kPcm16, -inf, -32768},
        {kPcm16, nan, 0},               {kPcm16, 0.5 / 32768, 0},  // ties to even
        {kPcm16, 1.5 / 32768, 2},       {kPcm16, -1.5 / 32768, -2},
        {kPcm16, 0.49 / 32768, 0},      {kPcm16, -0.51 / 32768, -1},
        {kPcm16, 32766.6 / 32768, 32767}, {kPcm8, 0.0, 0},
        {kPcm8, 1.0, 127},              {kPcm8, -1.0, -128},
        {kPcm8, 0.6 / 128, 1},          {kPcm24, 1.0, 8388607},
        {kPcm24, -1.0, -8388608},       {kPcm24, -2.5 / 8388608, -2},
        {kPcm32, 1.0, 2147483647},      {kPcm32, -1.0, -2147483648LL},
        {kPcm32, -1.5, -2147483648LL},  {kPcm32, 2147483646.5 / 2147483648.0, 2147483646},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DescribeSampleType(c.to) + " of " + std::to_string(c.value));
        EXPECT_EQ(c.expected, Integers(c.to, Convert(kFloat64, c.to, Doubles({c.value})))[0]);
    }
    // Float output keeps what the plug-in made of the signal, beyond full scale too.
    float out = 0.0f;
    CSampleConverter(kFloat64, kFloat32, true).Convert(Doubles({1.5}).data(), &out, 1);
    EXPECT_EQ(1.5f, out);
}

// TPDF dither: the difference of two uniform values, mean 0, variance 1/6 step^2, within one
// step, three quarters within half a step; the same sequence every time.
TEST(Dither, IsTriangularNoiseOfOneStepFromAFixedSeed) {
    constexpr int kCount = 400000;
    CTpdfDither dither, again;
    double sum = 0.0, squares = 0.0;
    int inner = 0;
    for (int i = 0; i < kCount; ++i) {
        const double d = dither.Next();
        ASSERT_EQ(d, again.Next());
        ASSERT_LT(std::fabs(d), 1.0);
        sum += d;
        squares += d * d;
        inner += std::fabs(d) < 0.5;
    }
    EXPECT_NEAR(0.0, sum / kCount, 0.005);
    EXPECT_NEAR(1.0 / 6.0, squares / kCount, 0.003);
    EXPECT_NEAR(0.75, double(inner) / kCount, 0.005);
    EXPECT_NE(CTpdfDither(1).Next(), CTpdfDither(2).Next());
}

// Dithered, a level between two steps comes out as that level on average (rounding alone
// would give the nearest step), and the error stays within 1.5 steps.
TEST(Dither, MakesTheAverageOutputFollowLevelsBelowOneStep) {
    constexpr int kCount = 100000;
    for (double level : {0.3, -0.25, 0.5, 7.8}) {
        const std::vector<double> input(kCount, level / 32768);
        const std::vector<int64_t> plain = Integers(kPcm16, Convert(kFloat64, kPcm16, Doubles(input)));
        const std::vector<int64_t> dithered =
            Integers(kPcm16, Convert(kFloat64, kPcm16, Doubles(input), true));
        EXPECT_EQ(std::nearbyint(level), plain[0]);
        double sum = 0.0;
        for (int64_t v : dithered) {
            EXPECT_LT(std::fabs(v - level), 1.5);
            sum += static_cast<double>(v);
        }
        EXPECT_NEAR(level, sum / kCount, 0.01) << level;
    }
}

}  // namespace
