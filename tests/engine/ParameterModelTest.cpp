// Parameter model: mappings, setters, whole records, A/B setups, undo, notification slots and
// what the engine reports to its automation object.
#include <gtest/gtest.h>

#include "engine/ParamMapping.h"
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

TEST(ParamMapping, ListedExamplesAndHalvesRoundUp) {
    int32_t v;
    InternalFromNormalized(kParamMode, 0.16f, &v);
    EXPECT_EQ(v, 0);
    InternalFromNormalized(kParamMode, 0.17f, &v);
    EXPECT_EQ(v, 1);
    InternalFromNormalized(kParamPhase, 0.5f, &v);
    EXPECT_EQ(v, 0);
    InternalFromNormalized(kParamPhase, 0.0f, &v);
    EXPECT_EQ(v, -180);
    InternalFromNormalized(kParamPhase, 1.0f, &v);
    EXPECT_EQ(v, 180);
    InternalFromNormalized(kParamOutput, 0.8574821949005127f, &v);
    EXPECT_EQ(v, 0);
    InternalFromNormalized(kParamMeterPost, 0.5f, &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(NormalizedFromInternal(kParamOutput, 0), 0.8574821949005127f);
}

TEST(ParamMapping, AutomationBeyondTheRangeClampsAndNaNIsIgnored) {
    int32_t v = 77;
    EXPECT_FALSE(InternalFromNormalized(kParamOutput, std::nanf(""), &v));
    EXPECT_EQ(v, 77);
    InternalFromNormalized(kParamOutput, 1e30f, &v);
    EXPECT_EQ(v, 60);
    InternalFromNormalized(kParamWidth, -INFINITY, &v);
    EXPECT_EQ(v, 0);
    InternalFromNormalized(kParamWidth, 5.0f, &v);
    EXPECT_EQ(v, 200);
}

TEST(Coefficients, OutputGainFollowsTenthsOfADecibel) {
    EXPECT_DOUBLE_EQ(OutputGain(-360), 0.015848931924611134);
    EXPECT_DOUBLE_EQ(OutputGain(60), 1.9952623149688795);
    EXPECT_EQ(OutputGain(0), 1.0);
    EXPECT_EQ(OutputGain(-361), 0.0);
}

TEST(Setters, ClampAndFlagOnlyRealChanges) {
    TestEngine e;
    RecordingAutomation automation;
    e.SetAutomation(&automation);
    e.ClearDirty();
    ParamValues scratch;
    e.UpdateState(&scratch);  // consume the changed flag

    e.SetParam(kParamPhase, 200, false);
    EXPECT_EQ(e.GetParam(kParamPhase), 180);
    e.SetParam(kParamOutput, -1000, false);
    EXPECT_EQ(e.GetParam(kParamOutput), -361);
    e.SetParam(kParamMode, 7, false);
    EXPECT_EQ(e.GetParam(kParamMode), 3);
    EXPECT_TRUE(e.IsDirty());
    EXPECT_TRUE(e.UpdateState(&scratch));

    // The same value again: no flags, but the automation still hears it.
    e.ClearDirty();
    automation.setParams.clear();
    e.SetParam(kParamMode, 3, false);
    EXPECT_FALSE(e.IsDirty());
    EXPECT_FALSE(e.UpdateState(&scratch));
    ASSERT_EQ(automation.setParams.size(), 1u);
    EXPECT_EQ(automation.setParams[0].first, 3u);
    EXPECT_FLOAT_EQ(automation.setParams[0].second, 1.0f);
}

TEST(Setters, NotifyingEditsReachTheHostAsCaptures) {
    TestEngine e;
    RecordingAutomation automation;
    e.SetAutomation(&automation);
    e.SetParam(kParamWidth, 150, true);
    e.SetParam(kParamWidth, 160, true);
    e.SetParam(kParamPhase, 10, true);
    e.SetCaptureHold(1);
    e.EndCapture();  // held while the user drags
    e.SetCaptureHold(0);
    e.EndCapture();
    e.EndCapture();  // nothing left to end
    using C = std::tuple<char, uint32_t, float>;
    const std::vector<C> expected = {C{'B', 1, 0.0f},
                                     C{'V', 1, NormalizedFromInternal(kParamWidth, 150)},
                                     C{'V', 1, NormalizedFromInternal(kParamWidth, 160)},
                                     C{'E', 1, 0.0f},
                                     C{'B', 0, 0.0f},
                                     C{'V', 0, NormalizedFromInternal(kParamPhase, 10)},
                                     C{'E', 0, 0.0f}};
    EXPECT_EQ(automation.captures, expected);
}

TEST(SetParams, AppliesAWholeRecordAndEndsTheCapture) {
    TestEngine e;
    RecordingAutomation automation;
    e.SetAutomation(&automation);
    e.ClearDirty();
    ParamValues scratch;
    e.UpdateState(&scratch);
    e.SetParams(kDefaultParams);  // nothing changes, flags are still set
    EXPECT_TRUE(e.IsDirty());
    EXPECT_TRUE(e.UpdateState(&scratch));
    e.SetParams({{500, -4, 99, 2, 0, 1}});
    EXPECT_EQ(e.GetParams(), (ParamValues{{180, 0, 60, 2, 0, 1}}));
    ASSERT_FALSE(automation.captures.empty());
    EXPECT_EQ(std::get<0>(automation.captures.back()), 'E');
}

TEST(UpdateState, PullsAutomationValuesWithoutTouchingDirty) {
    TestEngine e;
    RecordingAutomation automation;
    e.SetAutomation(&automation);
    ParamValues p;
    e.UpdateState(&p);
    e.ClearDirty();
    e.SetEditorRefresh(0);
    automation.values[kParamWidth] = 0.25f;
    EXPECT_TRUE(e.UpdateState(&p));
    EXPECT_EQ(p[kParamWidth], 50);
    EXPECT_FALSE(e.IsDirty());
    EXPECT_EQ(e.ParamsChangedForEditor(), 0);
    e.SetEditorRefresh(0);
    EXPECT_EQ(e.ParamsChangedForEditor(), 1);
    automation.changed = true;  // automation moved since the editor last looked
    EXPECT_EQ(e.ParamsChangedForEditor(), 0);
}

TEST(Setups, SwitchingSwapsAAndB) {
    TestEngine fresh;
    fresh.SetParam(kParamWidth, 0, false);
    fresh.SelectSetup(1);  // an untouched setup B holds the factory defaults
    EXPECT_EQ(fresh.GetParams(), kDefaultParams);

    TestEngine e;
    const ParamValues a = {{10, 20, -30, 1, 0, 1}};
    const ParamValues b = {{-90, 150, 0, 3, 1, 0}};
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

TEST(Undo, TwiceRestoresAndSnapshotsFollowTheControl) {
    TestEngine e;
    const ParamValues start = e.GetParams();
    e.MarkUndo(5);
    e.SetParam(kParamPhase, 40, false);
    e.MarkUndo(5);  // same control, nothing captured: snapshot again
    e.SetParam(kParamPhase, 50, false);
    e.Undo();
    EXPECT_EQ(e.GetParam(kParamPhase), 40);
    e.Undo();
    EXPECT_EQ(e.GetParam(kParamPhase), 50);

    // While a capture runs on the same control, the first snapshot of the drag is kept.
    RecordingAutomation automation;
    e.SetAutomation(&automation);
    e.SetParams(start);
    e.MarkUndo(7);
    e.SetParam(kParamWidth, 10, true);
    e.MarkUndo(7);
    e.SetParam(kParamWidth, 20, true);
    e.Undo();
    EXPECT_EQ(e.GetParams(), start);
    e.MarkUndo(-2);  // forced
    e.SetParam(kParamWidth, 30, true);
    e.Undo();
    EXPECT_EQ(e.GetParams(), start);
}

TEST(NotifyWindows, TwoSlotsPostCommandsAndDropDeadWindows) {
    TestEngine e;
    int w1, w2, w3;
    EXPECT_EQ(e.SetNotifyWindow(&w1, kEngineNotifyCommandId), tw::kOk);
    EXPECT_EQ(e.SetNotifyWindow(&w2, 12), tw::kOk);
    EXPECT_EQ(e.SetNotifyWindow(&w3, 13), tw::kErrOutOfMemory);
    EXPECT_EQ(e.SetNotifyWindow(&w3, 0), tw::kOk);  // removing an unknown window
    e.liveWindows = {&w1};
    e.NotifyWindows(kNotifyStateLoaded);
    ASSERT_EQ(e.posts.size(), 1u);
    EXPECT_EQ(e.posts[0].window, &w1);
    EXPECT_EQ(e.posts[0].id, kEngineNotifyCommandId);
    EXPECT_EQ(e.posts[0].code, kNotifyStateLoaded);
    // w2 was dropped, so a third window fits now.
    EXPECT_EQ(e.SetNotifyWindow(&w3, 14), tw::kOk);
    EXPECT_EQ(e.SetNotifyWindow(&w1, 0), tw::kOk);
    e.liveWindows = {&w1, &w3};
    e.posts.clear();
    e.NotifyWindows(kNotifyInputFormat);
    ASSERT_EQ(e.posts.size(), 1u);
    EXPECT_EQ(e.posts[0].window, &w3);
    EXPECT_EQ(e.posts[0].id, 14);
}
