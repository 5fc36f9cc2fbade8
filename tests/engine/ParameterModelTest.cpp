// Parameter model: mappings, output gain, setters, whole records, A/B setups, undo, notification
// slots and what the model reports to its automation object.
#include <cmath>

#include <gtest/gtest.h>

#include "engine/ParamMapping.h"
#include "engine/ParamModel.h"
#include "tests/engine/EngineTestSupport.h"

TEST(ParamMapping, EveryInternalValueSurvivesTheTripThroughNormalized) {
    for (int index = 0; index < kParamCount; ++index) {
        const ParamRange r = ParamRangeOf(index);
        for (int32_t v = r.min; v <= r.max; ++v) {
            int32_t back = 12345;
            ASSERT_TRUE(InternalFromNormalized(index, NormalizedFromInternal(index, v), &back));
            ASSERT_EQ(back, v) << "parameter " << index;
        }
    }
}

TEST(ParamMapping, HalvesRoundUpAndTheEndsMapToTheRange) {
    struct Row {
        int index;
        float normalized;
        int32_t expected;
    };
    const Row rows[] = {{kParamMode, 0.16f, 0},
                        {kParamMode, 0.17f, 1},
                        {kParamMeterPost, 0.5f, 1},
                        {kParamPhase, 0.5f, 0},
                        {kParamPhase, 0.0f, -180},
                        {kParamPhase, 1.0f, 180},
                        {kParamOutput, 0.8574821949005127f, 0}};
    for (const Row& row : rows) {
        int32_t v = 12345;
        ASSERT_TRUE(InternalFromNormalized(row.index, row.normalized, &v));
        EXPECT_EQ(v, row.expected) << "parameter " << row.index << " at " << row.normalized;
    }
    EXPECT_EQ(NormalizedFromInternal(kParamOutput, 0), 0.8574821949005127f);
}

TEST(ParamMapping, AutomationBeyondTheRangeClampsAndNaNIsIgnored) {
    for (int index = 0; index < kParamCount; ++index) {
        const ParamRange r = ParamRangeOf(index);
        const float top = AutomationMaxOf(kParamDescriptors[index]);
        for (float x : {1.0001f, 5.0f, 1e30f, INFINITY, -0.01f, -3.0f, -1e30f, -INFINITY}) {
            int32_t v = 12345;
            ASSERT_TRUE(InternalFromNormalized(index, x > 0 ? x * top : x, &v));
            EXPECT_EQ(v, x > 0 ? r.max : r.min) << "parameter " << index << " at " << x;
        }
        int32_t v = 77;
        EXPECT_FALSE(InternalFromNormalized(index, std::nanf(""), &v));
        EXPECT_EQ(v, 77);
    }
}

TEST(Coefficients, OutputGainFollowsTenthsOfADecibelDownToSilence) {
    EXPECT_EQ(OutputGain(kOutputSilence), 0.0);
    EXPECT_EQ(OutputGain(kOutputSilence - 1000), 0.0);
    EXPECT_EQ(OutputGain(0), 1.0);
    const ParamRange r = ParamRangeOf(kParamOutput);
    for (int32_t v = r.min + 1; v <= r.max; ++v)
        ASSERT_DOUBLE_EQ(OutputGain(v), std::pow(10.0, v / 200.0)) << v;
}

namespace {

// A model holding the factory defaults with a recording window system; the automation object
// is attached by the tests that want one.
class ParamModelTest : public ::testing::Test {
protected:
    ParamModelTest() {
        model.SetEditorWindows(&windows);
        model.SetParams(kDefaultParams);
    }
    // Whether a change was pending; consumes it.
    bool Changed() {
        ParamValues scratch;
        return model.UpdateState(&scratch);
    }

    RecordingAutomation automation;
    RecordingWindows windows;
    CParamModel model;
};

}  // namespace

TEST_F(ParamModelTest, SettersClampAndFlagOnlyRealChanges) {
    model.SetAutomation(&automation);
    for (int index = 0; index < kParamCount; ++index) {
        const ParamRange r = ParamRangeOf(index);
        SCOPED_TRACE(::testing::Message() << "parameter " << index);
        model.SetParam(index, r.min - 1000, false);
        EXPECT_EQ(model.GetParam(index), r.min);
        model.ClearDirty();
        Changed();
        model.SetParam(index, r.max + 1000, false);
        EXPECT_EQ(model.GetParam(index), r.max);
        EXPECT_TRUE(model.IsDirty());
        EXPECT_TRUE(Changed());

        // The same value again: no flags, but the automation still hears it.
        model.ClearDirty();
        automation.setParams.clear();
        model.SetParam(index, r.max, false);
        EXPECT_FALSE(model.IsDirty());
        EXPECT_FALSE(Changed());
        ASSERT_EQ(automation.setParams.size(), 1u);
        EXPECT_EQ(automation.setParams[0].first, static_cast<uint32_t>(index));
        EXPECT_FLOAT_EQ(automation.setParams[0].second, AutomationMaxOf(kParamDescriptors[index]));
    }
}

TEST_F(ParamModelTest, NotifyingEditsReachTheHostAsCaptures) {
    model.SetAutomation(&automation);
    model.SetParam(kParamWidth, 150, true);
    model.SetParam(kParamWidth, 160, true);
    model.SetParam(kParamPhase, 10, true);
    model.SetCaptureHold(1);
    model.EndCapture();  // held while the user drags
    model.SetCaptureHold(0);
    model.EndCapture();
    model.EndCapture();  // nothing left to end
    using C = std::tuple<char, uint32_t, float>;
    const std::vector<C> expected = {C{'B', kParamWidth, 0.0f},
                                     C{'V', kParamWidth, NormalizedFromInternal(kParamWidth, 150)},
                                     C{'V', kParamWidth, NormalizedFromInternal(kParamWidth, 160)},
                                     C{'E', kParamWidth, 0.0f},
                                     C{'B', kParamPhase, 0.0f},
                                     C{'V', kParamPhase, NormalizedFromInternal(kParamPhase, 10)},
                                     C{'E', kParamPhase, 0.0f}};
    EXPECT_EQ(automation.captures.entries, expected);
}

TEST_F(ParamModelTest, SetParamsAppliesAWholeRecordAndEndsTheCapture) {
    model.SetAutomation(&automation);
    model.ClearDirty();
    Changed();
    model.SetParams(kDefaultParams);  // nothing changes, flags are still set
    EXPECT_TRUE(model.IsDirty());
    EXPECT_TRUE(Changed());
    const Settings hot = Settings().Phase(500).Width(-4).Output(99).With(
        Mode::kCsEncode, MeterPosition::kPre, QuadratureFilter::kFir);
    model.SetParams(hot);
    EXPECT_EQ(model.GetParams(), Settings(hot).Phase(180).Width(0).Output(60).values);
    ASSERT_FALSE(automation.captures.entries.empty());
    EXPECT_EQ(std::get<0>(automation.captures.entries.back()), 'E');
}

TEST_F(ParamModelTest, UpdateStatePullsAutomationValuesWithoutTouchingDirty) {
    model.SetAutomation(&automation);
    Changed();
    model.ClearDirty();
    model.SetEditorRefresh(0);
    automation.values[kParamWidth] = 0.25f;
    ParamValues p;
    EXPECT_TRUE(model.UpdateState(&p));
    EXPECT_EQ(p[kParamWidth], 50);
    EXPECT_FALSE(model.IsDirty());
    EXPECT_EQ(model.ParamsChangedForEditor(), 0);
    model.SetEditorRefresh(0);
    EXPECT_EQ(model.ParamsChangedForEditor(), 1);
    automation.changed = true;  // automation moved since the editor last looked
    EXPECT_EQ(model.ParamsChangedForEditor(), 0);
}

TEST_F(ParamModelTest, SwitchingSetupsSwapsAAndB) {
    model.SetParam(kParamWidth, 0, false);
    model.SelectSetup(1);  // an untouched setup B holds the factory defaults
    EXPECT_EQ(model.GetParams(), kDefaultParams);

    CParamModel e;
    const ParamValues a = Settings().Phase(10).Width(20).Output(-30).With(
        Mode::kMsPhase, MeterPosition::kPre, QuadratureFilter::kFir);
    const ParamValues b = Settings().Phase(-90).Width(150).With(Mode::kScEncode);
    e.SetParams(a);
    e.CopySetup(0, 1);  // B starts as a copy of A
    e.SelectSetup(1);
    EXPECT_EQ(e.GetSetup(), 1);
    e.SetParams(b);
    e.SelectSetup(1);  // already active: nothing
    EXPECT_EQ(e.GetParams(), b);
    e.SelectSetup(0);
    EXPECT_EQ(e.GetParams(), a);
    e.SelectSetup(1);
    EXPECT_EQ(e.GetParams(), b);
    e.SelectSetup(0);
    e.CopySetup(1, 0);  // bring B into the active setup
    EXPECT_EQ(e.GetParams(), b);
    EXPECT_EQ(e.GetSetup(), 0);
    e.CopySetup(0, 0);
    EXPECT_EQ(e.GetParams(), b);
}

TEST_F(ParamModelTest, UndoTwiceRestoresAndSnapshotsFollowTheControl) {
    const ParamValues start = model.GetParams();
    model.MarkUndo(5);
    model.SetParam(kParamPhase, 40, false);
    model.MarkUndo(5);  // same control, nothing captured: snapshot again
    model.SetParam(kParamPhase, 50, false);
    model.Undo();
    EXPECT_EQ(model.GetParam(kParamPhase), 40);
    model.Undo();
    EXPECT_EQ(model.GetParam(kParamPhase), 50);

    // While a capture runs on the same control, the first snapshot of the drag is kept.
    model.SetAutomation(&automation);
    model.SetParams(start);
    model.MarkUndo(7);
    model.SetParam(kParamWidth, 10, true);
    model.MarkUndo(7);
    model.SetParam(kParamWidth, 20, true);
    model.Undo();
    EXPECT_EQ(model.GetParams(), start);
    model.MarkUndo(kUndoForcedSnapshot);
    model.SetParam(kParamWidth, 30, true);
    model.Undo();
    EXPECT_EQ(model.GetParams(), start);
}

TEST_F(ParamModelTest, TwoNotifySlotsPostCommandsAndDropDeadWindows) {
    int w1, w2, w3;
    EXPECT_EQ(model.SetNotifyWindow(&w1, kEngineNotifyCommandId), tw::kOk);
    EXPECT_EQ(model.SetNotifyWindow(&w2, 12), tw::kOk);
    EXPECT_EQ(model.SetNotifyWindow(&w3, 13), tw::kErrOutOfMemory);
    EXPECT_EQ(model.SetNotifyWindow(&w3, 0), tw::kOk);  // removing an unknown window
    windows.liveWindows = {&w1};
    model.NotifyWindows(kNotifyStateLoaded);
    ASSERT_EQ(windows.posts.size(), 1u);
    EXPECT_EQ(windows.posts[0].window, &w1);
    EXPECT_EQ(windows.posts[0].id, kEngineNotifyCommandId);
    EXPECT_EQ(windows.posts[0].code, kNotifyStateLoaded);
    // w2 was dropped, so a third window fits now.
    EXPECT_EQ(model.SetNotifyWindow(&w3, 14), tw::kOk);
    EXPECT_EQ(model.SetNotifyWindow(&w1, 0), tw::kOk);
    windows.liveWindows = {&w1, &w3};
    windows.posts.clear();
    model.NotifyWindows(kNotifyInputFormat);
    ASSERT_EQ(windows.posts.size(), 1u);
    EXPECT_EQ(windows.posts[0].window, &w3);
    EXPECT_EQ(windows.posts[0].id, 14);

    // Without a window system nothing is posted and no slot is dropped.
    model.SetEditorWindows(nullptr);
    windows.liveWindows.clear();
    windows.posts.clear();
    model.NotifyWindows(kNotifyOutputFormat);
    model.SetEditorWindows(&windows);
    windows.liveWindows = {&w3};
    model.NotifyWindows(kNotifyOutputFormat);
    ASSERT_EQ(windows.posts.size(), 1u);
    EXPECT_EQ(windows.posts[0].window, &w3);
}
