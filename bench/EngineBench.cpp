// Frames per second of the block processor: float and double paths, both quadrature filters,
// small and large blocks, and the 16-bit path with its conversions.
#include <cmath>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/AudioEngine.h"

namespace {

// A stereo stream of one sample type through the engine: phase 45, width 130 %, -2 dB, MS phase,
// metering the output, with the quadrature filter under test. No editor windows, no automation.
struct BenchEngine {
    WaveFormat format;
    CAudioEngine engine;

    BenchEngine(uint16_t tag, uint16_t bits, int64_t fir) {
        const uint16_t align = static_cast<uint16_t>(bits / 8 * 2);
        format = {tag, 2, 44100, 44100u * align, align, bits, 0};
        const QuadratureFilter filter = fir ? QuadratureFilter::kFir : QuadratureFilter::kAllpass;
        engine.SetParams({{45, 130, -20, ParamValueOf(Mode::kMsPhase),
                           ParamValueOf(MeterPosition::kPost), ParamValueOf(filter)}});
        engine.ResetProcessor(&format, &format);
    }
};

template <typename Sample>
std::vector<Sample> TestSignal(int frames) {
    std::vector<Sample> v(2 * frames);
    for (int i = 0; i < frames; ++i) {
        v[2 * i] = static_cast<Sample>(0.5 * std::sin(0.031 * i));
        v[2 * i + 1] = static_cast<Sample>(0.4 * std::sin(0.017 * i + 1.0));
    }
    return v;
}

void BM_ProcessFloat(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    BenchEngine bench(kWaveFormatIeeeFloat, 32, state.range(1));
    const auto in = TestSignal<float>(block);
    std::vector<float> out(2 * block);
    for (auto _ : state) {
        int frames = block, outFrames = block;
        bench.engine.ProcessFloat(in.data(), &frames, out.data(), &outFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(block) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_ProcessDouble(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    BenchEngine bench(kWaveFormatIeeeFloat, 64, state.range(1));
    const auto in = TestSignal<double>(block);
    std::vector<double> out(2 * block);
    for (auto _ : state) {
        int frames = block, outFrames = block;
        bench.engine.ProcessDouble(in.data(), &frames, out.data(), &outFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(block) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_ProcessPcm16(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    BenchEngine bench(kWaveFormatPcm, 16, state.range(1));
    std::vector<int16_t> in(2 * block), out(2 * block);
    const auto signal = TestSignal<float>(block);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(signal[i] * 32767);
    std::vector<float> inScratch(2 * block), outScratch(2 * block);
    for (auto _ : state) {
        bench.engine.ProcessPcm16(in.data(), block, out.data(), inScratch.data(),
                                  outScratch.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(block) * state.iterations(), benchmark::Counter::kIsRate);
}

// Arguments: block size in frames, Filter (0 all-pass, 1 FIR).
void Blocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "fir"});
    for (int block : {64, 4096})
        for (int fir : {0, 1}) b->Args({block, fir});
}

}  // namespace

BENCHMARK(BM_ProcessFloat)->Apply(Blocks);
BENCHMARK(BM_ProcessDouble)->Apply(Blocks);
BENCHMARK(BM_ProcessPcm16)->Apply(Blocks);
