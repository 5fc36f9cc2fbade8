// A framework transform filter in Wine's own filter graph: File Source (Async) → WAVE
// Parser → pass-through → Sample Grabber → Null Renderer, connected with
// IGraphBuilder::ConnectDirect with and without media types, run to completion on a WAV file
// the test writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <dshow.h>

#include "framework/MediaType.h"
#include "tests/framework/TestFilters.h"
#include "tests/support/WineGraph.h"

namespace {

using namespace twtest;  // the Wine graph helpers

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

// The format of the test file: 16-bit stereo PCM.
const WAVEFORMATEX kFileFormat = {
    WAVE_FORMAT_PCM, kChannels, kRateHz, kRateHz * kChannels * 2, kChannels * 2, 16, 0};

// The first media type a pin proposes (delete with DeleteMediaType).
AM_MEDIA_TYPE* FirstType(IPin* pin) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Put()))) return nullptr;
    AM_MEDIA_TYPE* type = nullptr;
    if (types->Next(1, &type, nullptr) != S_OK) type = nullptr;
    return type;
}

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        pcm_ = TestPcm();
        path_ = WriteWave(kFileFormat, pcm_);
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
        ComPtr<IGraphBuilder> graph;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IGraphBuilder, graph.PutVoid()));
        ComPtr<IPin> parserOut = AddWaveFile(graph.Get(), path_);
        ASSERT_TRUE(parserOut);
        auto* pass = new CPassThrough;
        pass->NonDelegatingAddRef();
        IBaseFilter* passFilter = static_cast<IBaseFilter*>(pass);
        ASSERT_EQ(S_OK, graph->AddFilter(passFilter, L"Pass-through"));
        IBaseFilter* grabber = AddWine(graph.Get(), kSampleGrabber, L"Grabber");
        IBaseFilter* renderer = AddWine(graph.Get(), kNullRenderer, L"Renderer");
        ASSERT_TRUE(grabber && renderer);

        FILTER_INFO info{};
        ASSERT_EQ(S_OK, passFilter->QueryFilterInfo(&info));
        EXPECT_STREQ(L"Pass-through", info.achName);
        EXPECT_NE(nullptr, info.pGraph);
        if (info.pGraph) info.pGraph->Release();

        CGrabberCallback callback;
        ASSERT_EQ(S_OK, callback.Attach(grabber));

        ComPtr<IPin> passIn = PinOf(passFilter, PINDIR_INPUT);
        ComPtr<IPin> passOut = PinOf(passFilter, PINDIR_OUTPUT);
        ComPtr<IPin> grabberIn = PinOf(grabber, PINDIR_INPUT);
        ComPtr<IPin> grabberOut = PinOf(grabber, PINDIR_OUTPUT);
        ComPtr<IPin> rendererIn = PinOf(renderer, PINDIR_INPUT);

        AM_MEDIA_TYPE* upstreamType = typedUpstream ? FirstType(parserOut.Get()) : nullptr;
        if (typedUpstream) {
            ASSERT_NE(nullptr, upstreamType);
        }
        ASSERT_EQ(S_OK, graph->ConnectDirect(parserOut.Get(), passIn.Get(), upstreamType));
        AM_MEDIA_TYPE* downstreamType = typedDownstream ? FirstType(passOut.Get()) : nullptr;
        if (typedDownstream) {
            ASSERT_NE(nullptr, downstreamType);
        }
        ASSERT_EQ(S_OK, graph->ConnectDirect(passOut.Get(), grabberIn.Get(), downstreamType));
        ASSERT_EQ(S_OK, graph->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr));

        // The transform's output carries its input's format.
        AM_MEDIA_TYPE connected{};
        ASSERT_EQ(S_OK, grabberIn->ConnectionMediaType(&connected));
        const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(connected.pbFormat);
        EXPECT_EQ(kChannels, wfx->nChannels);
        EXPECT_EQ(kRateHz, wfx->nSamplesPerSec);
        FreeMediaType(connected);

        // Without a clock the graph runs as fast as the filters go.
        {
            GraphRun run(graph.Get());
            EXPECT_EQ(S_OK, run.WaitForCompletion(kCompletionTimeoutMs));
            EXPECT_EQ(1, pass->starts.load());
            EXPECT_EQ(0, pass->stops.load());
            EXPECT_EQ(S_OK, run.Stop());
            EXPECT_EQ(1, pass->starts.load());
            EXPECT_EQ(1, pass->stops.load());
        }

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
        callback.Detach();
        ResetAll(parserOut, passIn, passOut, grabberIn, grabberOut, rendererIn, graph);
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
