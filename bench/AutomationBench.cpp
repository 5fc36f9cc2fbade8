// Cost of one-segment AddEnvelope calls as a parameter's automation grows. A host writing
// automation during playback adds segments one call at a time, and every call holds the
// envelope lock that the streaming thread waits for, so the cost per call must not grow with
// the number of segments already present.
#include <cstdint>
#include <memory>

#include <benchmark/benchmark.h>

#include "automation/AutomationCore.h"

namespace {

constexpr int64_t kSegmentLength = 100000;  // 10 ms
constexpr int kTimedCalls = 1000;

MpEnvelopeSegment SegmentAt(int64_t i) {
    const int64_t start = i * kSegmentLength;
    return {start, start + kSegmentLength, float(i % 100) / 100, float((i + 1) % 100) / 100,
            tw::kCurveLinear, 0};
}

void AddOne(CAutomationCore& core, int64_t i) {
    const MpEnvelopeSegment s = SegmentAt(i);
    benchmark::DoNotOptimize(core.AddEnvelope(kParamWidth, 1, &s));
}

// Argument: segments already present. Times the next kTimedCalls one-segment calls, each
// appending after the last segment as a recording host does. The segments present are added
// the same way, outside the timing, so the list stands as it would in a host.
void BM_AddEnvelopeOneSegment(benchmark::State& state) {
    const int64_t present = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        auto core = std::make_unique<CAutomationCore>();
        for (int64_t i = 0; i < present; ++i) AddOne(*core, i);
        state.ResumeTiming();

        for (int64_t i = present; i < present + kTimedCalls; ++i) AddOne(*core, i);

        state.PauseTiming();
        core.reset();
        state.ResumeTiming();
    }
    state.counters["per_call"] = benchmark::Counter(
        double(kTimedCalls) * state.iterations(),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

// The first 1,000 calls, and the last 1,000 of 50,000. A fixed iteration count bounds the
// untimed set-up of the large list.
BENCHMARK(BM_AddEnvelopeOneSegment)
    ->ArgName("present")
    ->Arg(0)
    ->Arg(49000)
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);
