// Meters, bypass and the 16-bit sample conversions, observed through block processing.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "engine/SampleConvert.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

void Feed(TestEngine& e, const std::vector<float>& in, std::vector<float>* out = nullptr,
          int channels = 2) {
    int frames = static_cast<int>(in.size()) / channels, outFrames = frames;
    std::vector<float> local(2 * frames);
    ASSERT_EQ(e.ProcessFloat(in.data(), &frames, local.data(), &outFrames), tw::kOk);
    if (out) *out = local;
}

std::vector<float> Stereo(int frames, float (*left)(int), float (*right)(int)) {
    std::vector<float> v(2 * frames);
    for (int i = 0; i < frames; ++i) {
        v[2 * i] = left(i);
        v[2 * i + 1] = right(i);
    }
    return v;
}

float Wave(int i) {
    return static_cast<float>(0.5 * std::sin(0.01 * i + 0.3));
}
float InvertedWave(int i) {
    return -Wave(i);
}

}  // namespace

TEST(PhaseMeter, OppositeChannelsPass90AfterTenThousandTimesLn2Frames) {
    TestEngine e;
    e.SetParam(kParamMeterPost, 0, false);
    // 10000 * ln 2 = 6931.5: below 90 after 6931 opposite frames, at 90 after 6932.
    Feed(e, Stereo(
                6931, [](int) { return 0.5f; }, [](int) { return -0.5f; }));
    EXPECT_EQ(e.GetPhaseMeter(), 89);
    Feed(e, Stereo(
                1, [](int) { return 0.5f; }, [](int) { return -0.5f; }));
    EXPECT_EQ(e.GetPhaseMeter(), 90);

    TestEngine same;
    Feed(same, Stereo(20000, Wave, Wave));
    EXPECT_EQ(same.GetPhaseMeter(), 0);
    TestEngine inverted;
    Feed(inverted, Stereo(60000, Wave, InvertedWave));
    EXPECT_GE(inverted.GetPhaseMeter(), 179);
}

TEST(PhaseMeter, PreMeteringWatchesTheInputNotTheEncodedOutput) {
    // Mode 2 turns identical channels into (signal, 0): the post meter sees that, pre does not.
    TestEngine pre, post;
    pre.SetParams({{0, 100, 0, 2, 0, 1}});
    post.SetParams({{0, 100, 0, 2, 1, 1}});
    const auto in = Stereo(60000, InvertedWave, Wave);
    Feed(pre, in);
    Feed(post, in);
    EXPECT_GE(pre.GetPhaseMeter(), 179);
    EXPECT_LT(post.GetPhaseMeter(), 135);
}

TEST(ClipAndPeaks, FullScaleIsNoClipAndBeyondSetsThree) {
    TestEngine e;
    e.SetParam(kParamFilter, 1, false);  // FIR: outputs are the input, delayed
    std::vector<float> in(2 * 200, 0.0f);
    in[0] = 1.0f;
    in[3] = -1.0f;
    Feed(e, in);
    EXPECT_EQ(e.GetClip(0, 0), 0);
    EXPECT_EQ(e.GetClip(1, 0), 0);
    in[4] = 1.0001f;
    Feed(e, in);
    EXPECT_EQ(e.GetClip(0, 0), kClipHoldSteps);
    EXPECT_EQ(e.GetClip(1, 0), 0);
    in[5] = std::numeric_limits<float>::quiet_NaN();  // NaN: no crash, counts as a clip
    Feed(e, in);
    EXPECT_EQ(e.GetClip(1, 0), kClipHoldSteps);
    e.SetClip(0, 1, 2);
    EXPECT_EQ(e.GetClip(0, 1), 2);
    EXPECT_EQ(e.GetClip(0, 0), kClipHoldSteps);
}

TEST(ClipAndPeaks, PeaksHoldUntilReadThenFollowTheLatestBlock) {
    TestEngine e;
    e.SetParam(kParamFilter, 1, false);
    std::vector<float> loud(2 * 100, 0.0f), quiet(2 * 100, 0.0f);
    loud[2 * 10] = 0.9f;
    quiet[2 * 10] = 0.25f;
    Feed(e, loud);  // peak 0.9 comes out at frame 73, in the second block
    Feed(e, quiet);
    Feed(e, quiet);
    EXPECT_FLOAT_EQ(e.GetPeak(0), 0.9f);  // held since stream start
    Feed(e, std::vector<float>(2 * 100, 0.0f));
    Feed(e, loud);  // the loud peak is delayed into the next block, which nobody reads
    Feed(e, quiet);
    EXPECT_FLOAT_EQ(e.GetPeak(0), 0.25f);
    EXPECT_NEAR(e.GetPeak(1), 0.0f, 1e-29);
}

TEST(Bypass, CopiesAudioAndClearsMetersWithoutTouchingState) {
    TestEngine mono(1);
    mono.SetParams({{90, 200, 60, 3, 0, 1}});
    mono.SetBypass(1);
    std::vector<float> in = {0.1f, -0.2f, 1.5f}, out;
    Feed(mono, in, &out, 1);
    EXPECT_EQ(out, (std::vector<float>{0.1f, 0.1f, -0.2f, -0.2f, 1.5f, 1.5f}));
    EXPECT_EQ(mono.GetPhaseMeter(), 0);
    EXPECT_EQ(mono.GetPeak(0), 0.0f);

    TestEngine stereo;
    stereo.SetBypass(1);
    Feed(stereo, {0.3f, -0.4f, 2.0f, 0.0f}, &out);
    EXPECT_EQ(out, (std::vector<float>{0.3f, -0.4f, 2.0f, 0.0f}));
    EXPECT_EQ(stereo.GetClip(0, 0), 0);  // bypassed audio is not metered
}

TEST(BlockContract, ProcessesTheSmallerCountAndNoMore) {
    TestEngine e;
    std::vector<float> in(2 * 10, 0.25f), out(2 * 4 + 2, -7.0f);
    int frames = 10, outFrames = 4;
    ASSERT_EQ(e.ProcessFloat(in.data(), &frames, out.data(), &outFrames), tw::kOk);
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(outFrames, 4);
    EXPECT_EQ(out[8], -7.0f);  // nothing written past the fourth frame
    EXPECT_NE(out[7], -7.0f);
    // Floats beyond full scale pass unclamped in the float formats.
    TestEngine fir;
    fir.SetParam(kParamFilter, 1, false);
    std::vector<float> hot(2 * 100, 1.5f), hotOut(2 * 100);
    frames = outFrames = 100;
    fir.ProcessFloat(hot.data(), &frames, hotOut.data(), &outFrames);
    EXPECT_EQ(hotOut[2 * 99], 1.5f);
}

TEST(SampleConvert, SixteenBitEdgesAndFarBeyondFullScale) {
    EXPECT_EQ(PcmToFloat(-32768), -1.0f);
    EXPECT_EQ(PcmToFloat(16384), 0.5f);
    EXPECT_EQ(FloatToPcm(-1.0f), -32768);
    EXPECT_EQ(FloatToPcm(1.0f), 32767);
    EXPECT_EQ(FloatToPcm(1.5f), 32767);
    EXPECT_EQ(FloatToPcm(-0.99999f), -32767);  // truncation towards zero
    EXPECT_EQ(FloatToPcm(1e30f), 32767);
    EXPECT_EQ(FloatToPcm(-INFINITY), -32768);
    EXPECT_EQ(FloatToPcm(std::numeric_limits<float>::quiet_NaN()), 0);
    for (int s = -32768; s <= 32767; ++s)
        ASSERT_EQ(FloatToPcm(PcmToFloat(static_cast<int16_t>(s))), s);
}
