// CAutomationCore: the evaluation at a stream position, an unusable sample rate, and capture
// reports from the engine. The host-facing checks are exercised through COM under Wine.
#include "automation/AutomationCore.h"

#include <gtest/gtest.h>

#include <vector>

#include "automation/ParamInfoTable.h"
#include "engine/ParamMapping.h"

namespace {

// Records what the core hands on to the host.
class RecordingCore : public CAutomationCore {
public:
    std::vector<uint32_t> begun, ended, valueIndices;
    std::vector<float> values;
    tw::Result forwardResult = tw::kOk;

protected:
    tw::Result ForwardCaptureBegin(const uint32_t* indices, uint32_t count) override {
        begun.assign(indices, indices + count);
        return forwardResult;
    }
    tw::Result ForwardCaptureValues(const uint32_t* indices, uint32_t count,
                                    const float* v) override {
        valueIndices.assign(indices, indices + count);
        values.assign(v, v + count);
        return forwardResult;
    }
    tw::Result ForwardCaptureEnd(const uint32_t* indices, uint32_t count) override {
        ended.assign(indices, indices + count);
        return forwardResult;
    }
};

MpEnvelopeSegment Jump(int64_t start, int64_t end, float value) {
    return {start, end, value, value, tw::kCurveJump, 0};
}

}  // namespace

TEST(AutomationCore, SegmentTakesEffectAtTheFrameItWasQuantisedTo) {
    CAutomationCore core;
    core.SetSampleRate(48000);
    const MpEnvelopeSegment s = Jump(10000000, 20000000, 0.75f);
    ASSERT_EQ(tw::kOk, core.AddEnvelope(kParamWidth, 1, &s));
    // In double precision 10,000,000 x 48000e-7 falls just short of frame 48000.
    const int64_t start = core.Envelope(kParamWidth).Segments()[0].rtStart;
    EXPECT_EQ(9999792, start);
    core.UpdateToPosition(47998);
    EXPECT_EQ(0.5f, core.EffectiveValue(kParamWidth));
    core.UpdateToPosition(47999);
    EXPECT_EQ(start, core.Envelope(kParamWidth).LastEvaluationTime());
    EXPECT_EQ(0.75f, core.EffectiveValue(kParamWidth));
    core.UpdateToPosition(48000);
    EXPECT_EQ(10000000, core.Envelope(kParamWidth).LastEvaluationTime());
}

TEST(AutomationCore, ZeroSampleRateNeitherDividesNorQuantises) {
    CAutomationCore core;
    core.SetSampleRate(0);
    const MpEnvelopeSegment s = Jump(1000005, 2000000, 0.9f);
    EXPECT_EQ(tw::kOk, core.AddEnvelope(tw::kAllParams, 1, &s));
    EXPECT_EQ(1000005, core.Envelope(5).Segments()[0].rtStart);
    EXPECT_EQ(tw::kFalse, core.UpdateToPosition(1000));
    EXPECT_EQ(0, core.Envelope(kParamFilter).LastEvaluationTime());
    EXPECT_EQ(0.5f, core.EffectiveValue(kParamPhase));
    EXPECT_EQ(tw::kFalse, core.TestAndClearChanged());
}

TEST(AutomationCore, CapturesApplyToKnownParametersAndForwardEverything) {
    RecordingCore core;
    const uint32_t indices[3] = {1, 6, 0xFFFFFFFFu};
    EXPECT_EQ(tw::kOk, core.CaptureBegin(indices, 3));
    EXPECT_TRUE(core.Envelope(1).IsCaptured());
    EXPECT_EQ(std::vector<uint32_t>(indices, indices + 3), core.begun);

    const uint32_t one = 1;
    const float value = 0.7f;
    EXPECT_EQ(tw::kOk, core.CaptureValues(&one, 1, &value));
    EXPECT_EQ(0.7f, core.EffectiveValue(1));
    EXPECT_EQ(std::vector<float>{0.7f}, core.values);

    // A value for an unknown parameter fails before anything reaches the host.
    core.values.clear();
    const uint32_t bad[2] = {0, 9};
    const float badValues[2] = {0.2f, 0.3f};
    EXPECT_EQ(tw::kErrInvalidArg, core.CaptureValues(bad, 2, badValues));
    EXPECT_EQ(0.2f, core.EffectiveValue(0));  // earlier entries keep their change
    EXPECT_TRUE(core.values.empty());

    core.forwardResult = tw::kErrFail;  // the host's answer is the result
    EXPECT_EQ(tw::kErrFail, core.CaptureEnd(indices, 3));
    EXPECT_FALSE(core.Envelope(1).IsCaptured());
    EXPECT_EQ(std::vector<uint32_t>(indices, indices + 3), core.ended);

    EXPECT_EQ(tw::kErrPointer, core.CaptureBegin(nullptr, 1));
    EXPECT_EQ(tw::kErrPointer, core.CaptureValues(&one, 1, nullptr));
}

TEST(ParamText, LabelUnitAndEnumerationAsNulSeparatedList) {
    std::u16string phase(ParamTextChars(kParamInfoTable[0]), u'x');
    WriteParamText(kParamInfoTable[0], &phase[0]);
    EXPECT_EQ(std::u16string(u"Phase\0\0\0", 8), phase);

    const ParamInfoRecord modes = {{tw::kMpTypeEnum, 1, 0, 3, 0, u"dB", u"Mode"}, 0, 3, u"LR,MS"};
    std::u16string text(ParamTextChars(modes), u'x');
    WriteParamText(modes, &text[0]);
    EXPECT_EQ(std::u16string(u"Mode\0dB\0LR\0MS\0\0", 15), text);
}

// What hosts learn of each parameter comes from its descriptor: its name, a switch exactly
// where the parameter is one, and a neutral value that maps to the factory default and back.
TEST(ParamInfoTable, EachRecordPublishesItsParameterNeutralAtTheDefault) {
    for (int i = 0; i < kParamCount; ++i) {
        const ParamDescriptor& d = kParamDescriptors[i];
        const MpParamInfo& info = kParamInfoTable[i].info;
        const std::string name = d.name;
        EXPECT_EQ(std::u16string(name.begin(), name.end()), std::u16string(info.szLabel)) << i;
        EXPECT_EQ(info.mpType, MpTypeOf(d.automation));
        EXPECT_EQ(info.mopCaps, tw::kCapsCurveJump);
        EXPECT_TRUE(info.mpdMinValue == 0.0f && info.mpdMaxValue == AutomationMaxOf(d) &&
                    info.szUnitText[0] == 0);
        // An enumeration lists its choices' names in GetParamText, one per automation value.
        std::u16string text(ParamTextChars(kParamInfoTable[i]), u'x');
        WriteParamText(kParamInfoTable[i], &text[0]);
        std::u16string expected = std::u16string(info.szLabel) + u'\0' + u'\0';
        for (int32_t v = d.min; v <= d.max && d.automation == ParamAutomation::kEnum; ++v) {
            const std::string choice = d.ChoiceOf(v).name;
            expected += std::u16string(choice.begin(), choice.end()) + u'\0';
        }
        EXPECT_EQ(expected + u'\0', text) << d.name;
        EXPECT_EQ(info.mpdNeutralValue, NormalizedFromInternal(i, d.defaultValue)) << d.name;
        int32_t neutral = 12345;
        EXPECT_TRUE(InternalFromNormalized(i, info.mpdNeutralValue, &neutral));
        EXPECT_EQ(neutral, d.defaultValue) << d.name;
    }
}
