// The engine and its automation on several threads at once, as a host drives them: the
// streaming thread processes blocks and evaluates envelopes while the editor's thread works
// the setters, captures and meters and a host thread writes automation and whole records.
// Built with ThreadSanitizer, so an unguarded shared word fails the run.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "automation/AutomationCore.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

constexpr int kRounds = 400;

struct Rig {
    TestEngine engine;
    CAutomationCore automation;
    std::atomic<bool> streaming{true};

    Rig() {
        engine.params.SetAutomation(&automation);
        engine.params.SetParams(kDefaultParams);
    }
    ~Rig() { engine.params.SetAutomation(nullptr); }

    // The streaming thread: envelopes evaluated at the position, then one block processed.
    void Stream() {
        std::vector<float> in(2 * 64), out(2 * 64);
        for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>(i % 7) * 0.3f - 0.9f;
        int64_t position = 0;
        while (streaming.load()) {
            automation.UpdateToPosition(position);
            int inFrames = 64, outFrames = 64;
            engine.processor.ProcessFloat(in.data(), &inFrames, out.data(), &outFrames);
            position += 64;
        }
    }
};

TEST(Threads, EditorAndHostCallsAgainstStreamingLeaveNoCaptureBehind) {
    Rig rig;
    std::thread streaming([&] { rig.Stream(); });
    std::thread editor([&] {
        for (int i = 0; i < kRounds; ++i) {
            rig.engine.params.SetCaptureHold(1);
            rig.engine.params.MarkUndo(i % kParamCount);
            rig.engine.params.SetParam(i % kParamCount, i, true);
            rig.engine.params.SetCaptureHold(0);
            rig.engine.params.EndCapture();
            rig.engine.processor.UpdateCoefficients();
            const Channel channel = i % 2 ? Channel::kRight : Channel::kLeft;
            rig.engine.processor.SetClip(
                channel, ClipCounter::kLive,
                rig.engine.processor.GetClip(channel, ClipCounter::kLive) - 1);
            rig.engine.processor.GetPeak(channel);
            rig.engine.processor.SetPhaseMeter(0.0f);
            rig.engine.processor.GetPhaseMeter();
            rig.engine.params.ParamsChangedForEditor();
            rig.engine.params.SetEditorRefresh(0);
            if (i % 50 == 0) rig.engine.processor.SetBypass(i % 100 == 0);
        }
        rig.engine.processor.SetBypass(0);
    });
    std::thread host([&] {
        for (int i = 0; i < kRounds; ++i) {
            rig.engine.params.SetParams(
                {{i % 360 - 180, i % 200, -i % 361, i % 4, i % 2, (i / 7) % 2}});
            if (i % 10 == 0) rig.engine.params.SelectSetup((i / 10) % 2);
            if (i % 25 == 0) rig.engine.params.Undo();
            rig.engine.params.IsDirty();
            rig.engine.params.ClearDirty();
        }
    });
    editor.join();
    host.join();
    rig.streaming.store(false);
    streaming.join();

    // With no hold, one end of capture releases whatever the threads left captured.
    rig.engine.params.EndCapture();
    for (uint32_t i = 0; i < kParamCount; ++i)
        EXPECT_FALSE(rig.automation.Envelope(i).IsCaptured()) << "parameter " << i;
}

TEST(Threads, AutomationWrittenWhileEnvelopesAreEvaluated) {
    Rig rig;
    std::thread streaming([&] { rig.Stream(); });
    std::thread host([&] {
        for (int i = 0; i < kRounds; ++i) {
            const MpEnvelopeSegment segment = {i * 100000LL, i * 100000LL + 50000, 0.2f, 0.8f,
                                               tw::kCurveLinear, 0};
            rig.automation.AddEnvelope(static_cast<uint32_t>(i % kParamCount), 1, &segment);
            rig.automation.SetParam(static_cast<uint32_t>((i + 3) % kParamCount), 0.25f);
            if (i % 40 == 39) rig.automation.FlushEnvelope(tw::kAllParams, INT64_MIN, INT64_MAX);
        }
    });
    host.join();
    rig.streaming.store(false);
    streaming.join();

    // Whatever the interleaving, every envelope still yields a value inside its range.
    for (uint32_t i = 0; i < kParamCount; ++i) {
        float value = -1.0f;
        ASSERT_EQ(tw::kOk, rig.automation.GetParam(i, &value));
        EXPECT_GE(value, 0.0f);
        EXPECT_LE(value, 1.0f);
    }
}

}  // namespace
