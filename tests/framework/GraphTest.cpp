// A framework transform filter in Wine's own filter graph: File Source (Async) → WAVE
// Parser → pass-through → Sample Grabber → Null Renderer, connected with
// IGraphBuilder::ConnectDirect with and without media types, run to completion on a WAV file
// the test writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <dshow.h>
#include <qedit.h>

#include "framework/MediaType.h"
#include "tests/framework/TestFilters.h"

namespace {

const CLSID kWaveParser = {
    0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};
const CLSID kSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
const CLSID kNullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
const IID kIID_ISampleGrabber = {
    0x6b652fff, 0x11fe, 0x4fce, {0x92, 0xad, 0x02, 0x66, 0xb5, 0xd7, 0xc7, 0x8f}};
const IID kIID_ISampleGrabberCB = {
    0x0579154a, 0x2b53, 0x4994, {0xb0, 0xd0, 0xe7, 0x73, 0x14, 0x8e, 0xff, 0x85}};

constexpr DWORD kRateHz = 44100;
constexpr WORD kChannels = 2;
constexpr DWORD kFrames = 22050;  // half a second
constexpr REFERENCE_TIME kDuration100ns = 5000000;
constexpr DWORD kCompletionTimeoutMs = 10000;

// The PCM data of the test file: a different 16-bit value in every channel of every frame.
std::vector<BYTE> TestPcm() {
    std::vector<BYTE> pcm(kFrames * kChannels * 2);
    for (DWORD i = 0; i < kFrames * kChannels; ++i) {
        const uint16_t value = static_cast<uint16_t>(i * 37u + 11u);
        pcm[2 * i] = static_cast<BYTE>(value & 0xFF);
        pcm[2 * i + 1] = static_cast<BYTE>(value >> 8);
    }
    return pcm;
}

std::wstring WriteWave(const std::vector<BYTE>& pcm) {
    WCHAR folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    WCHAR path[MAX_PATH];
    GetTempFileNameW(folder, L"twf", 0, path);
    FILE* file = _wfopen(path, L"wb");
    auto put32 = [&](uint32_t v) { fwrite(&v, 4, 1, file); };
    auto put16 = [&](uint16_t v) { fwrite(&v, 2, 1, file); };
    fwrite("RIFF", 1, 4, file);
    put32(static_cast<uint32_t>(36 + pcm.size()));
    fwrite("WAVEfmt ", 1, 8, file);
    put32(16);
    put16(WAVE_FORMAT_PCM);
    put16(kChannels);
    put32(kRateHz);
    put32(kRateHz * kChannels * 2);
    put16(kChannels * 2);
    put16(16);
    fwrite("data", 1, 4, file);
    put32(static_cast<uint32_t>(pcm.size()));
    fwrite(pcm.data(), 1, pcm.size(), file);
    fclose(file);
    return path;
}

// Records what reaches the Sample Grabber, on the streaming thread.
class CGrabberCallback : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == kIID_ISampleGrabberCB) {
            *ppv = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        std::lock_guard<std::mutex> guard(lock);
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        data.insert(data.end(), p, p + sample->GetActualDataLength());
        REFERENCE_TIME start = 0, stop = 0;
        if (sample->GetTime(&start, &stop) == S_OK) {
            times.push_back({start, stop});
        } else {
            ++untimed;
        }
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }

    std::mutex lock;
    std::vector<BYTE> data;
    std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> times;
    int untimed = 0;
};

IPin* PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* pin = nullptr;
    IPin* found = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction == wanted) {
            found = pin;
        } else {
            pin->Release();
        }
    }
    pins->Release();
    return found;
}

IBaseFilter* Create(REFCLSID clsid) {
    IBaseFilter* filter = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&filter)));
    return filter;
}

// The first media type a pin proposes (delete with DeleteMediaType).
AM_MEDIA_TYPE* FirstType(IPin* pin) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(pin->EnumMediaTypes(&types))) return nullptr;
    AM_MEDIA_TYPE* type = nullptr;
    if (types->Next(1, &type, nullptr) != S_OK) type = nullptr;
    types->Release();
    return type;
}

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        pcm_ = TestPcm();
        path_ = WriteWave(pcm_);
        baseline_ = CBaseObject::ObjectsActive();
    }
    void TearDown() override {
        EXPECT_EQ(baseline_, CBaseObject::ObjectsActive());
        DeleteFileW(path_.c_str());
        CoUninitialize();
    }

    // Builds the graph, connecting upstream (parser → pass-through) and downstream
    // (pass-through → grabber) with or without a media type, runs it to the end and checks
    // what the grabber saw.
    void RunFile(bool typedUpstream, bool typedDownstream) {
        IGraphBuilder* graph = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IGraphBuilder, reinterpret_cast<void**>(&graph)));
        IBaseFilter* reader = Create(CLSID_AsyncReader);
        IBaseFilter* parser = Create(kWaveParser);
        IBaseFilter* grabber = Create(kSampleGrabber);
        IBaseFilter* renderer = Create(kNullRenderer);
        ASSERT_TRUE(reader && parser && grabber && renderer);
        auto* pass = new CPassThrough;
        pass->NonDelegatingAddRef();
        IBaseFilter* passFilter = static_cast<IBaseFilter*>(pass);

        IFileSourceFilter* source = nullptr;
        ASSERT_EQ(S_OK,
                  reader->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&source)));
        ASSERT_EQ(S_OK, source->Load(path_.c_str(), nullptr));
        source->Release();
        ASSERT_EQ(S_OK, graph->AddFilter(reader, L"Reader"));
        ASSERT_EQ(S_OK, graph->AddFilter(parser, L"Parser"));
        ASSERT_EQ(S_OK, graph->AddFilter(passFilter, L"Pass-through"));
        ASSERT_EQ(S_OK, graph->AddFilter(grabber, L"Grabber"));
        ASSERT_EQ(S_OK, graph->AddFilter(renderer, L"Renderer"));

        FILTER_INFO info{};
        ASSERT_EQ(S_OK, passFilter->QueryFilterInfo(&info));
        EXPECT_STREQ(L"Pass-through", info.achName);
        EXPECT_NE(nullptr, info.pGraph);
        if (info.pGraph) info.pGraph->Release();

        CGrabberCallback callback;
        ISampleGrabber* sampleGrabber = nullptr;
        ASSERT_EQ(S_OK, grabber->QueryInterface(kIID_ISampleGrabber,
                                                reinterpret_cast<void**>(&sampleGrabber)));
        sampleGrabber->SetBufferSamples(FALSE);
        sampleGrabber->SetOneShot(FALSE);
        ASSERT_EQ(S_OK, sampleGrabber->SetCallback(&callback, 0));

        IPin* readerOut = PinOf(reader, PINDIR_OUTPUT);
        IPin* parserIn = PinOf(parser, PINDIR_INPUT);
        ASSERT_EQ(S_OK, graph->ConnectDirect(readerOut, parserIn, nullptr));
        IPin* parserOut = PinOf(parser, PINDIR_OUTPUT);
        ASSERT_NE(nullptr, parserOut);
        IPin* passIn = PinOf(passFilter, PINDIR_INPUT);
        IPin* passOut = PinOf(passFilter, PINDIR_OUTPUT);
        IPin* grabberIn = PinOf(grabber, PINDIR_INPUT);
        IPin* grabberOut = PinOf(grabber, PINDIR_OUTPUT);
        IPin* rendererIn = PinOf(renderer, PINDIR_INPUT);

        AM_MEDIA_TYPE* upstreamType = typedUpstream ? FirstType(parserOut) : nullptr;
        if (typedUpstream) {
            ASSERT_NE(nullptr, upstreamType);
        }
        ASSERT_EQ(S_OK, graph->ConnectDirect(parserOut, passIn, upstreamType));
        AM_MEDIA_TYPE* downstreamType = typedDownstream ? FirstType(passOut) : nullptr;
        if (typedDownstream) {
            ASSERT_NE(nullptr, downstreamType);
        }
        ASSERT_EQ(S_OK, graph->ConnectDirect(passOut, grabberIn, downstreamType));
        ASSERT_EQ(S_OK, graph->ConnectDirect(grabberOut, rendererIn, nullptr));

        // The transform's output carries its input's format.
        AM_MEDIA_TYPE connected{};
        ASSERT_EQ(S_OK, grabberIn->ConnectionMediaType(&connected));
        const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(connected.pbFormat);
        EXPECT_EQ(kChannels, wfx->nChannels);
        EXPECT_EQ(kRateHz, wfx->nSamplesPerSec);
        FreeMediaType(connected);

        // Without a clock the graph runs as fast as the filters go.
        IMediaFilter* graphFilter = nullptr;
        graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&graphFilter));
        EXPECT_EQ(S_OK, graphFilter->SetSyncSource(nullptr));
        graphFilter->Release();

        IMediaControl* control = nullptr;
        IMediaEvent* events = nullptr;
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
        const HRESULT ran = control->Run();
        EXPECT_TRUE(SUCCEEDED(ran)) << std::hex << ran;
        long code = 0;
        EXPECT_EQ(S_OK, events->WaitForCompletion(kCompletionTimeoutMs, &code));
        EXPECT_EQ(EC_COMPLETE, code);
        EXPECT_EQ(1, pass->starts.load());
        EXPECT_EQ(0, pass->stops.load());
        EXPECT_EQ(S_OK, control->Stop());
        EXPECT_EQ(1, pass->starts.load());
        EXPECT_EQ(1, pass->stops.load());

        {
            std::lock_guard<std::mutex> guard(callback.lock);
            EXPECT_EQ(static_cast<long long>(pcm_.size()), pass->bytes.load());
            EXPECT_TRUE(callback.data == pcm_) << callback.data.size() << " bytes arrived";
            EXPECT_EQ(0, callback.untimed);
            ASSERT_FALSE(callback.times.empty());
            EXPECT_EQ(0, callback.times.front().first);
            for (size_t i = 1; i < callback.times.size(); ++i)
                EXPECT_EQ(callback.times[i - 1].second, callback.times[i].first) << "sample " << i;
            EXPECT_EQ(kDuration100ns, callback.times.back().second);
        }

        DeleteMediaType(upstreamType);
        DeleteMediaType(downstreamType);
        sampleGrabber->SetCallback(nullptr, 0);
        sampleGrabber->Release();
        for (IUnknown* p : {static_cast<IUnknown*>(readerOut), static_cast<IUnknown*>(parserIn),
                            static_cast<IUnknown*>(parserOut), static_cast<IUnknown*>(passIn),
                            static_cast<IUnknown*>(passOut), static_cast<IUnknown*>(grabberIn),
                            static_cast<IUnknown*>(grabberOut), static_cast<IUnknown*>(rendererIn),
                            static_cast<IUnknown*>(control), static_cast<IUnknown*>(events),
                            static_cast<IUnknown*>(reader), static_cast<IUnknown*>(parser),
                            static_cast<IUnknown*>(grabber), static_cast<IUnknown*>(renderer),
                            static_cast<IUnknown*>(graph)})
            p->Release();
        // The graph let go of the filter: only the test's reference remains.
        EXPECT_EQ(0u, pass->NonDelegatingRelease());
    }

    std::vector<BYTE> pcm_;
    std::wstring path_;
    LONG baseline_ = 0;
};

// A pass-through with a registration record, for IAMovieSetup.
class CRegisteredPassThrough : public CPassThrough {
public:
    const AMOVIESETUP_FILTER* GetSetupData() override {
        static const AMOVIESETUP_MEDIATYPE kTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
        static const AMOVIESETUP_PIN kPins[] = {
            {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &GUID_NULL, L"Output", 1,
             kTypes},
            {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &GUID_NULL, L"Input", 1,
             kTypes},
        };
        static const AMOVIESETUP_FILTER kFilter = {
            &CLSID_TestPassThrough, L"Framework test pass-through", MERIT_DO_NOT_USE, 2, kPins};
        return &kFilter;
    }
};

// True when the filter mapper lists the class as a DirectShow filter.
bool MapperListsTestFilter() {
    WCHAR clsid[40];
    StringFromGUID2(CLSID_TestPassThrough, clsid, 40);
    WCHAR category[40];
    StringFromGUID2(CLSID_LegacyAmFilterCategory, category, 40);
    const std::wstring key = std::wstring(L"CLSID\\") + category + L"\\Instance\\" + clsid;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// Disabled under ctest for now: the filter mapper's first use makes Wine start its system
// services, which inherit ctest's output pipe and keep it open until the Wine server stops,
// so ctest never sees the test end. It passes when the services are already running (run
// wineboot in the prefix first, or run the program directly with
// --gtest_also_run_disabled_tests).
TEST_F(GraphTest, MovieSetupRegistersTheSetupRecordWithTheMapper) {
    auto* plain = new CPassThrough;
    plain->NonDelegatingAddRef();
    EXPECT_EQ(S_FALSE, static_cast<IAMovieSetup*>(plain)->Register());
    EXPECT_EQ(S_FALSE, static_cast<IAMovieSetup*>(plain)->Unregister());
    plain->NonDelegatingRelease();

    auto* filter = new CRegisteredPassThrough;
    filter->NonDelegatingAddRef();
    IAMovieSetup* setup = static_cast<IAMovieSetup*>(filter);
    ASSERT_EQ(S_OK, setup->Register());
    EXPECT_TRUE(MapperListsTestFilter());
    EXPECT_EQ(S_OK, setup->Register());  // again: replaces the record
    EXPECT_EQ(S_OK, setup->Unregister());
    EXPECT_FALSE(MapperListsTestFilter());
    EXPECT_EQ(S_OK, setup->Unregister());  // nothing left to remove is not an error
    filter->NonDelegatingRelease();
}

TEST_F(GraphTest, RunsConnectedWithoutTypeUpstreamAndWithTypeDownstream) {
    RunFile(false, true);
}

TEST_F(GraphTest, RunsConnectedWithTypeUpstreamAndWithoutTypeDownstream) {
    RunFile(true, false);
}

}  // namespace
