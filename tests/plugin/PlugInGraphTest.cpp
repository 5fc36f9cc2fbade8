// The plug-in made by CoCreateInstance inside Wine's filter graph: audio through the plug-in
// into Sample Grabber → Null Renderer must come out as the engine computes it directly (WAV
// files from File Source (Async) → WAVE Parser, which describes float files as
// WAVE_FORMAT_EXTENSIBLE, and plain float from a pushing source); which extensible types the
// input takes; buffer sizing against the upstream and downstream allocators; and the input
// format change that makes the graph reconnect the output.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>
#include <mmreg.h>

#include "automation/win/MediaParamsInterfaces.h"
#include "base/win/ComPtr.h"
#include "engine/FormatRules.h"
#include "engine/win/VxPlugInProp.h"
#include "framework/BaseFilter.h"
#include "framework/BaseInputPin.h"
#include "framework/BaseOutputPin.h"
#include "framework/MediaType.h"
#include "framework/MemAllocator.h"
#include "tests/plugin/PlugInComSupport.h"
#include "tests/plugin/PlugInTestPeers.h"
#include "tests/support/WineGraph.h"

namespace {

using namespace twtest;  // the Wine graph helpers

constexpr DWORD kRateHz = 44100;
constexpr DWORD kFrames = 22050;  // half a second
constexpr LONG kMinOutputBufferBytes = 512;

// Test-file formats: what the WAV file holds, as a WAVEFORMATEX would say.
WaveFormat FileFormat(WORD tag, WORD bits, WORD channels) {
    return MakeWaveFormat(tag, channels, kRateHz, bits);
}

WaveFormat Pcm16(WORD channels, DWORD rate) {
    return MakeWaveFormat(WAVE_FORMAT_PCM, channels, rate, 16);
}

// Two tones per channel, loud enough for the wider settings to clip 16-bit output now and then.
std::vector<BYTE> TestSignal(const WaveFormat& f) {
    std::vector<BYTE> data(static_cast<size_t>(kFrames) * f.nBlockAlign);
    const double pi = 3.14159265358979323846;
    BYTE* p = data.data();
    for (DWORD i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRateHz;
        const double channel[2] = {
            0.7 * std::sin(2 * pi * 440 * t) + 0.25 * std::sin(2 * pi * 5000 * t),
            0.6 * std::sin(2 * pi * 660 * t + 1.0) - 0.3 * std::sin(2 * pi * 90 * t)};
        for (int c = 0; c < f.nChannels; ++c) {
            if (f.wFormatTag == WAVE_FORMAT_PCM) {
                const int16_t v = static_cast<int16_t>(std::lround(channel[c] * 32767));
                std::memcpy(p, &v, 2);
            } else if (f.wBitsPerSample == 32) {
                const float v = static_cast<float>(channel[c]);
                std::memcpy(p, &v, 4);
            } else {
                std::memcpy(p, &channel[c], 8);
            }
            p += f.wBitsPerSample / 8;
        }
    }
    return data;
}

// A WAV file of the format and data in the temp folder; its path.
std::wstring WriteWave(const WaveFormat& f, const std::vector<BYTE>& data) {
    static_assert(sizeof(WaveFormat) == sizeof(WAVEFORMATEX), "the same record");
    WAVEFORMATEX format;
    std::memcpy(&format, &f, sizeof format);
    return twtest::WriteWave(format, data);
}

// The properties of the allocator an input pin agreed on.
ALLOCATOR_PROPERTIES AllocatorOf(IPin* inputPin) {
    ALLOCATOR_PROPERTIES props = {};
    ComPtr<IMemInputPin> transport;
    ComPtr<IMemAllocator> allocator;
    if (SUCCEEDED(inputPin->QueryInterface(IID_IMemInputPin, transport.PutVoid())) &&
        SUCCEEDED(transport->GetAllocator(allocator.Put())))
        allocator->GetProperties(&props);
    return props;
}

// The plain format a pin's connection stands for and whether it is extensible (whose valid
// bits, channel mask and subformat then go to *extensible); nChannels 0 when it has none.
WAVEFORMATEX PlainConnectionFormat(IPin* pin, WAVEFORMATEXTENSIBLE* extensible) {
    WAVEFORMATEX f = {};
    *extensible = {};
    AM_MEDIA_TYPE mt = {};
    if (pin->ConnectionMediaType(&mt) != S_OK) return f;
    WaveFormat plain = {};
    if (PlainFormatOfBlock(mt.pbFormat, mt.cbFormat, &plain)) std::memcpy(&f, &plain, 16);
    if (mt.cbFormat >= sizeof(WAVEFORMATEXTENSIBLE) &&
        reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat)->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
        std::memcpy(extensible, mt.pbFormat, sizeof(WAVEFORMATEXTENSIBLE));
    FreeMediaType(mt);
    return f;
}

// The format of a pin's connection; nChannels 0 when it has none.
WAVEFORMATEX ConnectionFormat(IPin* pin, AM_MEDIA_TYPE* typeOut = nullptr) {
    WAVEFORMATEX f = {};
    AM_MEDIA_TYPE mt = {};
    if (pin->ConnectionMediaType(&mt) != S_OK) return f;
    if (mt.pbFormat && mt.cbFormat >= 16) std::memcpy(&f, mt.pbFormat, 16);
    if (typeOut) {
        *typeOut = mt;
    } else {
        FreeMediaType(mt);
    }
    return f;
}

void ExpectStereoOf(const WaveFormat& in, const WAVEFORMATEX& out) {
    EXPECT_EQ(in.wFormatTag, out.wFormatTag);
    EXPECT_EQ(2, out.nChannels);
    EXPECT_EQ(in.nSamplesPerSec, out.nSamplesPerSec);
    EXPECT_EQ(in.wBitsPerSample, out.wBitsPerSample);
    EXPECT_EQ(in.wBitsPerSample / 8 * 2, out.nBlockAlign);
    EXPECT_EQ(in.nSamplesPerSec * out.nBlockAlign, out.nAvgBytesPerSec);
}

void SetThroughInterface(IVxPlugInProp* prop, const ParamValues& p) {
    EXPECT_EQ(S_OK, prop->SetPhase(p[kParamPhase], FALSE));
    EXPECT_EQ(S_OK, prop->SetWidth(p[kParamWidth], FALSE));
    EXPECT_EQ(S_OK, prop->SetOutput(p[kParamOutput], FALSE));
    EXPECT_EQ(S_OK, prop->SetMode(p[kParamMode], FALSE));
    EXPECT_EQ(S_OK, prop->SetMeterPost(p[kParamMeterPost], FALSE));
    EXPECT_EQ(S_OK, prop->SetFilter(p[kParamFilter], FALSE));
    ParamValues read = {};
    EXPECT_EQ(S_OK, prop->GetParams(&read));
    EXPECT_EQ(p, read);
}

// --- Real peers ------------------------------------------------------------------------------

struct StreamCase {
    const char* name;
    WORD tag, bits, channels;
    ParamValues params;
    bool fromWaveParser;  // else from the pushing source, in the plain format
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class StreamThroughPlugIn : public PlugInGraph,
                            public ::testing::WithParamInterface<StreamCase> {};

// Wine's WAVE Parser offers float files as WAVE_FORMAT_EXTENSIBLE: the plug-in takes them as
// the plain format and delivers extensible too, with the stereo channel mask.
TEST_P(StreamThroughPlugIn, OutputEqualsTheEnginesDirectOutput) {
    const StreamCase& c = GetParam();
    const WaveFormat format = FileFormat(c.tag, c.bits, c.channels);
    const std::vector<BYTE> input = TestSignal(format);
    SetThroughInterface(prop_.Get(), c.params);

    std::wstring path;
    CPushSource* pushing = nullptr;
    ComPtr<IPin> upstream;
    if (c.fromWaveParser) {
        path = WriteWave(format, input);
        upstream = AddWaveFile(graph_.Get(), path);
    } else {
        pushing = Add(new CPushSource(format, 4096), L"Source");
        upstream = ComPtr<IPin>(pushing->PinInterface());
    }
    ASSERT_TRUE(upstream);
    IBaseFilter* grabber = AddWine(graph_.Get(), kSampleGrabber, L"Grabber");
    IBaseFilter* renderer = AddWine(graph_.Get(), kNullRenderer, L"Renderer");
    ASSERT_TRUE(grabber && renderer);
    CGrabberCallback callback;
    ASSERT_EQ(S_OK, callback.Attach(grabber));
    const ComPtr<IPin> grabberIn = PinOf(grabber, PINDIR_INPUT);
    const ComPtr<IPin> grabberOut = PinOf(grabber, PINDIR_OUTPUT);
    const ComPtr<IPin> rendererIn = PinOf(renderer, PINDIR_INPUT);
    ASSERT_TRUE(grabberIn && grabberOut && rendererIn);

    ASSERT_EQ(S_OK, graph_->ConnectDirect(upstream.Get(), plugInIn_.Get(), nullptr));
    ASSERT_EQ(S_OK, graph_->ConnectDirect(plugInOut_.Get(), grabberIn.Get(), nullptr));
    ASSERT_EQ(S_OK, graph_->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr));

    AM_MEDIA_TYPE outputType = {};
    ConnectionFormat(grabberIn.Get(), &outputType);
    EXPECT_EQ(MEDIATYPE_Audio, outputType.majortype);
    FreeMediaType(outputType);
    WAVEFORMATEXTENSIBLE inputExtensible = {}, outputExtensible = {};
    const WAVEFORMATEX plainInput = PlainConnectionFormat(plugInIn_.Get(), &inputExtensible);
    EXPECT_EQ(0, std::memcmp(&format, &plainInput, 16));
    ExpectStereoOf(format, PlainConnectionFormat(grabberIn.Get(), &outputExtensible));
    const bool extensible = inputExtensible.Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
    EXPECT_EQ(c.fromWaveParser && c.tag == WAVE_FORMAT_IEEE_FLOAT, extensible);
    EXPECT_EQ(inputExtensible.Format.wFormatTag, outputExtensible.Format.wFormatTag);
    if (extensible) {
        EXPECT_EQ(inputExtensible.SubFormat, outputExtensible.SubFormat);
        EXPECT_EQ(c.bits, outputExtensible.Samples.wValidBitsPerSample);
        EXPECT_EQ(DWORD{SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT}, outputExtensible.dwChannelMask);
    }
    WAVEFORMATEX engineOutput = {};
    EXPECT_EQ(S_OK, prop_->GetFormat(1, &engineOutput));
    ExpectStereoOf(format, engineOutput);

    // One input buffer's frames fit one output buffer: mono input doubles the size.
    const ALLOCATOR_PROPERTIES upstreamProps = AllocatorOf(plugInIn_.Get());
    const ALLOCATOR_PROPERTIES downstreamProps = AllocatorOf(grabberIn.Get());
    ASSERT_GT(upstreamProps.cbBuffer, 0);
    EXPECT_EQ(upstreamProps.cbBuffer * (c.channels == 1 ? 2 : 1), downstreamProps.cbBuffer);
    EXPECT_EQ(upstreamProps.cBuffers, downstreamProps.cBuffers);

    EXPECT_EQ(S_OK, RunToCompletion(pushing, input));
    ReferenceEngine engine(format, c.params);
    const std::vector<BYTE> expected = engine.Process(input);
    {
        std::lock_guard<std::mutex> guard(callback.lock);
        ASSERT_EQ(expected.size(), callback.data.size());
        const auto mismatch =
            std::mismatch(expected.begin(), expected.end(), callback.data.begin());
        EXPECT_TRUE(mismatch.first == expected.end())
            << "first difference at output byte " << (mismatch.first - expected.begin());
    }

    callback.Detach();
    if (!path.empty()) DeleteFileW(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, StreamThroughPlugIn,
    ::testing::Values(
        StreamCase{"Pcm16Mono_Ms_Iir", WAVE_FORMAT_PCM, 16, 1, {{60, 150, 0, 1, 1, 0}}, true},
        StreamCase{"Pcm16Stereo_Ms_Fir", WAVE_FORMAT_PCM, 16, 2, {{60, 150, -30, 1, 1, 1}}, true},
        StreamCase{"Float32Stereo_Lr_Fir", WAVE_FORMAT_IEEE_FLOAT, 32, 2, {{-90, 50, 0, 0, 0, 1}},
                   false},
        StreamCase{"Float64Mono_Cs_Iir", WAVE_FORMAT_IEEE_FLOAT, 64, 1, {{120, 200, 20, 2, 1, 0}},
                   false},
        StreamCase{"Float32Stereo_Ms_Fir_Parser", WAVE_FORMAT_IEEE_FLOAT, 32, 2,
                   {{45, 120, 0, 1, 1, 1}}, true},
        StreamCase{"Float64Mono_Lr_Iir_Parser", WAVE_FORMAT_IEEE_FLOAT, 64, 1,
                   {{-150, 80, -10, 0, 0, 0}}, true},
        StreamCase{"Float32Stereo_Lr_Precise", WAVE_FORMAT_IEEE_FLOAT, 32, 2,
                   {{90, 100, 0, 0, 1, 2}}, false},
        StreamCase{"Pcm16Stereo_Ms_Precise_Parser", WAVE_FORMAT_PCM, 16, 2,
                   {{-60, 140, -20, 1, 0, 2}}, true}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

// An extensible input is taken when it stands for a plain format the plug-in processes: the
// PCM or IEEE float subformat, valid bits filling the container, a block long enough for the
// extensible fields as its cbSize says (longer blocks are fine).
TEST_F(PlugInGraph, ExtensibleInputTypesAreTakenOnlyAsAPlainFormatThePlugInProcesses) {
    const GUID kPcm = {WAVE_FORMAT_PCM, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    const GUID kFloat = {WAVE_FORMAT_IEEE_FLOAT, 0x0000, 0x0010,
                         {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    const GUID kOther = {WAVE_FORMAT_IEEE_FLOAT, 0x0000, 0x0010,
                         {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x70}};
    const struct {
        const char* name;
        GUID subFormat;
        WORD bits, validBits, channels, cbSize;
        ULONG cbFormat;
        HRESULT accepted;
    } cases[] = {
        {"float 32 stereo", kFloat, 32, 32, 2, 22, 40, S_OK},
        {"pcm 16 mono", kPcm, 16, 16, 1, 22, 40, S_OK},
        {"longer block", kFloat, 32, 32, 2, 30, 48, S_OK},
        {"pcm 24", kPcm, 24, 24, 2, 22, 40, S_FALSE},
        {"12 valid bits of 16", kPcm, 16, 12, 2, 22, 40, S_FALSE},
        {"no valid bits", kFloat, 32, 0, 2, 22, 40, S_FALSE},
        {"3 channels", kFloat, 32, 32, 3, 22, 40, S_FALSE},
        {"other subformat", kOther, 32, 32, 2, 22, 40, S_FALSE},
        {"cbSize 21", kFloat, 32, 32, 2, 21, 40, S_FALSE},
        {"block of 39 bytes", kFloat, 32, 32, 2, 22, 39, S_FALSE},
    };
    for (const auto& c : cases) {
        std::vector<BYTE> block(std::max<ULONG>(c.cbFormat, sizeof(WAVEFORMATEXTENSIBLE)));
        auto* f = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(block.data());
        const WaveFormat plain = MakeWaveFormat(WAVE_FORMAT_EXTENSIBLE, c.channels, kRateHz, c.bits);
        std::memcpy(&f->Format, &plain, sizeof plain);
        f->Format.cbSize = c.cbSize;
        f->Samples.wValidBitsPerSample = c.validBits;
        f->dwChannelMask = c.channels == 1 ? SPEAKER_FRONT_CENTER : SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
        f->SubFormat = c.subFormat;
        AM_MEDIA_TYPE mt = {};
        mt.majortype = MEDIATYPE_Audio;
        mt.subtype = c.subFormat;
        mt.formattype = FORMAT_WaveFormatEx;
        mt.cbFormat = c.cbFormat;
        mt.pbFormat = block.data();
        EXPECT_EQ(c.accepted, plugInIn_->QueryAccept(&mt)) << c.name;
    }
}

// A host saves the state with its project and loads it into a new instance: every filter,
// the precise one too, comes back as it was saved.
TEST_F(PlugInGraph, SavedStatesReloadEveryFilter) {
    for (QuadratureFilter f :
         {QuadratureFilter::kAllpass, QuadratureFilter::kFir, QuadratureFilter::kPrecise}) {
        const int32_t filter = ParamValueOf(f);
        const ParamValues state = {{-45, 180, -120, 2, 0, filter}};
        SetThroughInterface(prop_.Get(), state);
        ComPtr<IPersistStream> save, load;
        ComPtr<IStream> stream;
        ASSERT_EQ(S_OK, plugIn_.As(IID_IPersistStream, &save));
        ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
        ASSERT_EQ(S_OK, save->Save(stream.Get(), TRUE));

        ComPtr<IBaseFilter> other = CreatePlugIn();
        ComPtr<IVxPlugInProp> otherProp;
        ASSERT_EQ(S_OK, other.As(IID_IPersistStream, &load));
        ASSERT_EQ(S_OK, other.As(IID_IVxPlugInProp, &otherProp));
        const LARGE_INTEGER zero = {};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        ASSERT_EQ(S_OK, load->Load(stream.Get()));
        ParamValues loaded = {};
        EXPECT_EQ(S_OK, otherProp->GetParams(&loaded));
        EXPECT_EQ(state, loaded) << "filter " << filter;
    }
}

// --- Buffer sizing and reconnection with framework peers ------------------------------------

// The pushing source's allocator holds buffers of this size upstream of the plug-in.
constexpr LONG kSourceBufferBytes = 1024;

class PlugInBetweenTestPeers : public PlugInGraph {
protected:
    void AddPeers(std::vector<DWORD> sinkRates, LONG sinkMaxBufferBytes = 1 << 20) {
        source_ = Add(new CPushSource(Pcm16(1, kRateHz), kSourceBufferBytes), L"Source");
        sink_ = Add(new CStereoSink(std::move(sinkRates), sinkMaxBufferBytes), L"Sink");
    }
    HRESULT ConnectInput(WORD channels, DWORD rate) {
        AM_MEDIA_TYPE type = AudioType(Pcm16(channels, rate));
        const HRESULT hr = graph_->ConnectDirect(source_->PinInterface(), plugInIn_.Get(), &type);
        FreeMediaType(type);
        return hr;
    }
    HRESULT ConnectOutput() {
        return graph_->ConnectDirect(plugInOut_.Get(), sink_->PinInterface(), nullptr);
    }
    void DisconnectInput() {
        EXPECT_EQ(S_OK, graph_->Disconnect(source_->PinInterface()));
        EXPECT_EQ(S_OK, graph_->Disconnect(plugInIn_.Get()));
    }
    void DisconnectOutput() {
        EXPECT_EQ(S_OK, graph_->Disconnect(plugInOut_.Get()));
        EXPECT_EQ(S_OK, graph_->Disconnect(sink_->PinInterface()));
    }
    ALLOCATOR_PROPERTIES Granted() {
        ALLOCATOR_PROPERTIES props = {};
        sink_->OwnAllocator()->GetProperties(&props);
        return props;
    }
    bool Connected(IPin* pin) {
        ComPtr<IPin> peer;
        return pin->ConnectedTo(peer.Put()) == S_OK;
    }

    CPushSource* source_ = nullptr;
    CStereoSink* sink_ = nullptr;
};

TEST_F(PlugInBetweenTestPeers, OutputBuffersFollowTheUpstreamBuffersDoubledForMono) {
    AddPeers({kRateHz});
    ASSERT_EQ(S_OK, ConnectInput(1, kRateHz));
    ASSERT_EQ(S_OK, ConnectOutput());
    EXPECT_EQ(kSourceBufferBytes, AllocatorOf(plugInIn_.Get()).cbBuffer);
    EXPECT_EQ(2 * kSourceBufferBytes, Granted().cbBuffer);
    EXPECT_EQ(4, Granted().cBuffers);

    DisconnectOutput();
    DisconnectInput();
    ASSERT_EQ(S_OK, ConnectInput(2, kRateHz));
    ASSERT_EQ(S_OK, ConnectOutput());
    EXPECT_EQ(kSourceBufferBytes, Granted().cbBuffer);
}

// The sink takes no allocator but its own, so the plug-in cannot fall back to one of its own.
TEST_F(PlugInBetweenTestPeers, DownstreamAllocatorGrantingUnder512BytesRefusesTheConnection) {
    AddPeers({kRateHz}, kMinOutputBufferBytes - 1);
    ASSERT_EQ(S_OK, ConnectInput(1, kRateHz));
    EXPECT_TRUE(FAILED(ConnectOutput()));
    EXPECT_FALSE(Connected(plugInOut_.Get()));
    EXPECT_FALSE(Connected(sink_->PinInterface()));
}

TEST_F(PlugInBetweenTestPeers, DownstreamAllocatorGrantingExactly512BytesIsEnough) {
    AddPeers({kRateHz}, kMinOutputBufferBytes);
    ASSERT_EQ(S_OK, ConnectInput(2, kRateHz));
    ASSERT_EQ(S_OK, ConnectOutput());
    EXPECT_EQ(kMinOutputBufferBytes, Granted().cbBuffer);
}

TEST_F(PlugInBetweenTestPeers, NewInputRateReconnectsTheOutputWhenDownstreamAcceptsIt) {
    AddPeers({44100, 48000});
    ASSERT_EQ(S_OK, ConnectInput(1, 48000));
    ASSERT_EQ(S_OK, ConnectOutput());
    EXPECT_EQ(48000u, ConnectionFormat(plugInOut_.Get()).nSamplesPerSec);
    EXPECT_EQ(1, sink_->connections);

    // Stereo at the same rate fits the output as it is: no reconnection.
    DisconnectInput();
    ASSERT_EQ(S_OK, ConnectInput(2, 48000));
    EXPECT_EQ(1, sink_->connections);

    DisconnectInput();
    sink_->queried.clear();
    ASSERT_EQ(S_OK, ConnectInput(1, 44100));
    ASSERT_FALSE(sink_->queried.empty()) << "the input pin asks downstream first";
    const WAVEFORMATEX asked = sink_->queried.front();
    EXPECT_EQ(44100u, asked.nSamplesPerSec);
    EXPECT_EQ(2, asked.nChannels);
    EXPECT_EQ(4, asked.nBlockAlign);
    EXPECT_EQ(4u * 44100, asked.nAvgBytesPerSec);

    // Reconnected while upstream had not sized its buffers yet: still a usable allocator.
    EXPECT_EQ(2, sink_->connections);
    EXPECT_GE(Granted().cbBuffer, kMinOutputBufferBytes);
    EXPECT_GE(Granted().cBuffers, 1);
    const WaveFormat expected = Pcm16(1, 44100);
    ExpectStereoOf(expected, ConnectionFormat(plugInOut_.Get()));
    ExpectStereoOf(expected, ConnectionFormat(sink_->PinInterface()));
    WAVEFORMATEX engineOutput = {};
    EXPECT_EQ(S_OK, prop_->GetFormat(1, &engineOutput));
    ExpectStereoOf(expected, engineOutput);
}

TEST_F(PlugInBetweenTestPeers, NewInputRateIsRefusedWhenDownstreamCannotFollow) {
    AddPeers({48000});
    ASSERT_EQ(S_OK, ConnectInput(1, 48000));
    ASSERT_EQ(S_OK, ConnectOutput());
    DisconnectInput();

    sink_->queried.clear();
    EXPECT_TRUE(FAILED(ConnectInput(1, 44100)));
    ASSERT_FALSE(sink_->queried.empty());
    EXPECT_EQ(44100u, sink_->queried.front().nSamplesPerSec);
    EXPECT_FALSE(Connected(plugInIn_.Get()));
    EXPECT_FALSE(Connected(source_->PinInterface()));
    // The output connection is left as it was, and the old rate still connects.
    EXPECT_EQ(48000u, ConnectionFormat(plugInOut_.Get()).nSamplesPerSec);
    EXPECT_EQ(1, sink_->connections);
    EXPECT_EQ(S_OK, ConnectInput(1, 48000));
}

// A host's automation switches among the three filters mid-stream, in a host's order: it
// learns Filter as an enumeration of three, writes jump segments through IMediaParams, then
// runs the graph. From each switch on the output is the engine's with that filter, its state
// carried on.
TEST_F(PlugInBetweenTestPeers, AutomationSwitchesAmongTheThreeFiltersMidStream) {
    AddPeers({kRateHz});
    ASSERT_EQ(S_OK, ConnectInput(2, kRateHz));
    ASSERT_EQ(S_OK, ConnectOutput());
    const ParamValues start = {{90, 100, 0, 0, 1, 0}};
    SetThroughInterface(prop_.Get(), start);

    ComPtr<IMediaParamInfo> info;
    ComPtr<IMediaParamsSdk> params;
    ASSERT_EQ(S_OK, plugIn_.As(IID_IMediaParamInfo, &info));
    ASSERT_EQ(S_OK, plugIn_.As(IID_IMediaParams, &params));
    MP_PARAMINFO filterInfo = {};
    ASSERT_EQ(S_OK, info->GetParamInfo(kParamFilter, &filterInfo));
    EXPECT_EQ(MPT_ENUM, filterInfo.mpType);
    EXPECT_EQ(2.0f, filterInfo.mpdMaxValue);
    ASSERT_EQ(S_OK, params->SetTimeFormat(GUID_TIME_REFERENCE, 0));

    // Each switch lands a little before the start of a buffer, which is the first to hear it.
    const LONG bufferFrames = kSourceBufferBytes / 4;
    const struct {
        size_t buffer;
        int32_t filter;
    } switches[] = {{14, 2}, {28, 1}, {42, 2}, {56, 0}, {70, 2}};
    for (const auto& sw : switches) {
        const REFERENCE_TIME at =
            REFERENCE_TIME(sw.buffer) * bufferFrames * 10000000 / kRateHz - 1000;
        MP_ENVELOPE_SEGMENT jump = {at, at, float(sw.filter), float(sw.filter), MP_CURVE_JUMP, 0};
        ASSERT_EQ(S_OK, params->AddEnvelope(kParamFilter, 1, &jump));
    }

    const std::vector<BYTE> input = TestSignal(Pcm16(2, kRateHz));
    {
        GraphRun run(graph_.Get());  // the sink takes each buffer on the pushing thread
        EXPECT_EQ(S_OK, source_->Push(input));
        EXPECT_EQ(S_OK, run.Stop());
    }
    ReferenceEngine engine(Pcm16(2, kRateHz), start);
    std::vector<BYTE> expected;
    const size_t bufferBytes = kSourceBufferBytes;
    for (size_t offset = 0, buffer = 0; offset < input.size(); offset += bufferBytes, ++buffer) {
        for (const auto& sw : switches)
            if (sw.buffer == buffer) engine.SetParam(kParamFilter, sw.filter);
        const auto from = input.begin() + static_cast<std::ptrdiff_t>(offset);
        const size_t bytes = std::min(bufferBytes, input.size() - offset);
        const std::vector<BYTE> out =
            engine.Process(std::vector<BYTE>(from, from + static_cast<std::ptrdiff_t>(bytes)));
        expected.insert(expected.end(), out.begin(), out.end());
    }
    ASSERT_EQ(expected.size(), sink_->data.size());
    const auto mismatch = std::mismatch(expected.begin(), expected.end(), sink_->data.begin());
    EXPECT_TRUE(mismatch.first == expected.end())
        << "first difference in buffer " << (mismatch.first - expected.begin()) / bufferBytes;
    MP_DATA last = -1;
    EXPECT_EQ(S_OK, params->GetParam(kParamFilter, &last));
    EXPECT_EQ(2.0f, last);
}

}  // namespace
