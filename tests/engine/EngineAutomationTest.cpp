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
    CaptureLog host;

protected:
    tw::Result ForwardCaptureBegin(const uint32_t* indices, uint32_t count) override {
        return host.Add('B', indices, count);
    }
    tw::Result ForwardCaptureValues(const uint32_t* indices, uint32_t count,
                                    const float* values) override {
        return host.Add('V', indices, count, values);
    }
    tw::Result ForwardCaptureEnd(const uint32_t* indices, uint32_t count) override {
        return host.Add('E', indices, count);
    }
};

struct AutomatedEngine {
    HostRecordingAutomation automation;
    TestEngine engine;
    AutomatedEngine() {
        engine.params.SetAutomation(&automation);
        engine.params.SetParams(kDefaultParams);
        engine.processor.StartStream(&engine.input, &engine.output);
        automation.host.entries.clear();
    }
};

}  // namespace

TEST(EngineAutomation, ASetterReachesTheHostAsACaptureAndHoldKeepsItOpen) {
    AutomatedEngine a;
    a.engine.params.SetCaptureHold(1);  // the user is dragging the Width fader
    a.engine.params.SetParam(kParamWidth, 150, true);
    a.engine.params.EndCapture();  // the editor's timer tick
    ASSERT_EQ(a.automation.host.entries.size(), 2u);
    const uint32_t width = kParamWidth;
    EXPECT_EQ(a.automation.host.entries[0], std::make_tuple('B', width, 0.0f));
    EXPECT_EQ(a.automation.host.entries[1],
              std::make_tuple('V', width, NormalizedFromInternal(kParamWidth, 150)));
    EXPECT_TRUE(a.automation.Envelope(kParamWidth).IsCaptured());
    float value = 0;
    a.automation.GetParam(kParamWidth, &value);
    EXPECT_FLOAT_EQ(value, 0.75f);

    a.engine.params.SetCaptureHold(0);  // released
    a.engine.params.EndCapture();
    ASSERT_EQ(a.automation.host.entries.size(), 3u);
    EXPECT_EQ(std::get<0>(a.automation.host.entries[2]), 'E');
    EXPECT_FALSE(a.automation.Envelope(kParamWidth).IsCaptured());
}

TEST(EngineAutomation, AJumpSegmentReachesTheAudioAtTheFirstBlockAfterItsStart) {
    AutomatedEngine a;
    // Width drops to 0 (identical channels) from one second on.
    const MpEnvelopeSegment narrow = {10000000, 20000000, 0.0f, 0.0f, tw::kCurveJump, 0};
    ASSERT_EQ(a.automation.AddEnvelope(kParamWidth, 1, &narrow), tw::kOk);
    const int block = 512;
    std::vector<float> in(2 * block);
    for (int i = 0; i < block; ++i) {
        in[2 * i] = static_cast<float>(std::sin(0.1 * i));
        in[2 * i + 1] = static_cast<float>(std::cos(0.23 * i));
    }
    for (int64_t position = 0; position < 46000; position += block) {
        a.automation.UpdateToPosition(position);  // what the receive operation does
        const auto out = Process(a.engine, in);
        bool identical = true;
        for (int i = 0; i < block; ++i) identical = identical && out[2 * i] == out[2 * i + 1];
        EXPECT_EQ(identical, position >= 44100) << "block at " << position;
    }
    EXPECT_EQ(a.engine.params.GetParam(kParamWidth), 0);
}

TEST(EngineAutomation, HostileEnvelopeValuesAreClampedAndNaNIsIgnored) {
    AutomatedEngine a;
    ParamValues p;
    a.automation.SetParam(kParamOutput, 1e9f);
    a.automation.SetParam(kParamWidth, -3.0f);
    a.engine.params.UpdateState(&p);
    EXPECT_EQ(p[kParamOutput], ParamRangeOf(kParamOutput).max);
    EXPECT_EQ(p[kParamWidth], ParamRangeOf(kParamWidth).min);
    a.automation.SetParam(kParamOutput, std::nanf(""));
    a.automation.SetParam(kParamPhase, INFINITY);
    a.engine.params.UpdateState(&p);
    EXPECT_EQ(p[kParamOutput], ParamRangeOf(kParamOutput).max);  // NaN left it alone
    EXPECT_EQ(p[kParamPhase], ParamRangeOf(kParamPhase).max);
}
