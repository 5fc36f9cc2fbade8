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

#include "engine/AudioEngine.h"
#include "engine/FormatRules.h"
#include "engine/win/VxPlugInProp.h"
#include "framework/BaseFilter.h"
#include "framework/BaseInputPin.h"
#include "framework/BaseOutputPin.h"
#include "framework/ComPtr.h"
#include "framework/MediaType.h"
#include "framework/MemAllocator.h"
#include "tests/plugin/PlugInComSupport.h"
#include "tests/support/WineGraph.h"

namespace {

using namespace twtest;  // the Wine graph helpers

constexpr DWORD kRateHz = 44100;
constexpr DWORD kFrames = 22050;  // half a second
constexpr DWORD kCompletionTimeoutMs = 20000;
constexpr LONG kMinOutputBufferBytes = 512;

// Test-file formats: what the WAV file holds, as a WAVEFORMATEX would say.
WaveFormat FileFormat(WORD tag, WORD bits, WORD channels) {
    return MakeWaveFormat(tag, channels, kRateHz, bits);
}

// A media type for the format; the record owns its format block (FreeMediaType).
AM_MEDIA_TYPE AudioType(const WaveFormat& f) {
    AM_MEDIA_TYPE mt = {};
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.subtype.Data1 = f.wFormatTag;  // the wave-format subtypes carry the tag
    mt.formattype = FORMAT_WaveFormatEx;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = f.nBlockAlign;
    mt.cbFormat = sizeof(WAVEFORMATEX);
    mt.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(mt.cbFormat));
    std::memcpy(mt.pbFormat, &f, sizeof f);
    return mt;
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

// The engine on its own, set up the way the filter starts a stream: parameters, then
// ResetProcessor with the two formats, then the whole input in one block.
class ReferenceEngine : public CAudioEngine {
public:
    ReferenceEngine(const WaveFormat& input, const ParamValues& params)
        : input_(input), output_(StereoOutputOf(input)) {
        SetParams(params);
        ResetProcessor(&input_, &output_);
    }
    std::vector<BYTE> Process(const std::vector<BYTE>& in) {
        const int frames = static_cast<int>(in.size() / input_.nBlockAlign);
        std::vector<BYTE> out(static_cast<size_t>(frames) * output_.nBlockAlign);
        int inFrames = frames, outFrames = frames;
        if (input_.wFormatTag == WAVE_FORMAT_PCM) {
            std::vector<float> inScratch(static_cast<size_t>(frames) * input_.nChannels);
            std::vector<float> outScratch(static_cast<size_t>(frames) * 2);
            ProcessPcm16(reinterpret_cast<const int16_t*>(in.data()), frames,
                         reinterpret_cast<int16_t*>(out.data()), inScratch.data(),
                         outScratch.data());
        } else if (input_.wBitsPerSample == 32) {
            ProcessFloat(reinterpret_cast<const float*>(in.data()), &inFrames,
                         reinterpret_cast<float*>(out.data()), &outFrames);
        } else {
            ProcessDouble(reinterpret_cast<const double*>(in.data()), &inFrames,
                          reinterpret_cast<double*>(out.data()), &outFrames);
        }
        return out;
    }

private:
    WaveFormat input_;
    WaveFormat output_;
};

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

// A sink for 16-bit stereo PCM at the rates it is given, built on the framework. Its pin
// insists on its own allocator, which grants at most maxBufferBytes per buffer, and it
// records what QueryAccept was asked and how often a connection completed.
class CStereoSink : public CBaseFilter {
public:
    CStereoSink(std::vector<DWORD> acceptedRates, LONG maxBufferBytes);
    ~CStereoSink() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* PinInterface();
    IMemAllocator* OwnAllocator() const;

    const std::vector<DWORD> rates;
    const LONG maxBufferBytes;
    std::vector<WAVEFORMATEX> queried;
    int connections = 0;

private:
    CCritSec lock_;
    CBaseInputPin* pin_ = nullptr;
};

// Grants what is asked, but no more than a cap per buffer.
class CCappedAllocator : public CMemAllocator {
public:
    CCappedAllocator(LONG capBytes, HRESULT* hr)
        : CMemAllocator(L"capped allocator", nullptr, hr), cap_(capBytes) {}
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request,
                               ALLOCATOR_PROPERTIES* actual) override {
        if (!request) return E_POINTER;
        ALLOCATOR_PROPERTIES capped = *request;
        capped.cbBuffer = std::min(capped.cbBuffer, cap_);
        return CMemAllocator::SetProperties(&capped, actual);
    }

private:
    const LONG cap_;
};

class CStereoSinkPin : public CBaseInputPin {
public:
    CStereoSinkPin(CStereoSink* sink, CCritSec* lock, HRESULT* hr)
        : CBaseInputPin(L"stereo sink pin", sink, lock, hr, L"Sink"), sink_(sink) {
        auto* allocator = new CCappedAllocator(sink->maxBufferBytes, hr);
        allocator->NonDelegatingQueryInterface(IID_IMemAllocator, own_.PutVoid());
    }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
        if (mt->majortype != MEDIATYPE_Audio || !mt->pbFormat || mt->cbFormat < 16)
            return S_FALSE;
        const auto* f = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
        const bool rateAccepted =
            std::find(sink_->rates.begin(), sink_->rates.end(), f->nSamplesPerSec) !=
            sink_->rates.end();
        return f->wFormatTag == WAVE_FORMAT_PCM && f->wBitsPerSample == 16 &&
                       f->nChannels == 2 && f->nBlockAlign == 4 &&
                       f->nAvgBytesPerSec == f->nSamplesPerSec * 4 && rateAccepted
                   ? S_OK
                   : S_FALSE;
    }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override {
        if (mt && mt->pbFormat && mt->cbFormat >= 16) {
            WAVEFORMATEX f = {};
            std::memcpy(&f, mt->pbFormat, 16);
            sink_->queried.push_back(f);
        }
        return CBaseInputPin::QueryAccept(mt);
    }
    HRESULT CompleteConnect(IPin* peer) override {
        ++sink_->connections;
        return CBaseInputPin::CompleteConnect(peer);
    }
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override {
        if (!allocator) return E_POINTER;
        *allocator = own_.CopyOut();
        return S_OK;
    }
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override {
        if (allocator != own_.Get()) return E_FAIL;  // like a renderer that needs its own memory
        return CBaseInputPin::NotifyAllocator(allocator, readOnly);
    }

    ComPtr<IMemAllocator> own_;

private:
    CStereoSink* const sink_;
};

CStereoSink::CStereoSink(std::vector<DWORD> acceptedRates, LONG maxBufferBytes)
    : CBaseFilter(L"stereo sink", nullptr, &lock_, GUID_NULL),
      rates(std::move(acceptedRates)),
      maxBufferBytes(maxBufferBytes) {}

CStereoSink::~CStereoSink() { delete pin_; }

CBasePin* CStereoSink::GetPin(int n) {
    if (!pin_) {
        HRESULT hr = S_OK;
        pin_ = new CStereoSinkPin(this, &lock_, &hr);
    }
    return n == 0 ? pin_ : nullptr;
}

IPin* CStereoSink::PinInterface() { return static_cast<IPin*>(GetPin(0)); }

IMemAllocator* CStereoSink::OwnAllocator() const {
    return static_cast<CStereoSinkPin*>(pin_)->own_.Get();
}

// A one-pin source that the test drives, like a workstation's audio engine: it proposes its
// preferred format, takes any audio type it is connected with, and sends what Push gets in
// time-stamped buffers of a fixed size, then the end of the stream.
class CPushSource : public CBaseFilter {
public:
    CPushSource(const WaveFormat& preferred, LONG bufferBytes);
    ~CPushSource() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* PinInterface() { return static_cast<IPin*>(GetPin(0)); }
    // Test thread, while the graph runs.
    HRESULT Push(const std::vector<BYTE>& data);

    const WaveFormat preferred;
    const LONG bufferBytes;

private:
    CCritSec lock_;
    CBaseOutputPin* pin_ = nullptr;
};

class CPushSourcePin : public CBaseOutputPin {
public:
    CPushSourcePin(CPushSource* source, CCritSec* lock, HRESULT* hr)
        : CBaseOutputPin(L"push source pin", source, lock, hr, L"Out"), source_(source) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
        return mt->majortype == MEDIATYPE_Audio && mt->pbFormat && mt->cbFormat >= 16 ? S_OK
                                                                                      : S_FALSE;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt) override {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *mt = AudioType(source_->preferred);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override {
        ALLOCATOR_PROPERTIES request = *props, granted = {};
        request.cBuffers = 4;
        request.cbBuffer = source_->bufferBytes;
        request.cbAlign = 1;
        return allocator->SetProperties(&request, &granted);
    }

private:
    CPushSource* const source_;
};

CPushSource::CPushSource(const WaveFormat& preferredFormat, LONG bytes)
    : CBaseFilter(L"push source", nullptr, &lock_, GUID_NULL),
      preferred(preferredFormat),
      bufferBytes(bytes) {}

CPushSource::~CPushSource() { delete pin_; }

CBasePin* CPushSource::GetPin(int n) {
    if (!pin_) {
        HRESULT hr = S_OK;
        pin_ = new CPushSourcePin(this, &lock_, &hr);
    }
    return n == 0 ? pin_ : nullptr;
}

HRESULT CPushSource::Push(const std::vector<BYTE>& data) {
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(pin_->CurrentMediaType().pbFormat);
    if (!f) return VFW_E_NOT_CONNECTED;
    const size_t frameBytes = f->nBlockAlign;
    const size_t chunkBytes = bufferBytes / frameBytes * frameBytes;
    LONGLONG frame = 0;
    for (size_t offset = 0; offset < data.size(); offset += chunkBytes) {
        const size_t bytes = std::min(chunkBytes, data.size() - offset);
        ComPtr<IMediaSample> sample;
        HRESULT hr = pin_->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        std::memcpy(p, data.data() + offset, bytes);
        sample->SetActualDataLength(static_cast<long>(bytes));
        const LONGLONG frames = static_cast<LONGLONG>(bytes / frameBytes);
        REFERENCE_TIME start = frame * 10000000 / f->nSamplesPerSec;
        REFERENCE_TIME stop = (frame + frames) * 10000000 / f->nSamplesPerSec;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(offset == 0);
        frame += frames;
        hr = pin_->Deliver(sample.Get());
        if (hr != S_OK) return hr;
    }
    return pin_->DeliverEndOfStream();
}

// The plug-in in a graph of its own; the test adds the peers. Every reference is gone at
// the end, in the DLL and among the framework objects the test made.
class PlugInGraph : public twtest::PlugInComTest {
protected:
    void SetUp() override {
        PlugInComTest::SetUp();
        if (HasFatalFailure()) return;
        frameworkObjects_ = CBaseObject::ObjectsActive();
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IGraphBuilder, graph_.PutVoid()));
        plugIn_ = CreatePlugIn();
        ASSERT_TRUE(plugIn_);
        ASSERT_EQ(S_OK, plugIn_.As(IID_IVxPlugInProp, &prop_));
        ASSERT_EQ(S_OK, graph_->AddFilter(plugIn_.Get(), L"tw:Phase"));
        ASSERT_EQ(S_OK, plugIn_->FindPin(L"In", plugInIn_.Put()));
        ASSERT_EQ(S_OK, plugIn_->FindPin(L"Out", plugInOut_.Put()));
    }
    void TearDown() override {
        ResetAll(plugInIn_, plugInOut_, prop_, graph_);
        // The graph let go of every filter: only the test's references are left.
        for (CBaseFilter* peer : peers_) EXPECT_EQ(0u, peer->NonDelegatingRelease());
        if (plugIn_) {
            EXPECT_EQ(0u, plugIn_.Detach()->Release());
        }
        EXPECT_EQ(frameworkObjects_, CBaseObject::ObjectsActive());
        PlugInComTest::TearDown();
    }

    // Adds a framework filter the test made; the test keeps one reference of its own.
    template <typename Filter>
    Filter* Add(Filter* filter, const WCHAR* name) {
        filter->NonDelegatingAddRef();
        peers_.push_back(filter);
        EXPECT_EQ(S_OK, graph_->AddFilter(static_cast<IBaseFilter*>(filter), name));
        return filter;
    }
    HRESULT RunToCompletion(CPushSource* pushing, const std::vector<BYTE>& data) {
        GraphRun run(graph_.Get());
        if (pushing) {
            EXPECT_EQ(S_OK, pushing->Push(data));
        }
        const HRESULT hr = run.WaitForCompletion(kCompletionTimeoutMs);
        EXPECT_EQ(S_OK, run.Stop());
        return hr;
    }

    ComPtr<IGraphBuilder> graph_;
    ComPtr<IBaseFilter> plugIn_;
    ComPtr<IVxPlugInProp> prop_;
    ComPtr<IPin> plugInIn_;
    ComPtr<IPin> plugInOut_;
    std::vector<CBaseFilter*> peers_;
    LONG frameworkObjects_ = 0;
};

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
                   {{-150, 80, -10, 0, 0, 0}}, true}),
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

}  // namespace
