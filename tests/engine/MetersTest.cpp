// Meters, bypass and the 16-bit sample conversions, observed through block processing.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "engine/SampleConvert.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

constexpr Channel kLeft = Channel::kLeft;
constexpr Channel kRight = Channel::kRight;
constexpr ClipCounter kLive = ClipCounter::kLive;

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
// With the FIR filter at phase 0 the outputs are the inputs delayed.
const ParamValues kFirDelay = Settings().With(QuadratureFilter::kFir);

}  // namespace

TEST(PhaseMeter, OppositeChannelsPass90AfterTenThousandTimesLn2Frames) {
    TestEngine e;
    e.params.SetParams(Settings().With(MeterPosition::kPre));
    // 10000 * ln 2 = 6931.5: below 90 after 6931 opposite frames, at 90 after 6932.
    const auto half = [](int) { return 0.5f; };
    const auto minusHalf = [](int) { return -0.5f; };
    Process(e, Stereo(6931, half, minusHalf));
    EXPECT_EQ(e.processor.GetPhaseMeter(), 89);
    Process(e, Stereo(1, half, minusHalf));
    EXPECT_EQ(e.processor.GetPhaseMeter(), 90);

    TestEngine same;
    Process(same, Stereo(20000, Wave, Wave));
    EXPECT_EQ(same.processor.GetPhaseMeter(), 0);
    TestEngine inverted;
    Process(inverted, Stereo(60000, Wave, InvertedWave));
    EXPECT_GE(inverted.processor.GetPhaseMeter(), 179);
}

TEST(PhaseMeter, PreMeteringWatchesTheInputNotTheEncodedOutput) {
    // CS encoding turns opposite channels into (0, signal): the post meter sees that, pre does not.
    const Settings encode = Settings().With(Mode::kCsEncode, QuadratureFilter::kFir);
    TestEngine pre, post;
    pre.params.SetParams(Settings(encode).With(MeterPosition::kPre));
    post.params.SetParams(Settings(encode).With(MeterPosition::kPost));
    const auto in = Stereo(60000, InvertedWave, Wave);
    Process(pre, in);
    Process(post, in);
    EXPECT_GE(pre.processor.GetPhaseMeter(), 179);
    EXPECT_LT(post.processor.GetPhaseMeter(), 135);
}

TEST(ClipAndPeaks, FullScaleIsNoClipAndBeyondSetsTheHold) {
    TestEngine e;
    e.params.SetParams(kFirDelay);
    std::vector<float> in(2 * 200, 0.0f);
    in[0] = 1.0f;
    in[3] = -1.0f;
    Process(e, in);
    EXPECT_EQ(e.processor.GetClip(kLeft, kLive), 0);
    EXPECT_EQ(e.processor.GetClip(kRight, kLive), 0);
    in[4] = 1.0001f;
    Process(e, in);
    EXPECT_EQ(e.processor.GetClip(kLeft, kLive), kClipHoldSteps);
    EXPECT_EQ(e.processor.GetClip(kRight, kLive), 0);
    in[5] = std::numeric_limits<float>::quiet_NaN();  // NaN: no crash, counts as a clip
    Process(e, in);
    EXPECT_EQ(e.processor.GetClip(kRight, kLive), kClipHoldSteps);
    // The editor's shown copy is a counter of its own.
    e.processor.SetClip(kLeft, ClipCounter::kShown, 2);
    EXPECT_EQ(e.processor.GetClip(kLeft, ClipCounter::kShown), 2);
    EXPECT_EQ(e.processor.GetClip(kLeft, kLive), kClipHoldSteps);
}

TEST(ClipAndPeaks, PeaksHoldUntilReadThenFollowTheLatestBlock) {
    TestEngine e;
    e.params.SetParams(kFirDelay);
    std::vector<float> loud(2 * 100, 0.0f), quiet(2 * 100, 0.0f);
    loud[2 * 10] = 0.9f;
    quiet[2 * 10] = 0.25f;
    Process(e, loud);  // peak 0.9 comes out at frame 73, in the second block
    Process(e, quiet);
    Process(e, quiet);
    EXPECT_FLOAT_EQ(e.processor.GetPeak(kLeft), 0.9f);  // held since stream start
    Process(e, std::vector<float>(2 * 100, 0.0f));
    Process(e, loud);  // the loud peak is delayed into the next block, which nobody reads
    Process(e, quiet);
    EXPECT_FLOAT_EQ(e.processor.GetPeak(kLeft), 0.25f);
    EXPECT_NEAR(e.processor.GetPeak(kRight), 0.0f, 1e-29);
}

TEST(Bypass, CopiesAudioAndClearsMetersWithoutTouchingState) {
    TestEngine mono(1);
    mono.params.SetParams(kEveryParamMoved);
    mono.processor.SetBypass(1);
    EXPECT_EQ(Process(mono, std::vector<float>{0.1f, -0.2f, 1.5f}),
              (std::vector<float>{0.1f, 0.1f, -0.2f, -0.2f, 1.5f, 1.5f}));
    EXPECT_EQ(mono.processor.GetPhaseMeter(), 0);
    EXPECT_EQ(mono.processor.GetPeak(kLeft), 0.0f);

    TestEngine stereo;
    stereo.processor.SetBypass(1);
    const std::vector<float> in = {0.3f, -0.4f, 2.0f, 0.0f};
    EXPECT_EQ(Process(stereo, in), in);
    EXPECT_EQ(stereo.processor.GetClip(kLeft, kLive), 0);  // bypassed audio is not metered
}

TEST(BlockContract, ProcessesTheSmallerCountAndNoMore) {
    TestEngine e;
    std::vector<float> in(2 * 10, 0.25f), out(2 * 4 + 2, -7.0f);
    int frames = 10, outFrames = 4;
    ASSERT_EQ(e.processor.ProcessFloat(in.data(), &frames, out.data(), &outFrames), tw::kOk);
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(outFrames, 4);
    EXPECT_EQ(out[8], -7.0f);  // nothing written past the fourth frame
    EXPECT_NE(out[7], -7.0f);
    // Floats beyond full scale pass unclamped in the float formats.
    TestEngine fir;
    fir.params.SetParams(kFirDelay);
    EXPECT_EQ(Process(fir, std::vector<float>(2 * 100, 1.5f))[2 * 99], 1.5f);
}

TEST(SampleConvert, SixteenBitEdgesAndFarBeyondFullScale) {
    EXPECT_EQ(PcmToFloat(-32768), -1.0f);
    EXPECT_EQ(PcmToFloat(16384), 0.5f);
    const struct {
        float in;
        int16_t out;
    } toPcm[] = {
        {-1.0f, -32768},     {1.0f, 32767},       {1.5f, 32767},
        {1e30f, 32767},      {-INFINITY, -32768}, {std::numeric_limits<float>::quiet_NaN(), 0},
        {-0.99999f, -32767},  // truncation towards zero
    };
    for (const auto& c : toPcm) EXPECT_EQ(FloatToPcm(c.in), c.out) << c.in;
    for (int s = -32768; s <= 32767; ++s)
        ASSERT_EQ(FloatToPcm(PcmToFloat(static_cast<int16_t>(s))), s);
}
