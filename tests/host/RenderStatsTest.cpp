// Summary statistics, their dBFS text, format descriptions, and the demo signal.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/render/DemoSignal.h"
#include "host/render/RenderStats.h"
#include "host/wav/WavFormat.h"

namespace {

TEST(RenderStats, PeaksAndClipsPerChannelForEachSampleType) {
    CRenderStats stats(2);
    const float floats[] = {0.25f, -0.5f, -1.0f, 1.5f, NAN, 0.1f};
    ASSERT_TRUE(stats.AddBuffer(MakeWaveFormat(kWaveFormatIeeeFloat, 2, 44100, 32), floats,
                                sizeof(floats)));
    const double doubles[] = {-1.25, 0.0};
    stats.AddDouble(doubles, 1);
    EXPECT_EQ(4u, stats.Frames());
    EXPECT_EQ(1.25, stats.Peak(0));
    EXPECT_EQ(1.5, stats.Peak(1));
    EXPECT_EQ(2u, stats.ClippedSamples(0));  // NaN and -1.25; exactly -1.0 is not a clip
    EXPECT_EQ(1u, stats.ClippedSamples(1));
    EXPECT_EQ(1u, stats.NanSamples());

    stats.Reset(1);
    const int16_t pcm[] = {-16384, 32767, -32768, 100};
    ASSERT_TRUE(stats.AddBuffer(MakeWaveFormat(kWaveFormatPcm, 1, 44100, 16), pcm, 7));
    EXPECT_EQ(3u, stats.Frames());  // whole frames only
    EXPECT_EQ(1.0, stats.Peak(0));
    EXPECT_EQ(2u, stats.ClippedSamples(0));
    EXPECT_FALSE(stats.AddBuffer(MakeWaveFormat(kWaveFormatPcm, 2, 44100, 16), pcm, 8));
}

TEST(RenderStats, TextForPeaksAndFormats) {
    EXPECT_EQ("-inf", FormatDbfs(0.0));
    EXPECT_EQ("0.0", FormatDbfs(1.0));
    EXPECT_EQ("0.0", FormatDbfs(0.99999));
    EXPECT_EQ("-6.0", FormatDbfs(0.5));
    EXPECT_EQ("3.5", FormatDbfs(1.5));
    EXPECT_EQ("-90.3", FormatDbfs(1.0 / 32768));
    EXPECT_EQ("16-bit PCM, stereo, 44100 Hz",
              DescribeFormat(MakeWaveFormat(kWaveFormatPcm, 2, 44100, 16)));
    EXPECT_EQ("64-bit float, mono, 96000 Hz",
              DescribeFormat(MakeWaveFormat(kWaveFormatIeeeFloat, 1, 96000, 64)));
}

TEST(DemoSignal, BlocksJoinSeamlesslyAndTheMixIsWideAndSafe) {
    const uint64_t total = DemoFrameCount(kDemoSampleRate, 2.0);
    ASSERT_EQ(88200u, total);
    std::vector<float> whole(2 * total), blocks(2 * total);
    GenerateDemoSignal(kDemoSampleRate, total, 0, whole.data(), total);
    for (uint64_t first = 0; first < total; first += 500)
        GenerateDemoSignal(kDemoSampleRate, total, first, &blocks[2 * first],
                           static_cast<size_t>(std::min<uint64_t>(500, total - first)));
    EXPECT_EQ(whole, blocks);

    double peak = 0, sumLR = 0, sumLL = 0, sumRR = 0;
    for (uint64_t i = 0; i < total; ++i) {
        const double l = whole[2 * i], r = whole[2 * i + 1];
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        sumLR += l * r, sumLL += l * l, sumRR += r * r;
    }
    EXPECT_GT(peak, 0.3);
    EXPECT_LT(peak, 0.9);
    const double correlation = sumLR / std::sqrt(sumLL * sumRR);
    EXPECT_GT(correlation, 0.0);  // related channels, not mono and not opposed
    EXPECT_LT(correlation, 0.8);
    EXPECT_EQ(0.0f, whole[0]);
    EXPECT_EQ(0.0f, whole[1]);
    EXPECT_LT(std::fabs(whole[2 * total - 1]), 1e-3);
    float past[2] = {1, 1};
    GenerateDemoSignal(kDemoSampleRate, total, total, past, 1);
    EXPECT_EQ(0.0f, past[0]);
}

}  // namespace
