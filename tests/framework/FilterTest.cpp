// Filters and pins without a graph: identity and counts, pin lookup and enumeration,
// connection negotiation, allocator agreement, streaming states and the transform path,
// using a hand-driven source and a recording sink built on the framework.
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>

#include <dshow.h>

#include "base/win/ComPtr.h"
#include "framework/MediaSample.h"
#include "framework/MediaType.h"
#include "framework/TransformInputPin.h"
#include "framework/TransformOutputPin.h"
#include "tests/framework/TestFilters.h"

namespace {

template <typename T>
ComPtr<T> Query(IUnknown* object, REFIID iid) {
    ComPtr<T> result;
    EXPECT_EQ(S_OK, object->QueryInterface(iid, result.PutVoid()));
    return result;
}

ULONG CountOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// The identity's address, for comparisons only: no reference is kept.
IUnknown* Identity(IUnknown* object) {
    return Query<IUnknown>(object, IID_IUnknown).Get();
}

TEST(FilterTest, FilterInterfacesShareOneIdentityAndCount) {
    const LONG before = CBaseObject::ObjectsActive();
    auto* pass = new CPassThrough;
    pass->NonDelegatingAddRef();
    ComPtr<IBaseFilter> filter = Query<IBaseFilter>(pass->GetOwner(), IID_IBaseFilter);
    EXPECT_EQ(2u, CountOf(filter.Get()));
    ComPtr<IMediaFilter> media = Query<IMediaFilter>(filter.Get(), IID_IMediaFilter);
    ComPtr<IPersist> persist = Query<IPersist>(filter.Get(), IID_IPersist);
    EXPECT_EQ(static_cast<void*>(filter.Get()), static_cast<void*>(media.Get()));
    EXPECT_EQ(static_cast<void*>(filter.Get()), static_cast<void*>(persist.Get()));
    ComPtr<IAMovieSetup> setup = Query<IAMovieSetup>(filter.Get(), IID_IAMovieSetup);
    EXPECT_EQ(Identity(filter.Get()), Identity(setup.Get()));
    EXPECT_EQ(5u, CountOf(filter.Get()));

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IMemInputPin, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, filter->QueryInterface(IID_IBaseFilter, nullptr));

    CLSID clsid{};
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_EQ(CLSID_TestPassThrough, clsid);
    EXPECT_EQ(E_POINTER, persist->GetClassID(nullptr));

    // Pin references are the filter's references.
    ComPtr<IPin> in;
    ASSERT_EQ(S_OK, filter->FindPin(L"In", in.Put()));
    EXPECT_EQ(6u, CountOf(filter.Get()));
    ComPtr<IMemInputPin> transport = Query<IMemInputPin>(in.Get(), IID_IMemInputPin);
    EXPECT_EQ(Identity(in.Get()), Identity(transport.Get()));
    EXPECT_NE(Identity(in.Get()), Identity(filter.Get()));
    ComPtr<IPin> out;
    ASSERT_EQ(S_OK, filter->FindPin(L"Out", out.Put()));
    ComPtr<IQualityControl> quality = Query<IQualityControl>(out.Get(), IID_IQualityControl);
    EXPECT_EQ(E_NOINTERFACE, out->QueryInterface(IID_IMemInputPin, &none));
    EXPECT_EQ(9u, CountOf(filter.Get()));

    ResetAll(quality, out, transport, in, setup, persist, media, filter);
    EXPECT_EQ(0u, pass->NonDelegatingRelease());
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

// The graph's clock is held with one reference of the filter's own, given back when the clock
// is replaced and when the filter goes.
TEST(FilterTest, HoldsTheClockWithOneReference) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        ComPtr<IReferenceClock> clock;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IReferenceClock, clock.PutVoid()));
        const ULONG alone = CountOf(clock.Get());
        auto* pass = new CPassThrough;
        pass->NonDelegatingAddRef();
        IBaseFilter* filter = pass;
        EXPECT_EQ(S_OK, filter->SetSyncSource(clock.Get()));
        EXPECT_EQ(alone + 1, CountOf(clock.Get()));
        ComPtr<IReferenceClock> held;
        EXPECT_EQ(S_OK, filter->GetSyncSource(held.Put()));
        EXPECT_EQ(clock, held);
        held.Reset();
        EXPECT_EQ(S_OK, filter->SetSyncSource(nullptr));
        EXPECT_EQ(alone, CountOf(clock.Get()));
        EXPECT_EQ(S_OK, filter->SetSyncSource(clock.Get()));
        pass->NonDelegatingRelease();
        EXPECT_EQ(alone, CountOf(clock.Get()));
    }
    CoUninitialize();
}

TEST(FilterTest, PinsAnswerIdsNamesAndLookups) {
    auto* pass = new CPassThrough;
    pass->NonDelegatingAddRef();
    ComPtr<IBaseFilter> filter = Query<IBaseFilter>(pass->GetOwner(), IID_IBaseFilter);

    ComPtr<IPin> out;
    ASSERT_EQ(S_OK, filter->FindPin(L"Out", out.Put()));
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, out->QueryId(&id));
    EXPECT_STREQ(L"Out", id);
    CoTaskMemFree(id);
    EXPECT_EQ(E_POINTER, out->QueryId(nullptr));
    PIN_INFO info{};
    ASSERT_EQ(S_OK, out->QueryPinInfo(&info));
    EXPECT_STREQ(L"Output", info.achName);
    EXPECT_EQ(PINDIR_OUTPUT, info.dir);
    EXPECT_EQ(filter.Get(), info.pFilter);
    info.pFilter->Release();
    PIN_DIRECTION direction = PINDIR_INPUT;
    EXPECT_EQ(S_OK, out->QueryDirection(&direction));
    EXPECT_EQ(PINDIR_OUTPUT, direction);

    IPin* missing = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(L"Output", &missing));  // names are not ids
    EXPECT_EQ(nullptr, missing);
    EXPECT_EQ(E_POINTER, filter->FindPin(nullptr, &missing));
    EXPECT_EQ(E_POINTER, filter->FindPin(L"In", nullptr));

    FILTER_INFO filterInfo{};
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&filterInfo));
    EXPECT_STREQ(L"", filterInfo.achName);
    EXPECT_EQ(nullptr, filterInfo.pGraph);
    LPWSTR vendor = nullptr;
    EXPECT_EQ(E_NOTIMPL, filter->QueryVendorInfo(&vendor));
    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, filter->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    REFERENCE_TIME now;
    EXPECT_EQ(VFW_E_NO_CLOCK, pass->StreamTime(&now));

    // Unconnected: the pins report it and the output proposes no type.
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);
    AM_MEDIA_TYPE mt;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectionMediaType(&mt));
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(S_OK, out->EnumMediaTypes(types.Put()));
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 1;
    EXPECT_EQ(S_FALSE, types->Next(1, &type, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, out->Disconnect());

    ResetAll(types, out, filter);
    EXPECT_EQ(0u, pass->NonDelegatingRelease());
}

// A filter whose pin set the test can declare changed.
class CChangingPins : public CPassThrough {
public:
    using CBaseFilter::IncrementPinVersion;
};

TEST(FilterTest, EnumPinsWalksSkipsClonesAndResets) {
    auto* pass = new CChangingPins;
    pass->NonDelegatingAddRef();
    ComPtr<IBaseFilter> filter = Query<IBaseFilter>(pass->GetOwner(), IID_IBaseFilter);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(S_OK, filter->EnumPins(pins.Put()));

    IPin* both[2] = {};
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, pins->Next(2, both, &fetched));
    EXPECT_EQ(2u, fetched);
    PIN_DIRECTION d0, d1;
    both[0]->QueryDirection(&d0);
    both[1]->QueryDirection(&d1);
    EXPECT_EQ(PINDIR_INPUT, d0);
    EXPECT_EQ(PINDIR_OUTPUT, d1);
    both[0]->Release();
    both[1]->Release();
    ComPtr<IPin> extra;
    EXPECT_EQ(S_FALSE, pins->Next(1, extra.Put(), &fetched));
    EXPECT_EQ(0u, fetched);

    EXPECT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_OK, pins->Skip(1));
    ComPtr<IEnumPins> clone;
    ASSERT_EQ(S_OK, pins->Clone(clone.Put()));
    ComPtr<IPin> second;
    ASSERT_EQ(S_OK, clone->Next(1, second.Put(), nullptr));
    second->QueryDirection(&d1);
    EXPECT_EQ(PINDIR_OUTPUT, d1);
    second.Reset();
    EXPECT_EQ(S_FALSE, pins->Skip(2));
    EXPECT_EQ(E_INVALIDARG, pins->Next(2, both, nullptr));
    EXPECT_EQ(E_POINTER, pins->Next(1, nullptr, &fetched));

    // A change of the pin set invalidates enumerators until they are reset.
    pass->IncrementPinVersion();
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(1, extra.Put(), &fetched));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, clone->Skip(1));
    EXPECT_EQ(S_OK, pins->Reset());
    ASSERT_EQ(S_OK, pins->Next(1, extra.Put(), &fetched));
    ResetAll(extra, clone, pins, filter);
    EXPECT_EQ(0u, pass->NonDelegatingRelease());
}

// A source → pass-through → sink chain of framework filters, each held by the test.
class ChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        baseline_ = CBaseObject::ObjectsActive();
        source_ = new CTestSource;
        pass_ = new CPassThrough;
        sink_ = new CTestSink;
        source_->NonDelegatingAddRef();
        pass_->NonDelegatingAddRef();
        sink_->NonDelegatingAddRef();
        sourceOut_ = source_->Pin();
        passIn_ = static_cast<CTransformInputPin*>(pass_->GetPin(0));
        passOut_ = static_cast<CTransformOutputPin*>(pass_->GetPin(1));
        sinkIn_ = sink_->Pin();
    }
    void TearDown() override {
        for (CBaseFilter* f : {static_cast<CBaseFilter*>(source_), static_cast<CBaseFilter*>(pass_),
                               static_cast<CBaseFilter*>(sink_)})
            f->Stop();
        for (CBasePin* pin : {static_cast<CBasePin*>(sourceOut_), static_cast<CBasePin*>(passIn_),
                              static_cast<CBasePin*>(passOut_), static_cast<CBasePin*>(sinkIn_)})
            pin->Disconnect();
        source_->NonDelegatingRelease();
        pass_->NonDelegatingRelease();
        sink_->NonDelegatingRelease();
        EXPECT_EQ(baseline_, CBaseObject::ObjectsActive());
    }

    void ConnectAll() {
        ASSERT_EQ(S_OK, sourceOut_->Connect(passIn_, nullptr));
        ASSERT_EQ(S_OK, passOut_->Connect(sinkIn_, nullptr));
    }
    // Downstream first, as a graph does.
    void PauseAll() {
        ASSERT_EQ(S_OK, sink_->Pause());
        ASSERT_EQ(S_OK, pass_->Pause());
        ASSERT_EQ(S_OK, source_->Pause());
    }
    void StopAll() {
        EXPECT_EQ(S_OK, sink_->Stop());
        EXPECT_EQ(S_OK, pass_->Stop());
        EXPECT_EQ(S_OK, source_->Stop());
    }
    // Pushes one sample of `length` bytes, byte i = seed + i, with the given times.
    HRESULT Push(BYTE seed, LONG length, REFERENCE_TIME start, REFERENCE_TIME stop,
                 bool discontinuity = false) {
        ComPtr<IMediaSample> sample;
        HRESULT hr = sourceOut_->GetDeliveryBuffer(sample.Put(), &start, &stop, 0);
        if (FAILED(hr)) return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        for (LONG i = 0; i < length; ++i) data[i] = static_cast<BYTE>(seed + i);
        sample->SetActualDataLength(length);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(discontinuity);
        return sourceOut_->Deliver(sample.Get());
    }

    LONG baseline_ = 0;
    CTestSource* source_ = nullptr;
    CPassThrough* pass_ = nullptr;
    CTestSink* sink_ = nullptr;
    CBaseOutputPin* sourceOut_ = nullptr;
    CTransformInputPin* passIn_ = nullptr;
    CTransformOutputPin* passOut_ = nullptr;
    CBaseInputPin* sinkIn_ = nullptr;
};

TEST_F(ChainTest, ConnectWithoutTypeTakesFirstProposalAndAgreesAllocators) {
    // The output of a transform cannot connect before its input.
    EXPECT_EQ(E_UNEXPECTED, passOut_->Connect(sinkIn_, nullptr));
    EXPECT_FALSE(passOut_->IsConnected());

    ConnectAll();
    EXPECT_EQ(static_cast<IPin*>(sourceOut_), passIn_->GetConnected());
    EXPECT_EQ(static_cast<IPin*>(passIn_), sourceOut_->GetConnected());
    EXPECT_EQ(
        1, reinterpret_cast<const WAVEFORMATEX*>(passIn_->CurrentMediaType().pbFormat)->nChannels);
    EXPECT_TRUE(MediaTypesEqual(passIn_->CurrentMediaType(), passOut_->CurrentMediaType()));
    EXPECT_TRUE(MediaTypesEqual(passOut_->CurrentMediaType(), sinkIn_->CurrentMediaType()));
    EXPECT_EQ(1, pass_->inputTypesSet.load());
    EXPECT_EQ(1, pass_->outputTypesSet.load());

    // The source used the allocator the pass-through's input pin made for it; the
    // pass-through sized its own output buffers from it.
    ASSERT_NE(nullptr, passIn_->Allocator());
    EXPECT_EQ(sourceOut_->Allocator(), passIn_->Allocator());
    ALLOCATOR_PROPERTIES props{};
    passIn_->Allocator()->GetProperties(&props);
    EXPECT_EQ(1024, props.cbBuffer);
    EXPECT_EQ(passOut_->Allocator(), sinkIn_->Allocator());
    passOut_->Allocator()->GetProperties(&props);
    EXPECT_EQ(4, props.cBuffers);
    EXPECT_GE(props.cbBuffer, 4096);

    ComPtr<IPin> peer;
    ASSERT_EQ(S_OK, passOut_->ConnectedTo(peer.Put()));
    EXPECT_EQ(static_cast<IPin*>(sinkIn_), peer.Get());
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, passOut_->ConnectionMediaType(&mt));
    EXPECT_TRUE(MediaTypesEqual(mt, sinkIn_->CurrentMediaType()));
    FreeMediaType(mt);

    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, sourceOut_->Connect(passIn_, nullptr));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, passIn_->ReceiveConnection(sourceOut_, &mt));
}

TEST_F(ChainTest, ConnectWithTypeUsesExactlyThatType) {
    AM_MEDIA_TYPE stereo = MakePcmType(2, 44100);
    ASSERT_EQ(S_OK, sourceOut_->Connect(passIn_, &stereo));
    EXPECT_TRUE(MediaTypesEqual(stereo, passIn_->CurrentMediaType()));

    // A type the transform cannot produce from its input is refused without touching the pins.
    AM_MEDIA_TYPE mono = MakePcmType(1, 44100);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, passOut_->Connect(sinkIn_, &mono));
    EXPECT_FALSE(passOut_->IsConnected());
    EXPECT_FALSE(sinkIn_->IsConnected());
    EXPECT_EQ(S_OK, passOut_->Connect(sinkIn_, &stereo));
    EXPECT_TRUE(MediaTypesEqual(stereo, sinkIn_->CurrentMediaType()));
    FreeMediaType(mono);
    FreeMediaType(stereo);
}

TEST_F(ChainTest, PartialTypeIsAWildcardAndRefusalsAreReported) {
    AM_MEDIA_TYPE audioOnly{};
    audioOnly.majortype = MEDIATYPE_Audio;
    ASSERT_EQ(S_OK, sourceOut_->Connect(passIn_, &audioOnly));
    EXPECT_EQ(MEDIASUBTYPE_PCM, passIn_->CurrentMediaType().subtype);

    // The sink takes only stereo and the pass-through offers only its mono input type.
    sink_->acceptStereoOnly = true;
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, passOut_->Connect(sinkIn_, nullptr));
    EXPECT_FALSE(passOut_->IsConnected());
    EXPECT_EQ(nullptr, passOut_->Allocator());

    // Same direction, and a null pin.
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, passOut_->Connect(sourceOut_, nullptr));
    EXPECT_EQ(E_POINTER, passOut_->Connect(nullptr, nullptr));
    EXPECT_EQ(E_POINTER, sinkIn_->ReceiveConnection(passOut_, nullptr));

    AM_MEDIA_TYPE video{};
    video.majortype = MEDIATYPE_Video;
    EXPECT_EQ(S_FALSE, passIn_->QueryAccept(&video));
    EXPECT_EQ(S_OK, passIn_->QueryAccept(&passIn_->CurrentMediaType()));
    EXPECT_EQ(E_POINTER, passIn_->QueryAccept(nullptr));
}

TEST_F(ChainTest, DisconnectNeedsStoppedAndAllowsReconnecting) {
    ConnectAll();
    PauseAll();
    EXPECT_EQ(VFW_E_NOT_STOPPED, passIn_->Disconnect());
    StopAll();
    EXPECT_EQ(S_OK, passOut_->Disconnect());
    EXPECT_EQ(S_OK, sinkIn_->Disconnect());
    EXPECT_EQ(S_OK, pass_->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, passOut_->Connect(sinkIn_, nullptr));
    EXPECT_EQ(S_OK, pass_->Stop());
    EXPECT_EQ(nullptr, passOut_->Allocator());
    EXPECT_EQ(nullptr, sinkIn_->Allocator());
    EXPECT_EQ(S_OK, passOut_->Connect(sinkIn_, nullptr));
    EXPECT_NE(nullptr, passOut_->Allocator());
}

TEST_F(ChainTest, StreamingStartsAndStopsOncePerRun) {
    // Nothing connected: no streaming to start.
    EXPECT_EQ(S_OK, pass_->Pause());
    EXPECT_EQ(S_OK, pass_->Stop());
    EXPECT_EQ(0, pass_->starts.load());
    EXPECT_EQ(0, pass_->stops.load());

    ConnectAll();
    PauseAll();
    EXPECT_EQ(1, pass_->starts.load());
    EXPECT_EQ(S_OK, pass_->Run(0));
    EXPECT_EQ(S_OK, pass_->Pause());
    EXPECT_EQ(S_OK, pass_->Run(0));
    EXPECT_EQ(1, pass_->starts.load());
    EXPECT_EQ(0, pass_->stops.load());
    StopAll();
    EXPECT_EQ(S_OK, pass_->Stop());
    EXPECT_EQ(1, pass_->stops.load());

    // Run from stopped pauses first.
    EXPECT_EQ(S_OK, pass_->Run(0));
    EXPECT_EQ(2, pass_->starts.load());
    EXPECT_EQ(S_OK, pass_->Stop());
    EXPECT_EQ(2, pass_->stops.load());

    // A failed start leaves the filter stopped, with no StopStreaming owed.
    pass_->startResult = E_FAIL;
    EXPECT_EQ(E_FAIL, pass_->Pause());
    FILTER_STATE state;
    pass_->GetState(0, &state);
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(S_OK, pass_->Stop());
    EXPECT_EQ(2, pass_->stops.load());
}

TEST_F(ChainTest, SamplesPassThroughWithTimesAndFlags) {
    ConnectAll();
    // Stopped: the transform's input refuses samples.
    BYTE loose[4] = {};
    HRESULT hr = S_OK;
    auto* stray = new CMediaSample(L"stray", nullptr, &hr, loose, sizeof loose);
    stray->AddRef();
    EXPECT_EQ(VFW_E_WRONG_STATE, passIn_->Receive(stray));
    EXPECT_EQ(E_POINTER, passIn_->Receive(nullptr));

    PauseAll();
    EXPECT_EQ(S_OK, Push(0, 1000, 0, 100, true));
    EXPECT_EQ(S_OK, Push(50, 1024, 100, 200));
    EXPECT_EQ(S_OK, Push(9, 1, 200, 201));
    ASSERT_EQ(3u, sink_->samples.size());
    EXPECT_EQ(1000u, sink_->samples[0].data.size());
    EXPECT_EQ(1024u, sink_->samples[1].data.size());
    EXPECT_EQ(50, sink_->samples[1].data[0]);
    EXPECT_EQ(static_cast<BYTE>(50 + 1023), sink_->samples[1].data[1023]);
    EXPECT_EQ(S_OK, sink_->samples[1].timeResult);
    EXPECT_EQ(100, sink_->samples[1].start);
    EXPECT_EQ(200, sink_->samples[1].stop);
    EXPECT_TRUE(sink_->samples[0].discontinuity);
    EXPECT_FALSE(sink_->samples[1].discontinuity);
    EXPECT_TRUE(sink_->samples[2].syncPoint);
    EXPECT_EQ(2025, pass_->bytes.load());

    // A sample with only a start time keeps it, without a stop time.
    ComPtr<IMediaSample> sample;
    REFERENCE_TIME start = 300;
    ASSERT_EQ(S_OK, sourceOut_->GetDeliveryBuffer(sample.Put(), &start, nullptr, 0));
    sample->SetActualDataLength(2);
    EXPECT_EQ(S_OK, sourceOut_->Deliver(sample.Get()));
    sample.Reset();
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sink_->samples.back().timeResult);
    EXPECT_EQ(300, sink_->samples.back().start);

    // ReceiveMultiple runs Receive for each sample.
    IMediaSample* batch[2] = {};
    sourceOut_->GetDeliveryBuffer(&batch[0], nullptr, nullptr, 0);
    sourceOut_->GetDeliveryBuffer(&batch[1], nullptr, nullptr, 0);
    batch[0]->SetActualDataLength(3);
    batch[1]->SetActualDataLength(5);
    long processed = 0;
    EXPECT_EQ(S_OK, Query<IMemInputPin>(static_cast<IPin*>(passIn_), IID_IMemInputPin)
                        ->ReceiveMultiple(batch, 2, &processed));
    EXPECT_EQ(2, processed);
    EXPECT_EQ(5u, sink_->samples.back().data.size());
    batch[0]->Release();
    batch[1]->Release();

    StopAll();
    EXPECT_EQ(VFW_E_WRONG_STATE, passIn_->Receive(stray));
    stray->Release();
}

TEST_F(ChainTest, NotificationsAreForwardedDownstream) {
    ConnectAll();
    PauseAll();
    EXPECT_EQ(S_OK, sourceOut_->DeliverNewSegment(1234, 5678, 1.0));
    EXPECT_EQ(1234, sink_->segmentStart);
    EXPECT_EQ(1234, passIn_->CurrentStartTime());

    EXPECT_EQ(S_OK, sourceOut_->DeliverBeginFlush());
    EXPECT_EQ(1, sink_->beginFlushes);
    EXPECT_TRUE(passIn_->IsFlushing());
    EXPECT_EQ(S_FALSE, Push(0, 10, 0, 1));  // dropped while flushing
    EXPECT_EQ(S_OK, sourceOut_->DeliverEndFlush());
    EXPECT_EQ(1, sink_->endFlushes);
    EXPECT_TRUE(sink_->samples.empty());
    EXPECT_EQ(S_OK, Push(0, 10, 0, 1));
    EXPECT_EQ(1u, sink_->samples.size());

    EXPECT_EQ(S_OK, sourceOut_->DeliverEndOfStream());
    EXPECT_EQ(1, sink_->endOfStreams);
    // Upstream-only calls on an output pin are refused.
    EXPECT_EQ(E_UNEXPECTED, passOut_->EndOfStream());
    EXPECT_EQ(E_UNEXPECTED, passOut_->BeginFlush());
}

// A sample that carries a media type announces a format change from that sample on: the
// receiving pin checks the type, switches to it and takes the sample, or refuses the sample
// and the rest of the stream.
struct TypeChange {
    const char* name;
    bool atTransform;            // into the pass-through's input, else straight into the sink
    AM_MEDIA_TYPE (*carried)();  // the type the sample carries; null for none
    HRESULT received;
};

void PrintTo(const TypeChange& row, std::ostream* out) {
    *out << row.name;
}

class MidStreamTypeChange : public ChainTest, public ::testing::WithParamInterface<TypeChange> {};

TEST_P(MidStreamTypeChange, SwitchesToAnAcceptableTypeAndRefusesOthers) {
    const TypeChange& row = GetParam();
    ConnectAll();  // mono 44.1 kHz throughout
    PauseAll();
    CBaseInputPin* pin = row.atTransform ? static_cast<CBaseInputPin*>(passIn_) : sinkIn_;
    AM_MEDIA_TYPE before{};
    ASSERT_EQ(S_OK, CopyMediaType(&before, &pin->CurrentMediaType()));
    AM_MEDIA_TYPE carried = row.carried ? row.carried() : AM_MEDIA_TYPE{};
    const bool switches = row.carried && row.received == S_OK;

    BYTE buffer[8] = {};
    auto send = [&](const AM_MEDIA_TYPE* type) {
        HRESULT hr = S_OK;
        auto* sample = new CMediaSample(L"typed", nullptr, &hr, buffer, sizeof buffer);
        sample->AddRef();
        sample->SetActualDataLength(sizeof buffer);
        sample->SetMediaType(const_cast<AM_MEDIA_TYPE*>(type));
        hr = pin->Receive(sample);
        sample->Release();
        return hr;
    };
    EXPECT_EQ(row.received, send(row.carried ? &carried : nullptr));
    EXPECT_TRUE(MediaTypesEqual(switches ? carried : before, pin->CurrentMediaType()));
    EXPECT_EQ(row.received == S_OK ? 1u : 0u, sink_->samples.size());
    EXPECT_EQ(switches && row.atTransform ? 2 : 1, pass_->inputTypesSet.load());
    EXPECT_EQ(1, pass_->outputTypesSet.load());
    // A refused type ends the stream until it is flushed or stopped.
    EXPECT_EQ(row.received == S_OK ? S_OK : VFW_E_RUNTIME_ERROR, send(nullptr));
    FreeMediaType(carried);
    FreeMediaType(before);
}

AM_MEDIA_TYPE MonoInVariableSizeSamples() {
    AM_MEDIA_TYPE mt = MakePcmType(1, 44100);
    mt.bFixedSizeSamples = FALSE;
    mt.lSampleSize = 0;
    return mt;
}
AM_MEDIA_TYPE Stereo44k() {
    return MakePcmType(2, 44100);
}
AM_MEDIA_TYPE Stereo48k() {
    return MakePcmType(2, 48000);
}
AM_MEDIA_TYPE EightBitMono() {
    AM_MEDIA_TYPE mt = MakePcmType(1, 44100);
    reinterpret_cast<WAVEFORMATEX*>(mt.pbFormat)->wBitsPerSample = 8;
    return mt;
}

const TypeChange kTypeChanges[] = {
    {"NoTypeAtTransform", true, nullptr, S_OK},
    // The pass-through can still produce its connected mono output from this one...
    {"VariableSizeSamplesAtTransform", true, MonoInVariableSizeSamples, S_OK},
    // ...but not from stereo.
    {"StereoAtTransform", true, Stereo44k, VFW_E_INVALIDMEDIATYPE},
    {"StereoAtSink", false, Stereo48k, S_OK},
    {"EightBitAtSink", false, EightBitMono, VFW_E_INVALIDMEDIATYPE},
};

INSTANTIATE_TEST_SUITE_P(Framework, MidStreamTypeChange, ::testing::ValuesIn(kTypeChanges),
                         [](const ::testing::TestParamInfo<TypeChange>& info) {
                             return std::string(info.param.name);
                         });

// Records quality messages passed on to it.
class CQualitySink : public IQualityControl {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override {
        sender = pSelf;
        late = q.Late;
        return S_OK;
    }
    STDMETHODIMP SetSink(IQualityControl*) override { return S_OK; }
    IBaseFilter* sender = nullptr;
    REFERENCE_TIME late = 0;
};

TEST_F(ChainTest, QualityMessagesGoUpstreamWhenTheFilterDeclines) {
    ConnectAll();
    const auto quality = Query<IQualityControl>(static_cast<IPin*>(passOut_), IID_IQualityControl);
    Quality q{Famine, 900, 250, 0};
    // The source pin takes no quality messages: nobody to pass it to.
    EXPECT_EQ(VFW_E_NOT_FOUND, quality->Notify(static_cast<IBaseFilter*>(sink_), q));
    CQualitySink sink;
    EXPECT_EQ(S_OK, quality->SetSink(&sink));
    EXPECT_EQ(S_OK, quality->Notify(static_cast<IBaseFilter*>(sink_), q));
    EXPECT_EQ(static_cast<IBaseFilter*>(pass_), sink.sender);
    EXPECT_EQ(250, sink.late);
    quality->SetSink(nullptr);
}

TEST_F(ChainTest, StopReleasesAReceiveWaitingForAnOutputBuffer) {
    ConnectAll();
    PauseAll();
    // Hold every output buffer so that the next Receive has to wait.
    ComPtr<IMediaSample> held[4];
    for (auto& sample : held)
        ASSERT_EQ(S_OK, passOut_->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0));
    std::atomic<bool> done{false};
    HRESULT pushed = S_OK;
    std::thread streaming([&] {
        pushed = Push(0, 8, 0, 1);
        done = true;
    });
    Sleep(100);
    EXPECT_FALSE(done);
    EXPECT_EQ(S_OK, pass_->Stop());  // decommits the output allocator
    streaming.join();
    EXPECT_EQ(VFW_E_NOT_COMMITTED, pushed);
    EXPECT_EQ(1, pass_->stops.load());
}

}  // namespace
