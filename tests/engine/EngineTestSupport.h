// Scaffolding for the engine tests: a window system and an automation object that record what
// the engine hands them, an engine prepared for a stream, parameter records built by name, a
// test signal and one block through the engine.
#pragma once
#include <cstdint>
#include <set>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/BlockProcessor.h"
#include "engine/ParamModel.h"

// Windows exist while listed in liveWindows; every post is recorded.
class RecordingWindows : public IEditorWindows {
public:
    struct Post {
        void* window;
        int id;
        int code;
    };
    std::set<void*> liveWindows;
    std::vector<Post> posts;

    bool WindowExists(void* window) override { return liveWindows.count(window) != 0; }
    void PostCommand(void* window, int id, int code) override {
        posts.push_back({window, id, code});
    }
};

// Capture reports in order: 'B'egin, 'V'alue, 'E'nd with the index (and the value for 'V').
struct CaptureLog {
    std::vector<std::tuple<char, uint32_t, float>> entries;

    tw::Result Add(char kind, const uint32_t* indices, uint32_t count,
                   const float* values = nullptr) {
        for (uint32_t i = 0; i < count; ++i)
            entries.emplace_back(kind, indices[i], values ? values[i] : 0.0f);
        return tw::kOk;
    }
};

// Effective values the test sets (the factory defaults at first); records what it is handed.
class RecordingAutomation : public IEngineAutomation {
public:
    float values[kParamCount] = {0.5f, 0.5f, 0.8574822f, 0.0f, 1.0f, 0.0f};
    bool changed = false;
    CaptureLog captures;
    std::vector<std::pair<uint32_t, float>> setParams;

    tw::Result SetParamValue(uint32_t index, float normalized) override {
        values[index] = normalized;
        changed = true;
        setParams.emplace_back(index, normalized);
        return tw::kOk;
    }
    float EffectiveValue(uint32_t index) override { return values[index]; }
    tw::Result TestAndClearChanged() override {
        const bool was = changed;
        changed = false;
        return was ? tw::kOk : tw::kFalse;
    }
    tw::Result CaptureBegin(const uint32_t* indices, uint32_t count) override {
        return captures.Add('B', indices, count);
    }
    tw::Result CaptureValues(const uint32_t* indices, uint32_t count, const float* v) override {
        return captures.Add('V', indices, count, v);
    }
    tw::Result CaptureEnd(const uint32_t* indices, uint32_t count) override {
        return captures.Add('E', indices, count);
    }
    tw::Result UpdateToPosition(int64_t) override { return tw::kOk; }
    void SetSampleRate(int32_t) override {}
};

// A format of a sample type and channel count (at 44.1 kHz unless told), block alignment and
// byte rate to match.
inline WaveFormat MakeFormat(uint16_t tag, uint16_t bits, int channels, uint32_t rateHz = 44100) {
    const uint16_t align = static_cast<uint16_t>(bits / 8 * channels);
    return {tag, static_cast<uint16_t>(channels), rateHz, rateHz * align, align, bits, 0};
}

// The engine's two parts as the filter starts a stream: factory defaults applied, then the
// processor started with an input format of the given channels and sample type and its stereo
// output. It owns the formats and the recording window system the model points at.
struct TestEngine {
    WaveFormat input;
    WaveFormat output;
    RecordingWindows windows;
    CParamModel params;
    CBlockProcessor processor{params};

    explicit TestEngine(int inputChannels = 2, uint16_t tag = kWaveFormatIeeeFloat,
                        uint16_t bits = 32, uint32_t rateHz = 44100)
        : input(MakeFormat(tag, bits, inputChannels, rateHz)),
          output(MakeFormat(tag, bits, 2, rateHz)) {
        params.SetEditorWindows(&windows);
        params.SetParams(kDefaultParams);
        processor.StartStream(&input, &output);
    }
};

// A parameter record named field by field, starting from the factory defaults:
//   Settings().Phase(90).With(Mode::kMsPhase, QuadratureFilter::kFir)
struct Settings {
    ParamValues values = kDefaultParams;

    Settings& Phase(int32_t degrees) { return Set(kParamPhase, degrees); }
    Settings& Width(int32_t percent) { return Set(kParamWidth, percent); }
    Settings& Output(int32_t tenthsOfDb) { return Set(kParamOutput, tenthsOfDb); }
    // Any of Mode, MeterPosition and QuadratureFilter.
    template <typename... Named>
    Settings& With(Named... named) {
        (Set(FieldOf(named), ParamValueOf(named)), ...);
        return *this;
    }
    operator ParamValues() const { return values; }

private:
    static int FieldOf(Mode) { return kParamMode; }
    static int FieldOf(MeterPosition) { return kParamMeterPost; }
    static int FieldOf(QuadratureFilter) { return kParamFilter; }
    Settings& Set(int index, int32_t value) {
        values[index] = value;
        return *this;
    }
};

// Every parameter away from its factory default.
inline const ParamValues kEveryParamMoved = Settings().Phase(90).Width(200).Output(60).With(
    Mode::kScEncode, MeterPosition::kPre, QuadratureFilter::kFir);

// The signal paths this processor runs, the plain C++ one first.
inline std::vector<SignalPath> SupportedSignalPaths() {
    std::vector<SignalPath> paths;
    for (int p = 0; p < kSignalPathCount; ++p)
        if (SignalPathSupported(static_cast<SignalPath>(p)))
            paths.push_back(static_cast<SignalPath>(p));
    return paths;
}

// Deterministic broadband noise in -0.5..0.5: frames x channels interleaved values.
inline std::vector<float> Noise(int frames, int channels = 2, unsigned seed = 1) {
    std::vector<float> v(static_cast<size_t>(frames) * channels);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>((seed >> 8) / 16777216.0 - 0.5);
    }
    return v;
}

// One block through the engine in the sample type of `in` (float, double or 16-bit PCM), laid
// out for the engine's input channels; the interleaved stereo output.
template <typename Sample>
std::vector<Sample> Process(TestEngine& e, const std::vector<Sample>& in) {
    const int channels = e.processor.InputFormat()->nChannels;
    int frames = static_cast<int>(in.size()) / channels, outFrames = frames;
    std::vector<Sample> out(2 * static_cast<size_t>(frames));
    tw::Result result;
    if constexpr (std::is_same_v<Sample, int16_t>) {
        std::vector<float> inScratch(in.size()), outScratch(out.size());
        result = e.processor.ProcessPcm16(in.data(), frames, out.data(), inScratch.data(),
                                          outScratch.data());
    } else if constexpr (std::is_same_v<Sample, double>) {
        result = e.processor.ProcessDouble(in.data(), &frames, out.data(), &outFrames);
    } else {
        result = e.processor.ProcessFloat(in.data(), &frames, out.data(), &outFrames);
    }
    EXPECT_EQ(result, tw::kOk);
    EXPECT_EQ(frames, outFrames);
    return out;
}
