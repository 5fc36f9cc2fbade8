// Test doubles for the engine: a window system that records posted commands and an
// automation object that records what the engine reports.
#pragma once
#include <set>
#include <tuple>
#include <vector>

#include "engine/AudioEngine.h"

class TestEngine : public CAudioEngine {
public:
    struct Post {
        void* window;
        int id;
        int code;
    };
    std::set<void*> liveWindows;
    std::vector<Post> posts;

    // Prepares a stream of the given channel count with the factory defaults applied.
    explicit TestEngine(int inputChannels = 2, uint16_t tag = kWaveFormatIeeeFloat,
                        uint16_t bits = 32) {
        input_ = {tag, static_cast<uint16_t>(inputChannels), 44100, 0, 0, bits, 0};
        input_.nBlockAlign = static_cast<uint16_t>(bits / 8 * inputChannels);
        input_.nAvgBytesPerSec = 44100u * input_.nBlockAlign;
        output_ = input_;
        output_.nChannels = 2;
        output_.nBlockAlign = static_cast<uint16_t>(bits / 8 * 2);
        output_.nAvgBytesPerSec = 44100u * output_.nBlockAlign;
        SetParams(kDefaultParams);
        ResetProcessor(&input_, &output_);
    }

protected:
    bool WindowExists(void* window) override { return liveWindows.count(window) != 0; }
    void PostCommand(void* window, int id, int code) override {
        posts.push_back({window, id, code});
    }

private:
    WaveFormat input_;
    WaveFormat output_;
};

class RecordingAutomation : public IEngineAutomation {
public:
    float values[6] = {0.5f, 0.5f, 0.8574822f, 0.0f, 1.0f, 0.0f};
    bool changed = false;
    // Capture calls in order: 'B'egin, 'V'alue, 'E'nd with index and value.
    std::vector<std::tuple<char, uint32_t, float>> captures;
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
        for (uint32_t i = 0; i < count; ++i) captures.emplace_back('B', indices[i], 0.0f);
        return tw::kOk;
    }
    tw::Result CaptureValues(const uint32_t* indices, uint32_t count, const float* v) override {
        for (uint32_t i = 0; i < count; ++i) captures.emplace_back('V', indices[i], v[i]);
        return tw::kOk;
    }
    tw::Result CaptureEnd(const uint32_t* indices, uint32_t count) override {
        for (uint32_t i = 0; i < count; ++i) captures.emplace_back('E', indices[i], 0.0f);
        return tw::kOk;
    }
    tw::Result UpdateToPosition(int64_t) override { return tw::kOk; }
    void SetSampleRate(int32_t) override {}
};
