// The LV2 plug-in's processing: the port processor against the DirectShow plug-in's block
// processor fed the same audio in the same blocks, its control outputs measured, and the built
// plug-in library driven through its descriptor in a host's order.
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include "engine/BlockProcessor.h"
#include "engine/ParamModel.h"
#include "engine/ParamValues.h"
#include "engine/PhaseKernels.h"
#include "lv2/PortProcessor.h"

namespace {

constexpr double kRate = 48000;

// Interleaved stereo test audio: two detuned tones and a little noise, loud enough to clip
// when widened.
std::vector<float> TestSignal(int frames) {
    std::vector<float> s(2 * frames);
    uint32_t noise = 12345;
    for (int i = 0; i < frames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
        s[2 * i] = static_cast<float>(0.6 * std::sin(i * 0.031) + n);
        s[2 * i + 1] = static_cast<float>(0.5 * std::sin(i * 0.047 + 1.0) - n);
    }
    return s;
}

// Port values by parameter, and every port a host connects, for one layout.
struct PortSet {
    explicit PortSet(InputLayout layout, int frames) : layout(layout), audio(4) {
        values.resize(PortCountOf(layout));
        for (int i = 0; i < PortCountOf(layout); ++i) values[i] = PortOf(layout, i).defaultValue;
        for (auto& a : audio) a.assign(frames, 0.0f);
    }
    float& Control(PortRole role, int channelOrParam = 0) {
        return values[PortIndexOf(layout, role, channelOrParam)];
    }
    void Set(const ParamValues& p) {
        for (int i = 0; i < kParamCount; ++i)
            Control(PortRole::kParam, i) = PortValueOfParam(i, p[i]);
    }
    // Calls connect(index, buffer) for every port; audio buffers start at frame `offset`.
    template <typename Connect>
    void ConnectAll(Connect connect, int offset) {
        int in = 0;
        for (int i = 0; i < PortCountOf(layout); ++i) {
            const PortInfo& port = PortOf(layout, i);
            if (port.role == PortRole::kAudioIn) connect(i, audio[in++].data() + offset);
            else if (port.role == PortRole::kAudioOut) connect(i, audio[2 + port.channel].data() + offset);
            else connect(i, &values[i]);
        }
    }
    InputLayout layout;
    std::vector<float> values;
    std::vector<std::vector<float>> audio;  // inputs 0 (and 1), outputs 2 and 3
};

// Runs of ragged lengths, one crossing the port processor's piece size.
const int kRuns[] = {1, 37, 512, CPortProcessor::kPieceFrames + 300, 64, 2000};

int TotalFrames() {
    int n = 0;
    for (int r : kRuns) n += r;
    return n;
}

// The DirectShow plug-in's path: its block processor with the parameters set before each block.
std::vector<float> ReferenceRender(InputLayout layout, const std::vector<float>& stereo,
                                   const std::vector<ParamValues>& perRun) {
    const uint16_t channels = layout == InputLayout::kMono ? 1 : 2;
    WaveFormat in = {kWaveFormatIeeeFloat, channels, 48000, 0, 0, 32, 0};
    WaveFormat out = in;
    out.nChannels = 2;
    CParamModel model;
    CBlockProcessor block(model);
    model.SetParams(kDefaultParams);
    block.StartStream(&in, &out);
    std::vector<float> input, output(stereo.size());
    for (size_t i = 0; i < stereo.size(); i += 2) {
        input.push_back(stereo[i]);
        if (channels == 2) input.push_back(stereo[i + 1]);
    }
    int first = 0;
    for (size_t r = 0; r < std::size(kRuns); ++r) {
        for (int i = 0; i < kParamCount; ++i) model.SetParam(i, perRun[r][i], false);
        int n = kRuns[r], m = kRuns[r];
        block.ProcessFloat(input.data() + first * channels, &n, output.data() + 2 * first, &m);
        first += kRuns[r];
    }
    return output;
}

ParamValues Params(int phase, int width, int output, Mode mode, QuadratureFilter filter) {
    ParamValues p = kDefaultParams;
    p[kParamPhase] = phase;
    p[kParamWidth] = width;
    p[kParamOutput] = output;
    p[kParamMode] = ParamValueOf(mode);
    p[kParamFilter] = ParamValueOf(filter);
    return p;
}

// The settings of each run: a fixed setting, or the phase stepping at every run boundary.
std::vector<ParamValues> Schedule(const ParamValues& p, bool stepPhase) {
    std::vector<ParamValues> runs(std::size(kRuns), p);
    if (stepPhase)
        for (size_t r = 0; r < runs.size(); ++r) runs[r][kParamPhase] = -170 + 67 * int(r);
    return runs;
}

// Drives a plug-in instance through its ports: connect, run, connect again at the next run's
// frames (as a host with a moving buffer does).
template <typename Connect, typename RunFn>
std::vector<float> PortRender(InputLayout layout, const std::vector<float>& stereo,
                              const std::vector<ParamValues>& perRun, PortSet& ports,
                              Connect connect, RunFn run) {
    const int total = TotalFrames();
    for (int i = 0; i < total; ++i) {
        ports.audio[0][i] = stereo[2 * i];
        if (layout == InputLayout::kStereo) ports.audio[1][i] = stereo[2 * i + 1];
    }
    int first = 0;
    for (size_t r = 0; r < std::size(kRuns); ++r) {
        ports.Set(perRun[r]);
        ports.ConnectAll(connect, first);
        run(kRuns[r]);
        first += kRuns[r];
    }
    std::vector<float> out(2 * total);
    for (int i = 0; i < total; ++i) {
        out[2 * i] = ports.audio[2][i];
        out[2 * i + 1] = ports.audio[3][i];
    }
    return out;
}

struct RenderCase {
    const char* name;
    InputLayout layout;
    ParamValues params;
    bool stepPhase;
};

const RenderCase kRenderCases[] = {
    {"iir ms", InputLayout::kStereo, Params(90, 130, -20, Mode::kMsPhase, QuadratureFilter::kAllpass), false},
    {"fir lr", InputLayout::kStereo, Params(-45, 200, 60, Mode::kLrPhase, QuadratureFilter::kFir), false},
    {"precise sc", InputLayout::kStereo, Params(135, 70, -61, Mode::kScEncode, QuadratureFilter::kPrecise), false},
    {"fir cs stepping", InputLayout::kStereo, Params(0, 100, 0, Mode::kCsEncode, QuadratureFilter::kFir), true},
    {"mono precise", InputLayout::kMono, Params(30, 150, 0, Mode::kLrPhase, QuadratureFilter::kPrecise), true},
    {"silent", InputLayout::kStereo, Params(10, 100, kOutputSilence, Mode::kLrPhase, QuadratureFilter::kAllpass), false},
};

// Bit-identical outputs, compared as bits so a NaN or a signed zero counts too.
void ExpectSameBits(const std::vector<float>& a, const std::vector<float>& b, const char* name) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        uint32_t x, y;
        std::memcpy(&x, &a[i], 4);
        std::memcpy(&y, &b[i], 4);
        ASSERT_EQ(x, y) << name << ": sample " << i;
    }
}

TEST(PortProcessor, OutputIsTheDirectShowBlockProcessorsBitForBit) {
    const std::vector<float> signal = TestSignal(TotalFrames());
    for (const RenderCase& c : kRenderCases) {
        const auto schedule = Schedule(c.params, c.stepPhase);
        CPortProcessor processor(c.layout, kRate);
        PortSet ports(c.layout, TotalFrames());
        processor.Activate();
        const auto out = PortRender(
            c.layout, signal, schedule, ports,
            [&](int i, float* p) { processor.ConnectPort(i, p); },
            [&](int n) { processor.Run(n); });
        ExpectSameBits(out, ReferenceRender(c.layout, signal, schedule), c.name);
    }
}

// Runs n frames of one tone (amplitude a) through a processor with the given settings.
void RunTone(CPortProcessor& processor, PortSet& ports, float a, int n) {
    for (int i = 0; i < n; ++i) ports.audio[0][i] = ports.audio[1][i] = a * std::sin(i * 0.05f);
    ports.ConnectAll([&](int i, float* p) { processor.ConnectPort(i, p); }, 0);
    processor.Run(n);
}

TEST(PortProcessor, ControlOutputsReportLatencyPeaksClipsAndThePhaseMeter) {
    constexpr int kFrames = 12000;
    CPortProcessor processor(InputLayout::kStereo, kRate);
    PortSet ports(InputLayout::kStereo, kFrames);
    processor.Activate();
    const auto latency = [&] { return ports.Control(PortRole::kLatency); };

    ports.Control(PortRole::kParam, kParamFilter) = 1;
    RunTone(processor, ports, 0.5f, kFrames);
    EXPECT_EQ(latency(), kFirLatencyFrames);
    // A tone at half scale in both channels: -6 dB peaks, in phase, no clip.
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(ports.Control(PortRole::kPeak, c), -6.02, 0.05);
        EXPECT_EQ(ports.Control(PortRole::kClip, c), 0.0f);
    }
    EXPECT_EQ(ports.Control(PortRole::kPhaseMeter), 0.0f);

    ports.Control(PortRole::kParam, kParamFilter) = 0;
    ports.Control(PortRole::kParam, kParamPhase) = 180;  // one channel inverted
    RunTone(processor, ports, 1.5f, kFrames);
    EXPECT_EQ(latency(), 0.0f);
    EXPECT_EQ(ports.Control(PortRole::kClip, 0), 1.0f);
    EXPECT_GT(ports.Control(PortRole::kPhaseMeter), 60.0f);
    // The clip is held for 225 ms of audio (three of the editor's ticks), then clears.
    RunTone(processor, ports, 0.0f, 2400);
    EXPECT_EQ(ports.Control(PortRole::kClip, 0), 1.0f);
    RunTone(processor, ports, 0.0f, 2400);
    EXPECT_EQ(ports.Control(PortRole::kClip, 0), 1.0f);
    RunTone(processor, ports, 0.0f, 12000);
    EXPECT_EQ(ports.Control(PortRole::kClip, 0), 0.0f);
    EXPECT_LT(ports.Control(PortRole::kPeak, 0), -60.0f);

    // Bypass: the input unchanged, no latency even with the FIR, meters at rest.
    ports.Control(PortRole::kParam, kParamFilter) = 1;
    ports.Control(PortRole::kEnabled) = 0;
    RunTone(processor, ports, 0.25f, 100);
    EXPECT_EQ(latency(), 0.0f);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(ports.audio[2][i], ports.audio[0][i]);
    EXPECT_EQ(ports.Control(PortRole::kPhaseMeter), 0.0f);
    EXPECT_EQ(ports.Control(PortRole::kPeak, 1), kPeakFloorDb);
}

// The built library, loaded as a host loads it.
TEST(PluginLibrary, HostOrderRunsBothPlugInsAsThePortProcessorDoes) {
    void* library = dlopen(TW_LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(kInputLayoutCount), nullptr);
    const std::vector<float> signal = TestSignal(TotalFrames());
    for (int l = 0; l < kInputLayoutCount; ++l) {
        const auto layout = static_cast<InputLayout>(l);
        const LV2_Descriptor* d = entry(l);
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->URI, PluginUriOf(layout));
        const LV2_Feature* none[] = {nullptr};
        LV2_Handle h = d->instantiate(d, kRate, "/nowhere/", none);
        ASSERT_NE(h, nullptr);
        PortSet ports(layout, TotalFrames());
        const auto params = Params(60, 140, -30, Mode::kMsPhase, QuadratureFilter::kFir);
        const auto schedule = Schedule(params, true);
        d->activate(h);
        const auto out = PortRender(
            layout, signal, schedule, ports, [&](int i, float* p) { d->connect_port(h, i, p); },
            [&](int n) { d->run(h, n); });
        EXPECT_EQ(ports.Control(PortRole::kLatency), kFirLatencyFrames);
        EXPECT_GT(ports.Control(PortRole::kPeak, 0), kPeakFloorDb);
        ExpectSameBits(out, ReferenceRender(layout, signal, schedule), d->URI);
        d->deactivate(h);
        d->cleanup(h);
    }
    dlclose(library);
}

}  // namespace
