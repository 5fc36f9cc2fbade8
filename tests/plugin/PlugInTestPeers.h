// What the tests of the plug-in in a filter graph share: the plug-in alone in a graph of its
// own, peers built on the framework that the test drives (a pushing source, a stereo sink that
// records what arrives), media types for plain formats, and the engine run directly for the
// output the plug-in must deliver.
#pragma once
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>

#include "base/win/ComPtr.h"
#include "engine/BlockProcessor.h"
#include "engine/FormatRules.h"
#include "engine/ParamModel.h"
#include "engine/win/VxPlugInProp.h"
#include "framework/BaseFilter.h"
#include "framework/BaseInputPin.h"
#include "framework/BaseOutputPin.h"
#include "framework/MediaType.h"
#include "framework/MemAllocator.h"
#include "tests/plugin/PlugInComSupport.h"
#include "tests/support/WineGraph.h"

namespace twtest {

constexpr DWORD kCompletionTimeoutMs = 20000;

// A media type for the format; the record owns its format block (FreeMediaType).
inline AM_MEDIA_TYPE AudioType(const WaveFormat& f) {
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

// The engine on its own, set up the way the filter starts a stream: parameters, then
// StartStream with the two formats; each Process is one block, as one input sample is for
// the filter, and takes the whole frames of what it is given.
class ReferenceEngine {
public:
    ReferenceEngine(const WaveFormat& input, const ParamValues& params)
        : input_(input), output_(StereoOutputOf(input)) {
        params_.SetParams(params);
        processor_.StartStream(&input_, &output_);
    }
    // A parameter from the next block on, as a host's automation sets it; the state goes on.
    void SetParam(int index, int32_t value) { params_.SetParam(index, value, false); }
    // The formats from the next block on, as when a sample carries a type; the state goes on.
    void SwitchFormat(const WaveFormat& input) {
        input_ = input;
        output_ = StereoOutputOf(input);
    }
    std::vector<BYTE> Process(const std::vector<BYTE>& in) {
        const int frames = static_cast<int>(in.size() / input_.nBlockAlign);
        std::vector<BYTE> out(static_cast<size_t>(frames) * output_.nBlockAlign);
        int inFrames = frames, outFrames = frames;
        if (input_.wFormatTag == WAVE_FORMAT_PCM) {
            std::vector<float> inScratch(static_cast<size_t>(frames) * input_.nChannels);
            std::vector<float> outScratch(static_cast<size_t>(frames) * 2);
            processor_.ProcessPcm16(reinterpret_cast<const int16_t*>(in.data()), frames,
                                    reinterpret_cast<int16_t*>(out.data()), inScratch.data(),
                                    outScratch.data());
        } else if (input_.wBitsPerSample == 32) {
            processor_.ProcessFloat(reinterpret_cast<const float*>(in.data()), &inFrames,
                                    reinterpret_cast<float*>(out.data()), &outFrames);
        } else {
            processor_.ProcessDouble(reinterpret_cast<const double*>(in.data()), &inFrames,
                                     reinterpret_cast<double*>(out.data()), &outFrames);
        }
        return out;
    }

private:
    WaveFormat input_;
    WaveFormat output_;
    CParamModel params_;
    CBlockProcessor processor_{params_};
};

// What a sink's pin was given in one sample.
struct ReceivedSample {
    long bytes;
    bool discontinuity;
    bool timed;  // GetTime gave a start and a stop
    REFERENCE_TIME start, stop;
    bool typed;           // the sample carried a media type
    WAVEFORMATEX format;  // the pin's format as it took the sample
};

// A sink for stereo audio of one sample format (16-bit PCM unless told otherwise, and any added
// to sampleFormats) at the rates it is given, built on the framework. Its pin insists on its own
// allocator, which grants at most maxBufferBytes per buffer; it records what QueryAccept was
// asked, how often a connection completed, and what every received sample carried (the bytes in
// order in data). Samples arrive on the thread that pushes them into the graph.
class CStereoSink : public CBaseFilter {
public:
    CStereoSink(std::vector<DWORD> acceptedRates, LONG maxBufferBytes,
                WORD formatTag = WAVE_FORMAT_PCM, WORD bitsPerSample = 16);
    ~CStereoSink() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* PinInterface();
    IMemAllocator* OwnAllocator() const;

    const std::vector<DWORD> rates;
    const LONG maxBufferBytes;
    std::vector<std::pair<WORD, WORD>> sampleFormats;  // format tag and bits per sample
    std::vector<WAVEFORMATEX> queried;
    int connections = 0;
    std::vector<BYTE> data;
    std::vector<ReceivedSample> received;

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
        const bool sampleFormatAccepted =
            std::find(sink_->sampleFormats.begin(), sink_->sampleFormats.end(),
                      std::make_pair(f->wFormatTag, f->wBitsPerSample)) !=
            sink_->sampleFormats.end();
        const WORD blockAlign = static_cast<WORD>(f->wBitsPerSample / 8 * 2);
        return sampleFormatAccepted && f->nChannels == 2 && f->nBlockAlign == blockAlign &&
                       f->nAvgBytesPerSec == f->nSamplesPerSec * blockAlign && rateAccepted
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
    STDMETHODIMP Receive(IMediaSample* sample) override {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK) return hr;
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        const long bytes = sample->GetActualDataLength();
        sink_->data.insert(sink_->data.end(), p, p + bytes);
        ReceivedSample r = {bytes, sample->IsDiscontinuity() == S_OK, false, 0, 0, false, {}};
        r.timed = sample->GetTime(&r.start, &r.stop) == S_OK;
        AM_MEDIA_TYPE* type = nullptr;
        r.typed = sample->GetMediaType(&type) == S_OK;
        DeleteMediaType(type);
        if (CurrentMediaType().cbFormat >= 16)
            std::memcpy(&r.format, CurrentMediaType().pbFormat, 16);
        sink_->received.push_back(r);
        return S_OK;
    }

    ComPtr<IMemAllocator> own_;

private:
    CStereoSink* const sink_;
};

inline CStereoSink::CStereoSink(std::vector<DWORD> acceptedRates, LONG maxBufferBytes,
                                WORD formatTag, WORD bitsPerSample)
    : CBaseFilter(L"stereo sink", nullptr, &lock_, GUID_NULL),
      rates(std::move(acceptedRates)),
      maxBufferBytes(maxBufferBytes),
      sampleFormats{{formatTag, bitsPerSample}} {}

inline CStereoSink::~CStereoSink() { delete pin_; }

inline CBasePin* CStereoSink::GetPin(int n) {
    if (!pin_) {
        HRESULT hr = S_OK;
        pin_ = new CStereoSinkPin(this, &lock_, &hr);
    }
    return n == 0 ? pin_ : nullptr;
}

inline IPin* CStereoSink::PinInterface() { return static_cast<IPin*>(GetPin(0)); }

inline IMemAllocator* CStereoSink::OwnAllocator() const {
    return static_cast<CStereoSinkPin*>(pin_)->own_.Get();
}

// A one-pin source that the test drives, like a workstation's audio engine: it proposes its
// preferred format, takes any audio type it is connected with, and sends what Push gets in
// time-stamped buffers of a fixed size, then the end of the stream. PushSample sends one
// buffer as it is given, and BeginFlush and EndFlush flush downstream, for streams that a
// well-behaved source would not send.
class CPushSource : public CBaseFilter {
public:
    CPushSource(const WaveFormat& preferred, LONG bufferBytes);
    ~CPushSource() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* PinInterface() { return static_cast<IPin*>(GetPin(0)); }
    // Test thread, while the graph runs.
    HRESULT Push(const std::vector<BYTE>& data);
    // One sample of up to bufferBytes, carrying the type if one is given: what Deliver
    // returned.
    HRESULT PushSample(const BYTE* data, long bytes, REFERENCE_TIME start, REFERENCE_TIME stop,
                       bool discontinuity, const AM_MEDIA_TYPE* type = nullptr);
    HRESULT BeginFlush() { return pin_->DeliverBeginFlush(); }
    HRESULT EndFlush() { return pin_->DeliverEndFlush(); }
    HRESULT EndOfStream() { return pin_->DeliverEndOfStream(); }

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

inline CPushSource::CPushSource(const WaveFormat& preferredFormat, LONG bytes)
    : CBaseFilter(L"push source", nullptr, &lock_, GUID_NULL),
      preferred(preferredFormat),
      bufferBytes(bytes) {}

inline CPushSource::~CPushSource() { delete pin_; }

inline CBasePin* CPushSource::GetPin(int n) {
    if (!pin_) {
        HRESULT hr = S_OK;
        pin_ = new CPushSourcePin(this, &lock_, &hr);
    }
    return n == 0 ? pin_ : nullptr;
}

inline HRESULT CPushSource::PushSample(const BYTE* data, long bytes, REFERENCE_TIME start,
                                       REFERENCE_TIME stop, bool discontinuity,
                                       const AM_MEDIA_TYPE* type) {
    ComPtr<IMediaSample> sample;
    HRESULT hr = pin_->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (bytes > sample->GetSize()) return E_INVALIDARG;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    if (bytes > 0) std::memcpy(p, data, static_cast<size_t>(bytes));
    sample->SetActualDataLength(bytes);
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(discontinuity);
    if (type) sample->SetMediaType(const_cast<AM_MEDIA_TYPE*>(type));
    return pin_->Deliver(sample.Get());
}

inline HRESULT CPushSource::Push(const std::vector<BYTE>& data) {
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(pin_->CurrentMediaType().pbFormat);
    if (!f) return VFW_E_NOT_CONNECTED;
    const size_t frameBytes = f->nBlockAlign;
    const size_t chunkBytes = bufferBytes / frameBytes * frameBytes;
    LONGLONG frame = 0;
    for (size_t offset = 0; offset < data.size(); offset += chunkBytes) {
        const size_t bytes = std::min(chunkBytes, data.size() - offset);
        const LONGLONG frames = static_cast<LONGLONG>(bytes / frameBytes);
        const REFERENCE_TIME start = frame * 10000000 / f->nSamplesPerSec;
        const REFERENCE_TIME stop = (frame + frames) * 10000000 / f->nSamplesPerSec;
        frame += frames;
        const HRESULT hr = PushSample(data.data() + offset, static_cast<long>(bytes), start,
                                      stop, offset == 0);
        if (hr != S_OK) return hr;
    }
    return pin_->DeliverEndOfStream();
}

// The plug-in in a graph of its own; the test adds the peers. Every reference is gone at
// the end, in the DLL and among the framework objects the test made.
class PlugInGraph : public PlugInComTest {
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

}  // namespace twtest
