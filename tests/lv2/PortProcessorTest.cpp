// The LV2 plug-in's processing: the port processor's control outputs measured, and the built
// library driven through its descriptor in a host's order against the DirectShow plug-in's
// block processor fed the same audio in the same blocks.
#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include "engine/PhaseKernels.h"
#include "lv2/PortProcessor.h"

namespace {

constexpr double kRate = 48000;
// Runs of ragged lengths, one longer than the port processor's piece.
constexpr int kRuns[] = {1, 37, 512, CPortProcessor::kPieceFrames + 300, 2000};
constexpr int kTotal = 1 + 37 + 512 + CPortProcessor::kPieceFrames + 300 + 2000;

using Connect = std::function<void(int, float*)>;
using RunFrames = std::function<void(int)>;

// The settings of each run: the phase steps at every run boundary.
std::vector<ParamValues> Schedule(int mode, int filter, int width, int output) {
    std::vector<ParamValues> runs;
    for (size_t r = 0; r < std::size(kRuns); ++r)
        runs.push_back({{-170 + 67 * int(r), width, output, mode, 1, filter}});
    return runs;
}

// Two detuned tones with a little noise per channel, planar (channel c from c * kTotal).
std::vector<float> TestSignal() {
    std::vector<float> s(2 * kTotal);
    uint32_t noise = 12345;
    for (int i = 0; i < kTotal; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
        s[i] = static_cast<float>(0.6 * std::sin(i * 0.031) + n);
        s[kTotal + i] = static_cast<float>(0.5 * std::sin(i * 0.047 + 1.0) - n);
    }
    return s;
}

// The DirectShow plug-in's path: its block processor, the parameters set before each block.
std::vector<float> ReferenceRender(InputLayout layout, const std::vector<float>& planar,
                                   const std::vector<ParamValues>& perRun) {
    const uint16_t channels = layout == InputLayout::kMono ? 1 : 2;
    WaveFormat in = {kWaveFormatIeeeFloat, channels, 48000, 0, 0, 32, 0}, out = in;
    out.nChannels = 2;
    CParamModel model;
    CBlockProcessor block(model);
    model.SetParams(kDefaultParams);
    block.StartStream(&in, &out);
    std::vector<float> input, output(2 * kTotal), planarOut(2 * kTotal);
    for (int i = 0; i < kTotal; ++i)
        for (int c = 0; c < channels; ++c) input.push_back(planar[c * kTotal + i]);
    for (size_t r = 0, first = 0; r < std::size(kRuns); first += kRuns[r++]) {
        for (int i = 0; i < kParamCount; ++i) model.SetParam(i, perRun[r][i], false);
        int n = kRuns[r], m = kRuns[r];
        block.ProcessFloat(&input[first * channels], &n, &output[2 * first], &m);
    }
    for (int i = 0; i < 2 * kTotal; ++i) planarOut[(i % 2) * kTotal + i / 2] = output[i];
    return planarOut;
}

// A host's buffers for every port of a layout: controls at their defaults, audio planar.
struct Ports {
    explicit Ports(InputLayout layout) : layout(layout), controls(PortCountOf(layout)) {
        for (int i = 0; i < PortCountOf(layout); ++i) controls[i] = PortOf(layout, i).defaultValue;
    }
    float& At(PortRole role, int channelOrParam = 0) {
        return controls[PortIndexOf(layout, role, channelOrParam)];
    }
    // Connects every port, the audio at frame `first`, as a host with moving buffers does.
    void ConnectAll(const Connect& connect, int first) {
        for (int i = 0; i < PortCountOf(layout); ++i) {
            const PortInfo& p = PortOf(layout, i);
            float* audio = (p.role == PortRole::kAudioIn ? in : out).data() + p.channel * kTotal;
            connect(i, p.IsAudio() ? audio + first : &controls[i]);
        }
    }
    // Runs the schedule over the planar input; returns the planar output.
    std::vector<float> Render(const std::vector<float>& planar,
                              const std::vector<ParamValues>& perRun, const Connect& connect,
                              const RunFrames& run) {
        in = planar;
        for (size_t r = 0, first = 0; r < std::size(kRuns); first += kRuns[r++]) {
            for (int i = 0; i < kParamCount; ++i)
                At(PortRole::kParam, i) = PortValueOfParam(i, perRun[r][i]);
            ConnectAll(connect, static_cast<int>(first));
            run(kRuns[r]);
        }
        return out;
    }
    InputLayout layout;
    std::vector<float> controls, in = std::vector<float>(2 * kTotal),
                                 out = std::vector<float>(2 * kTotal);
};

// Compared as bits, so a NaN or a signed zero counts too.
bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), 4 * a.size()) == 0;
}

TEST(PortProcessor, ControlOutputsReportLatencyPeaksClipsAndThePhaseMeter) {
    CPortProcessor processor(InputLayout::kStereo, kRate);
    Ports ports(InputLayout::kStereo);
    processor.Activate();
    // Runs n frames of a tone of amplitude a in both channels.
    const auto tone = [&](float a, int n) {
        for (int i = 0; i < n; ++i) ports.in[i] = ports.in[kTotal + i] = a * std::sin(i * 0.05f);
        ports.ConnectAll([&](int i, float* p) { processor.ConnectPort(i, p); }, 0);
        processor.Run(n);
    };
    ports.At(PortRole::kParam, kParamFilter) = 1;
    tone(0.5f, kTotal);
    EXPECT_EQ(ports.At(PortRole::kLatency), kFirLatencyFrames);
    EXPECT_NEAR(ports.At(PortRole::kPeak, 1), -6.02, 0.05);  // half scale
    EXPECT_EQ(ports.At(PortRole::kClip, 1), 0.0f);
    EXPECT_EQ(ports.At(PortRole::kPhaseMeter), 0.0f);  // in phase

    ports.At(PortRole::kParam, kParamFilter) = 0;
    ports.At(PortRole::kParam, kParamPhase) = 180;  // one channel inverted
    tone(1.5f, kTotal);
    EXPECT_EQ(ports.At(PortRole::kLatency), 0.0f);
    EXPECT_GT(ports.At(PortRole::kPhaseMeter), 45.0f);
    // A clip shows for 225 ms of audio (three of the editor's ticks), then clears.
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(ports.At(PortRole::kClip, 0), 1.0f) << run;
        tone(0.0f, 2400);
    }
    EXPECT_EQ(ports.At(PortRole::kClip, 0), 1.0f);
    for (int run = 0; run < 3; ++run) tone(0.0f, kTotal);
    EXPECT_EQ(ports.At(PortRole::kClip, 0), 0.0f);
    EXPECT_LT(ports.At(PortRole::kPeak, 0), -60.0f);

    // Bypass: the input unchanged, no latency even with the FIR, the meters at rest.
    ports.At(PortRole::kParam, kParamFilter) = 1;
    ports.At(PortRole::kEnabled) = 0;
    tone(0.25f, 100);
    EXPECT_EQ(ports.At(PortRole::kLatency), 0.0f);
    EXPECT_EQ(std::memcmp(ports.out.data(), ports.in.data(), 100 * 4), 0);
    EXPECT_EQ(ports.At(PortRole::kPhaseMeter), 0.0f);
    EXPECT_EQ(ports.At(PortRole::kPeak, 1), kPeakFloorDb);
}

// The built library as a host loads and drives it: its output is the DirectShow plug-in's.
TEST(PluginLibrary, BothPlugInsRenderAsTheDirectShowBlockProcessorBitForBit) {
    void* library = dlopen(TW_LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(kInputLayoutCount), nullptr);
    const struct {
        InputLayout layout;
        std::vector<ParamValues> schedule;
    } cases[] = {
        {InputLayout::kStereo, Schedule(1, 0, 130, -20)},  // MS phase, all-pass
        {InputLayout::kStereo, Schedule(2, 1, 200, 60)},   // CS encode, FIR, clipping
        {InputLayout::kStereo, Schedule(3, 2, 70, kOutputSilence)},
        {InputLayout::kMono, Schedule(0, 2, 150, -61)},  // LR phase, precise
        {InputLayout::kMono, Schedule(1, 1, 140, -30)},
    };
    const std::vector<float> signal = TestSignal();
    for (const auto& c : cases) {
        const LV2_Descriptor* d = entry(static_cast<uint32_t>(c.layout));
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->URI, PluginUriOf(c.layout));
        const LV2_Feature* const none[] = {nullptr};
        LV2_Handle h = d->instantiate(d, kRate, "/bundle/", none);
        ASSERT_NE(h, nullptr);
        Ports ports(c.layout);
        d->activate(h);
        const auto out = ports.Render(
            signal, c.schedule, [&](int i, float* p) { d->connect_port(h, i, p); },
            [&](int n) { d->run(h, n); });
        EXPECT_EQ(ports.At(PortRole::kLatency), c.schedule[0][kParamFilter] == 1 ? kFirLatencyFrames : 0);
        EXPECT_TRUE(SameBits(out, ReferenceRender(c.layout, signal, c.schedule)))
            << d->URI << " mode " << c.schedule[0][kParamMode] << " filter "
            << c.schedule[0][kParamFilter];
        d->deactivate(h);
        d->cleanup(h);
    }
    dlclose(library);
}

}  // namespace
