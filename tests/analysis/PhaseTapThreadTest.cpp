// The analysis tap's publication under ThreadSanitizer: the stream publishes while a reader
// copies snapshots and asks for resets and other windows; every snapshot it gets is whole.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "analysis/PhaseTap.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

TEST(PhaseTapThreadTest, ReaderGetsWholeSnapshotsWhileTheStreamPublishes) {
    std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
    ASSERT_TRUE(tap);
    TestEngine e;
    e.processor.SetTap(tap.get());
    // Mono: every frame of a whole snapshot's scope has equal channels, and a snapshot made of
    // two publications would show it no more than a torn one would show its sequence.
    const std::vector<float> mono = [] {
        std::vector<float> v = Noise(512, 1);
        std::vector<float> stereo;
        for (float x : v) stereo.insert(stereo.end(), {x, x});
        return stereo;
    }();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        TapSnapshot s;
        uint64_t last = 0;
        int read = 0;
        while (!done.load()) {
            if (tap->Read(&s)) {
                EXPECT_GT(s.sequence, last);
                last = s.sequence;
                for (int i = 0; i < s.scopeFrames; ++i) ASSERT_EQ(s.scope[i][0], s.scope[i][1]);
                if (++read % 50 == 0) tap->RequestReset(), last = 0;
                tap->SetWindow(1 + read % 30);
            }
        }
    });
    for (int block = 0; block < 3000; ++block) Process(e, mono);
    e.processor.StopStream();
    done.store(true);
    reader.join();
}

}  // namespace
