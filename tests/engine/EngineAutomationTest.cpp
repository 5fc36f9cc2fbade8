// The engine driven by its real automation core: edits reach the host as captures, the
// editor's hold keeps a capture open, and envelope values reach the audio.
#include <cmath>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "automation/AutomationCore.h"
#include "engine/ParamMapping.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

// The automation core with a host callback that records what it is handed.
class HostRecordingAutomation : public CAutomationCore {
public:
    std::vector<std::tuple<char, uint32_t, float>> host;

protected:
    tw::Result ForwardCaptureBegin(const uint32_t* indices, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i) host.emplace_back('B', indices[i], 0.0f);
        return tw::kOk;
    }
    tw::Result ForwardCaptureValues(const uint32_t* indices, uint32_t count,
                                    const float* values) override {
        for (uint32_t i = 0; i < count; ++i) host.emplace_back('V', indices[i], values[i]);
        return tw::kOk;
    }
    tw::Result ForwardCaptureEnd(const uint32_t* indices, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i) host.emplace_back('E', indices[i], 0.0f);
        return tw::kOk;
    }
};

struct AutomatedEngine {
    HostRecordingAutomation automation;
    TestEngine engine;
    AutomatedEngine() {
        engine.SetAutomation(&automation);
        engine.SetParams(kDefaultParams);
        engine.ResetProcessor(engine.InputFormat(), engine.OutputFormat());
        automation.host.clear();
    }
};

}  // namespace

TEST(EngineAutomation, ASetterReachesTheHostAsACaptureAndHoldKeepsItOpen) {
    AutomatedEngine a;
    a.engine.SetCaptureHold(1);  // the user is dragging the Width fader
    a.engine.SetParam(kParamWidth, 150, true);
    a.engine.EndCapture();  // the editor's timer tick
    ASSERT_EQ(a.automation.host.size(), 2u);
    EXPECT_EQ(a.automation.host[0], std::make_tuple('B', 1u, 0.0f));
    EXPECT_EQ(a.automation.host[1],
              std::make_tuple('V', 1u, NormalizedFromInternal(kParamWidth, 150)));
    EXPECT_TRUE(a.automation.Envelope(kParamWidth).IsCaptured());
    float value = 0;
    a.automation.GetParam(kParamWidth, &value);
    EXPECT_FLOAT_EQ(value, 0.75f);

    a.engine.SetCaptureHold(0);  // released
    a.engine.EndCapture();
    ASSERT_EQ(a.automation.host.size(), 3u);
    EXPECT_EQ(std::get<0>(a.automation.host[2]), 'E');
    EXPECT_FALSE(a.automation.Envelope(kParamWidth).IsCaptured());
}

TEST(EngineAutomation, AJumpSegmentReachesTheAudioAtTheFirstBlockAfterItsStart) {
    AutomatedEngine a;
    // Width drops to 0 (identical channels) from one second on.
    const MpEnvelopeSegment narrow = {10000000, 20000000, 0.0f, 0.0f, tw::kCurveJump, 0};
    ASSERT_EQ(a.automation.AddEnvelope(kParamWidth, 1, &narrow), tw::kOk);
    const int block = 512;
    std::vector<float> in(2 * block), out(2 * block);
    for (int i = 0; i < block; ++i) {
        in[2 * i] = static_cast<float>(std::sin(0.1 * i));
        in[2 * i + 1] = static_cast<float>(std::cos(0.23 * i));
    }
    for (int64_t position = 0; position < 46000; position += block) {
        a.automation.UpdateToPosition(position);  // what the receive operation does
        int frames = block, outFrames = block;
        a.engine.ProcessFloat(in.data(), &frames, out.data(), &outFrames);
        bool identical = true;
        for (int i = 0; i < block; ++i) identical = identical && out[2 * i] == out[2 * i + 1];
        EXPECT_EQ(identical, position >= 44100) << "block at " << position;
    }
    EXPECT_EQ(a.engine.GetParam(kParamWidth), 0);
}

TEST(EngineAutomation, HostileEnvelopeValuesAreClampedAndNaNIsIgnored) {
    AutomatedEngine a;
    ParamValues p;
    a.automation.SetParam(kParamOutput, 1e9f);
    a.automation.SetParam(kParamWidth, -3.0f);
    a.engine.UpdateState(&p);
    EXPECT_EQ(p[kParamOutput], 60);
    EXPECT_EQ(p[kParamWidth], 0);
    a.automation.SetParam(kParamOutput, std::nanf(""));
    a.automation.SetParam(kParamPhase, INFINITY);
    a.engine.UpdateState(&p);
    EXPECT_EQ(p[kParamOutput], 60);
    EXPECT_EQ(p[kParamPhase], 180);
}
