// Frames per second of the block processor: float, double and 16-bit paths, the three quadrature
// filters, small and large blocks; the same on every instruction-set path this processor runs;
// and the plain per-frame implementation (PlainPhase.h) on the same signal, so every run prints
// the engine's speed-up over it. Before timing, the program checks that every path and the plain
// implementation give the same bits as the scalar path, and fails if not.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <benchmark/benchmark.h>

#include "analysis/PhaseTap.h"
#include "bench/PlainPhase.h"
#include "engine/BlockProcessor.h"
#include "engine/ParamModel.h"

namespace {

enum class Format { kFloat, kDouble, kPcm16 };
constexpr const char* kFormatNames[] = {"Float", "Double", "Pcm16"};

constexpr uint32_t kBenchRateHz = 44100;
constexpr int kFilterCount = kParamDescriptors[kParamFilter].ValueCount();

// Phase 45, width 130 %, -2 dB, MS phase, metering the output, with the filter under test.
ParamValues BenchParams(int64_t filter) {
    return {{45, 130, -20, ParamValueOf(Mode::kMsPhase), ParamValueOf(MeterPosition::kPost),
             static_cast<int32_t>(filter)}};
}

// A stereo stream of one sample type through the engine on one signal path. No editor windows,
// no automation.
struct BenchEngine {
    WaveFormat format;
    CParamModel params;
    CBlockProcessor engine{params};

    BenchEngine(Format f, int64_t filter, SignalPath path = BestSignalPath()) {
        const uint16_t bits = f == Format::kDouble ? 64 : f == Format::kFloat ? 32 : 16;
        const uint16_t tag = f == Format::kPcm16 ? kWaveFormatPcm : kWaveFormatIeeeFloat;
        const uint16_t align = static_cast<uint16_t>(bits / 8 * 2);
        format = {tag, 2, kBenchRateHz, kBenchRateHz * align, align, bits, 0};
        params.SetParams(BenchParams(filter));
        engine.StartStream(&format, &format);
        engine.SelectSignalPath(path);
    }
};

template <typename Sample>
std::vector<Sample> TestSignal(int frames) {
    std::vector<Sample> v(2 * frames);
    for (int i = 0; i < frames; ++i) {
        const double left = 0.5 * std::sin(0.031 * i), right = 0.4 * std::sin(0.017 * i + 1.0);
        if constexpr (sizeof(Sample) == 2) {
            v[2 * i] = static_cast<Sample>(static_cast<float>(left) * 32767);
            v[2 * i + 1] = static_cast<Sample>(static_cast<float>(right) * 32767);
        } else {
            v[2 * i] = static_cast<Sample>(left);
            v[2 * i + 1] = static_cast<Sample>(right);
        }
    }
    return v;
}

// One block through the engine, with the scratch buffers the 16-bit path needs.
template <typename Sample>
struct Block {
    std::vector<Sample> in, out;
    std::vector<float> inScratch, outScratch;
    explicit Block(int frames)
        : in(TestSignal<Sample>(frames)),
          out(2 * frames),
          inScratch(2 * frames),
          outScratch(2 * frames) {}

    void Run(CBlockProcessor& e) {
        int frames = static_cast<int>(in.size() / 2), outFrames = frames;
        if constexpr (sizeof(Sample) == 2) {
            e.ProcessPcm16(in.data(), frames, out.data(), inScratch.data(), outScratch.data());
        } else if constexpr (sizeof(Sample) == 4) {
            e.ProcessFloat(in.data(), &frames, out.data(), &outFrames);
        } else {
            e.ProcessDouble(in.data(), &frames, out.data(), &outFrames);
        }
    }
};

void SetRate(benchmark::State& state, int block) {
    state.counters["frames/s"] =
        benchmark::Counter(double(block) * state.iterations(), benchmark::Counter::kIsRate);
}

template <typename Sample>
void RunEngine(benchmark::State& state, Format f, SignalPath path) {
    const int block = static_cast<int>(state.range(0));
    BenchEngine bench(f, state.range(1), path);
    Block<Sample> b(block);
    for (auto _ : state) {
        b.Run(bench.engine);
        benchmark::DoNotOptimize(b.out.data());
    }
    SetRate(state, block);
}

template <typename Sample>
void RunPlain(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    CPlainPhase plain(BenchParams(state.range(1)), kBenchRateHz);
    const auto in = TestSignal<Sample>(block);
    std::vector<Sample> out(2 * block);
    for (auto _ : state) {
        plain.Process(in.data(), out.data(), block);
        benchmark::DoNotOptimize(out.data());
    }
    SetRate(state, block);
}

// The engine on the fastest path this processor runs.
void BM_ProcessFloat(benchmark::State& state) {
    RunEngine<float>(state, Format::kFloat, BestSignalPath());
}
void BM_ProcessDouble(benchmark::State& state) {
    RunEngine<double>(state, Format::kDouble, BestSignalPath());
}
void BM_ProcessPcm16(benchmark::State& state) {
    RunEngine<int16_t>(state, Format::kPcm16, BestSignalPath());
}

// The plain per-frame implementation.
void BM_PlainFloat(benchmark::State& state) {
    RunPlain<float>(state);
}
void BM_PlainDouble(benchmark::State& state) {
    RunPlain<double>(state);
}
void BM_PlainPcm16(benchmark::State& state) {
    RunPlain<int16_t>(state);
}

// Float on one path (third argument, a SignalPath).
void BM_PathFloat(benchmark::State& state) {
    RunEngine<float>(state, Format::kFloat, static_cast<SignalPath>(state.range(2)));
}

// Float with the analysis tap connected, as while an analysis page is open and reads it, against
// the same engine without: rounds of kTapRoundBlocks blocks on one, then on the other, each timed
// by the streaming thread's clock; the cost is the median of the rounds' ratios, so the machine's
// slow drifts and its neighbours' bursts fall on both sides of a pair alike.
constexpr int kTapRoundBlocks = 32;
void BM_TapFloat(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    BenchEngine closed(Format::kFloat, state.range(1)), open(Format::kFloat, state.range(1));
    const std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
    open.engine.SetTap(tap.get());
    Block<float> b(block);
    // The page reads a snapshot every 75 ms of audio. As in a host, it reads on a thread of its
    // own that sleeps between reads (its timer's), asked to by the stream once per read: its
    // copy is not the streaming thread's time, and no thread spins beside the stream.
    const int readEvery = std::max(1, static_cast<int>(kBenchRateHz * 75 / 1000 / block));
    std::atomic<int64_t> readsAsked{0};
    std::atomic<bool> done{false};
    std::thread page([&] {
#ifdef __linux__
        prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);  // naps of microseconds, not 50
#endif
        const std::unique_ptr<TapSnapshot> snapshot(new TapSnapshot);
        for (int64_t reads = 0; !done.load(std::memory_order_relaxed);) {
            if (readsAsked.load(std::memory_order_relaxed) == reads) {
                std::this_thread::sleep_for(std::chrono::microseconds(10));
                continue;
            }
            tap->Read(snapshot.get());
            reads = readsAsked.load(std::memory_order_relaxed);
        }
    });
    const auto threadSeconds = [] {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
    };
    int64_t openBlocks = 0;
    std::vector<double> ratios;
    double closedSeconds = 0.0, openSeconds = 0.0;
    for (auto _ : state) {
        const double start = threadSeconds();
        for (int i = 0; i < kTapRoundBlocks; ++i) b.Run(closed.engine);
        const double middle = threadSeconds();
        for (int i = 0; i < kTapRoundBlocks; ++i) {
            b.Run(open.engine);
            if (++openBlocks % readEvery == 0)
                readsAsked.store(openBlocks / readEvery, std::memory_order_relaxed);
        }
        const double end = threadSeconds();
        benchmark::DoNotOptimize(b.out.data());
        closedSeconds += middle - start;
        openSeconds += end - middle;
        if (middle > start) ratios.push_back((end - middle) / (middle - start));
    }
    done.store(true, std::memory_order_relaxed);
    page.join();
    const double frames = double(block) * kTapRoundBlocks * double(state.iterations());
    state.counters["closed frames/s"] = closedSeconds > 0 ? frames / closedSeconds : 0.0;
    state.counters["open frames/s"] = openSeconds > 0 ? frames / openSeconds : 0.0;
    if (!ratios.empty()) {
        std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
        state.counters["cost %"] = 100.0 * (ratios[ratios.size() / 2] - 1.0);
    }
}

// Arguments: block size in frames, Filter (0 all-pass, 1 FIR, 2 precise).
void Blocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "filter"});
    for (int block : {64, 4096})
        for (int filter = 0; filter < kFilterCount; ++filter) b->Args({block, filter});
}
void LargeBlocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "filter"});
    for (int filter = 0; filter < kFilterCount; ++filter) b->Args({4096, filter});
}
constexpr int kTapBlockFrames = 512;
void TapBlocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "filter"});
    for (int filter = 0; filter < kFilterCount; ++filter) b->Args({kTapBlockFrames, filter});
}
void Paths(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "filter", "path"});
    for (int filter = 0; filter < kFilterCount; ++filter)
        for (int p = 0; p < kSignalPathCount; ++p)
            if (SignalPathSupported(static_cast<SignalPath>(p))) b->Args({4096, filter, p});
}

}  // namespace

BENCHMARK(BM_ProcessFloat)->Apply(Blocks);
BENCHMARK(BM_ProcessDouble)->Apply(Blocks);
BENCHMARK(BM_ProcessPcm16)->Apply(Blocks);
BENCHMARK(BM_PlainFloat)->Apply(LargeBlocks);
BENCHMARK(BM_PlainDouble)->Apply(LargeBlocks);
BENCHMARK(BM_PlainPcm16)->Apply(LargeBlocks);
BENCHMARK(BM_PathFloat)->Apply(Paths);
BENCHMARK(BM_TapFloat)->Apply(TapBlocks);

namespace {

// --- Identity: the bench signal, in blocks of uneven sizes, through every path and the plain
// implementation, compared bit for bit with the scalar path ---

template <typename Sample>
bool SameBits(const std::vector<Sample>& a, const std::vector<Sample>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Sample)) == 0;
}

template <typename Sample>
std::vector<Sample> EngineOutput(Format f, int filter, SignalPath path,
                                 const std::vector<int>& sizes, double* phase) {
    BenchEngine bench(f, filter, path);
    std::vector<Sample> all;
    for (int n : sizes) {
        Block<Sample> b(n);
        b.Run(bench.engine);
        all.insert(all.end(), b.out.begin(), b.out.end());
    }
    *phase = bench.engine.GetPhaseAccumulator();
    return all;
}

template <typename Sample>
bool CheckIdentity(Format f, int* framesChecked) {
    // Each block restarts the signal; the plain implementation gets the same blocks.
    const std::vector<int> sizes = {4096, 1, 63, 64, 65, 255, 256, 257, 777, 4096, 3};
    bool ok = true;
    for (int filter = 0; filter < kFilterCount; ++filter) {
        double scalarPhase = 0;
        const auto scalar =
            EngineOutput<Sample>(f, filter, SignalPath::kScalar, sizes, &scalarPhase);
        CPlainPhase plain(BenchParams(filter), kBenchRateHz);
        std::vector<Sample> plainOut;
        for (int n : sizes) {
            const auto in = TestSignal<Sample>(n);
            std::vector<Sample> out(2 * n);
            plain.Process(in.data(), out.data(), n);
            plainOut.insert(plainOut.end(), out.begin(), out.end());
        }
        auto report = [&](const char* what, bool same) {
            if (!same) {
                std::printf("identity: %s differs from the scalar path (%s, filter:%d)\n", what,
                            kFormatNames[static_cast<int>(f)], filter);
                ok = false;
            }
        };
        report("the plain implementation",
               SameBits(plainOut, scalar) && plain.Phase() == scalarPhase);
        for (int p = 1; p < kSignalPathCount; ++p) {
            const SignalPath path = static_cast<SignalPath>(p);
            if (!SignalPathSupported(path)) continue;
            double phase = 0;
            const auto out = EngineOutput<Sample>(f, filter, path, sizes, &phase);
            report(SignalPathName(path), SameBits(out, scalar) && phase == scalarPhase);
        }
        *framesChecked += static_cast<int>(scalar.size() / 2);
    }
    return ok;
}

// Console output as usual, and each run's counters kept for the ratios at the end.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the library's own console output does by default.
    CRatioReporter() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}

    // With --benchmark_repetitions the medians count.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration && run.aggregate_name != "median") continue;
            for (const auto& counter : run.counters)
                m_counters[run.run_name.str() + " " + counter.first] = counter.second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // For each format and filter: the engine (best path) against the plain implementation.
    void PrintRatios() const {
        std::printf("\nSpeed-up over the plain per-frame implementation (block 4096, path %s):\n",
                    SignalPathName(BestSignalPath()));
        for (const char* format : kFormatNames) {
            for (int filter = 0; filter < kFilterCount; ++filter) {
                const std::string args = "/block:4096/filter:" + std::to_string(filter);
                const auto engine = m_counters.find("BM_Process" + std::string(format) + args +
                                                    " frames/s");
                const auto plain =
                    m_counters.find("BM_Plain" + std::string(format) + args + " frames/s");
                if (engine == m_counters.end() || plain == m_counters.end()) continue;
                std::printf("  %-6s %-8s engine %8.1f Mframes/s   plain %7.1f Mframes/s   x%.2f\n",
                            format, kFilterChoices[filter].name, engine->second / 1e6,
                            plain->second / 1e6, engine->second / plain->second);
            }
        }
        PrintTapCost();
    }

    // For each filter: the time per block with the analysis tap connected over the time without.
    void PrintTapCost() const {
        std::printf("\nAnalysis tap, float at %d-frame blocks (streaming thread, paired rounds):\n",
                    kTapBlockFrames);
        for (int filter = 0; filter < kFilterCount; ++filter) {
            const std::string run = "BM_TapFloat/block:" + std::to_string(kTapBlockFrames) +
                                    "/filter:" + std::to_string(filter) + " ";
            const auto closed = m_counters.find(run + "closed frames/s");
            const auto open = m_counters.find(run + "open frames/s");
            const auto cost = m_counters.find(run + "cost %");
            if (closed == m_counters.end() || open == m_counters.end() || cost == m_counters.end())
                continue;
            std::printf(
                "  %-8s closed %8.1f Mframes/s   open %8.1f Mframes/s   %+.1f %% per block\n",
                kFilterChoices[filter].name, closed->second / 1e6, open->second / 1e6,
                cost->second);
        }
    }

private:
    std::map<std::string, double> m_counters;  // "run name counter" -> value
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    int frames = 0;
    const bool same = CheckIdentity<float>(Format::kFloat, &frames) &&
                      CheckIdentity<double>(Format::kDouble, &frames) &&
                      CheckIdentity<int16_t>(Format::kPcm16, &frames);
    if (!same) return 1;
    std::printf("identity: ");
    for (int p = 0; p < kSignalPathCount; ++p) {
        if (SignalPathSupported(static_cast<SignalPath>(p)))
            std::printf("%s ", SignalPathName(static_cast<SignalPath>(p)));
    }
    std::printf("and the plain implementation agree bit for bit (%d frames)\n", frames);

    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
