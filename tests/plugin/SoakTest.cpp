// The real DLL under load and abuse in Wine's graph: many create/connect/stream/release cycles
// with nothing left behind, streaming while other threads change everything at once, and every
// host-facing entry point given null pointers, bad sizes and indices in every filter state.
// TW_SOAK_CYCLES and TW_SOAK_SECONDS lengthen the runs (make soak).
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include <windows.h>
#include <psapi.h>

#include "automation/win/MediaParamsInterfaces.h"
#include "engine/win/PhaseAnalysisTap.h"
#include "engine/win/VxPlugInProp.h"
#include "plugin/StaticFilterPreset.h"
#include "tests/plugin/PlugInComSupport.h"
#include "tests/support/WineGraph.h"

using namespace twtest;

namespace {

int Setting(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// A 16-bit stereo file of `frames` frames of a loud two-tone signal.
std::wstring WriteTestFile(int frames) {
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    std::vector<BYTE> data(size_t(frames) * 4);
    auto* samples = reinterpret_cast<short*>(data.data());
    for (int i = 0; i < frames * 2; ++i)
        samples[i] = short((i * 7919 % 65536) - 32768);  // full scale, every value
    return WriteWave(format, data);
}

// A state record as the plug-in saves it, with the given phase.
ComPtr<IStream> SavedState(IBaseFilter* plugIn, int phase) {
    ComPtr<IVxPlugInProp> prop;
    ComPtr<IPersistStream> persist;
    ComPtr<IStream> stream;
    plugIn->QueryInterface(IID_IVxPlugInProp, prop.PutVoid());
    plugIn->QueryInterface(IID_IPersistStream, persist.PutVoid());
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    prop->SetPhase(phase, 0);
    persist->Save(stream.Get(), FALSE);
    return stream;
}

HRESULT Rewound(IStream* stream) {
    const LARGE_INTEGER start = {};
    return stream->Seek(start, STREAM_SEEK_SET, nullptr);
}

// The plug-in between File Source → WAVE Parser and Sample Grabber → Null Renderer.
struct Chain {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> plugIn;
    CGrabberCallback callback;

    bool Build(const std::wstring& file) {
        if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IGraphBuilder, graph.PutVoid())))
            return false;
        if (FAILED(CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    plugIn.PutVoid())) ||
            FAILED(graph->AddFilter(plugIn.Get(), L"tw:Phase")))
            return false;
        const ComPtr<IPin> upstream = AddWaveFile(graph.Get(), file);
        IBaseFilter* grabber = AddWine(graph.Get(), kSampleGrabber, L"Grabber");
        IBaseFilter* renderer = AddWine(graph.Get(), kNullRenderer, L"Renderer");
        if (!upstream || !grabber || !renderer || FAILED(callback.Attach(grabber))) return false;
        return SUCCEEDED(graph->ConnectDirect(upstream.Get(), PinOf(plugIn.Get(), PINDIR_INPUT).Get(), nullptr)) &&
               SUCCEEDED(graph->ConnectDirect(PinOf(plugIn.Get(), PINDIR_OUTPUT).Get(),
                                              PinOf(grabber, PINDIR_INPUT).Get(), nullptr)) &&
               SUCCEEDED(graph->ConnectDirect(PinOf(grabber, PINDIR_OUTPUT).Get(),
                                              PinOf(renderer, PINDIR_INPUT).Get(), nullptr));
    }
    ~Chain() { callback.Detach(); }
};

// Committed private memory, from the address space itself: Wine reports no process counters.
SIZE_T PrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region = {};
    for (const BYTE* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize < address) break;
    }
    return total;
}

// How many kernel handles are open, roughly: new handles take the lowest free slots, so the
// highest of a batch of new ones rises with every handle left open.
DWORD Handles() {
    HANDLE probes[64];
    UINT_PTR highest = 0;
    for (HANDLE& probe : probes) {
        probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        highest = std::max(highest, reinterpret_cast<UINT_PTR>(probe) / 4);
    }
    for (HANDLE probe : probes) CloseHandle(probe);
    return DWORD(highest);
}

class Soak : public PlugInComTest {};

}  // namespace

// What a run of cycles leaves behind, after a few to warm up.
struct Growth {
    SIZE_T memory;
    long handles;
};
Growth Measure(int cycles, const std::function<void(int)>& cycle) {
    for (int i = 0; i < 5; ++i) cycle(i);
    const SIZE_T memory = PrivateBytes();
    const DWORD handles = Handles();
    for (int i = 0; i < cycles; ++i) cycle(i);
    return {PrivateBytes() > memory ? PrivateBytes() - memory : 0,
            long(Handles()) - long(handles)};
}

// Wine's own graph keeps a handle per graph made: the same cycles without the plug-in measure
// what is not ours.
Growth WineAlone(int cycles, const std::wstring& file) {
    return Measure(cycles, [&](int) {
        ComPtr<IGraphBuilder> graph;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IGraphBuilder, graph.PutVoid()));
        const ComPtr<IPin> upstream = AddWaveFile(graph.Get(), file);
        IBaseFilter* renderer = AddWine(graph.Get(), kNullRenderer, L"Renderer");
        ASSERT_EQ(S_OK, graph->ConnectDirect(upstream.Get(), PinOf(renderer, PINDIR_INPUT).Get(), nullptr));
        GraphRun run(graph.Get());
        ASSERT_EQ(S_OK, run.WaitForCompletion(10000));
        EXPECT_EQ(S_OK, run.Stop());
    });
}

TEST_F(Soak, CyclesOfTheWholeLifeLeaveNothingBehind) {
    const int cycles = Setting("TW_SOAK_CYCLES", 60);
    const std::wstring file = WriteTestFile(4096);
    const Growth wine = WineAlone(cycles, file);
    const Growth ours = Measure(cycles, [&](int cycle) {
        Chain chain;
        ASSERT_TRUE(chain.Build(file)) << "cycle " << cycle;
        // Between runs a host loads states and writes automation.
        ComPtr<IStream> state = SavedState(chain.plugIn.Get(), cycle % 360 - 180);
        ComPtr<IPersistStream> persist;
        ComPtr<IMediaParamsSdk> params;
        ASSERT_EQ(S_OK, chain.plugIn.As(IID_IPersistStream, &persist));
        ASSERT_EQ(S_OK, chain.plugIn.As(IID_IMediaParams, &params));
        Rewound(state.Get());
        ASSERT_EQ(S_OK, persist->Load(state.Get()));
        MP_ENVELOPE_SEGMENT segment = {0, 900000, 0.0f, 1.0f, MP_CURVE_LINEAR, 0};
        ASSERT_EQ(S_OK, params->AddEnvelope(DWORD(cycle % 6), 1, &segment));
        GraphRun run(chain.graph.Get());
        ASSERT_EQ(S_OK, run.WaitForCompletion(10000)) << "cycle " << cycle;
        EXPECT_EQ(S_OK, run.Stop());
        std::lock_guard<std::mutex> guard(chain.callback.lock);
        EXPECT_EQ(4096u * 4, chain.callback.data.size());
    });
    DeleteFileW(file.c_str());
    // Flat: no handle and well under a kilobyte per cycle beyond Wine's own.
    EXPECT_LE(ours.handles, wine.handles + 8) << "Wine's graph alone: " << wine.handles;
    EXPECT_LE(ours.memory, wine.memory + SIZE_T(cycles) * 256 + 256 * 1024)
        << "Wine's graph alone: " << wine.memory;
}

// An analysis page's life, again and again: the interface there, connect, stream, read what
// the stream gave, disconnect; and each filter's tap gone with the filter.
TEST_F(Soak, AnalysisTapCyclesLeaveNothingBehind) {
    const int cycles = 100;
    const std::wstring file = WriteTestFile(4096);
    const Growth wine = WineAlone(cycles, file);
    const Growth ours = Measure(cycles, [&](int cycle) {
        Chain chain;
        ASSERT_TRUE(chain.Build(file)) << "cycle " << cycle;
        ComPtr<IPhaseAnalysisTap> tap;
        ASSERT_EQ(S_OK, chain.plugIn.As(IID_IPhaseAnalysisTap, &tap));
        TapSnapshot snapshot;
        EXPECT_EQ(VFW_E_WRONG_STATE, tap->GetSnapshot(&snapshot));
        EXPECT_EQ(E_INVALIDARG, tap->Connect(kTapMaxWindowSeconds + 1));
        ASSERT_EQ(S_OK, tap->Connect(kTapDefaultWindowSeconds));
        GraphRun run(chain.graph.Get());
        ASSERT_EQ(S_OK, run.WaitForCompletion(10000)) << "cycle " << cycle;
        EXPECT_EQ(S_OK, run.Stop());
        ASSERT_EQ(S_OK, tap->GetSnapshot(&snapshot));
        EXPECT_EQ(4096.0, snapshot.sums.frames) << "cycle " << cycle;
        EXPECT_EQ(S_FALSE, tap->GetSnapshot(&snapshot));
        EXPECT_EQ(S_OK, tap->Disconnect());
        EXPECT_EQ(S_FALSE, tap->Disconnect());
    });
    DeleteFileW(file.c_str());
    EXPECT_LE(ours.handles, wine.handles + 8) << "Wine's graph alone: " << wine.handles;
    EXPECT_LE(ours.memory, wine.memory + SIZE_T(cycles) * 256 + 256 * 1024)
        << "Wine's graph alone: " << wine.memory;
}

TEST_F(Soak, StreamingWhileOtherThreadsChangeEverything) {
    const int seconds = Setting("TW_SOAK_SECONDS", 2);
    const std::wstring file = WriteTestFile(44100 * 60);
    Chain chain;
    ASSERT_TRUE(chain.Build(file));
    ComPtr<IVxPlugInProp> prop;
    ComPtr<IPersistStream> persist;
    ComPtr<IMediaParamsSdk> params;
    ComPtr<IStaticFilterPreset> presets;
    ASSERT_EQ(S_OK, chain.plugIn.As(IID_IVxPlugInProp, &prop));
    ASSERT_EQ(S_OK, chain.plugIn.As(IID_IPersistStream, &persist));
    ASSERT_EQ(S_OK, chain.plugIn.As(IID_IMediaParams, &params));
    ASSERT_EQ(S_OK, chain.plugIn.As(IID_IStaticFilterPreset, &presets));

    std::atomic<bool> stop{false};
    std::atomic<long> changes{0};
    // Each hammer runs in the multithreaded apartment of the test, as a host's threads would.
    auto hammer = [&](std::function<void(unsigned)> change) {
        return std::thread([&, change] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            for (unsigned i = 1; !stop; ++i, ++changes) change(i * 2654435761u);
            CoUninitialize();
        });
    };
    std::vector<std::thread> threads;
    threads.push_back(hammer([&](unsigned r) {
        prop->SetPhase(int(r % 400) - 200, 1);
        prop->SetWidth(int(r % 250), 1);
        prop->SetOutput(int(r % 500) - 400, 1);
        prop->SetMode(int(r % 5), 1);
        prop->SetFilter(int(r % 2), 1);
        prop->SetMeterPost(int(r % 2), 1);
        prop->MarkUndo(int(r % 3) - 2);
        if (r % 7 == 0) prop->Undo();
        if (r % 11 == 0) prop->SelectSetup(int(r % 2));
        if (r % 13 == 0) prop->SetBypass(int(r % 2));
        prop->UpdateCoefficients();
    }));
    threads.push_back(hammer([&](unsigned r) {
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
        persist->Save(stream.Get(), TRUE);
        Rewound(stream.Get());
        persist->Load(stream.Get());
        presets->ApplyPreset(INT32(r % 2));
    }));
    threads.push_back(hammer([&](unsigned r) {
        MP_ENVELOPE_SEGMENT segment = {REFERENCE_TIME(r % 50000000), REFERENCE_TIME(r % 90000000),
                                       float(r % 100) / 99.0f, float(r % 37) / 36.0f,
                                       MP_CURVE_TYPE(1 << (r % 5)), 0};
        params->AddEnvelope(r % 6, 1, &segment);
        if (r % 5 == 0) params->FlushEnvelope(r % 6, 0, REFERENCE_TIME(r % 90000000));
        params->SetParam(r % 6, float(r % 101) / 100.0f);
        MP_DATA value = 0;
        params->GetParam(r % 6, &value);
    }));

    // The threads stop however the streaming below ends.
    struct Joiner {
        std::atomic<bool>& stop;
        std::vector<std::thread>& threads;
        ~Joiner() {
            stop = true;
            for (std::thread& t : threads) t.join();
        }
    };
    {
        Joiner joiner{stop, threads};
        // A long file streams while the threads work; the graph stops mid-stream at the end
        // of the time, or finishes first. Either way it must answer.
        GraphRun run(chain.graph.Get());
        const HRESULT completion = run.WaitForCompletion(DWORD(seconds) * 1000);
        EXPECT_TRUE(completion == S_OK || completion == E_ABORT) << std::hex << completion;
        EXPECT_EQ(S_OK, run.Stop());
    }
    {
        std::lock_guard<std::mutex> guard(chain.callback.lock);
        EXPECT_GT(chain.callback.data.size(), 0u);
        EXPECT_LE(chain.callback.data.size(), size_t(44100) * 60 * 4);
        EXPECT_EQ(0u, chain.callback.data.size() % 4);
    }
    EXPECT_GT(changes.load(), 100);
    ResetAll(presets, params, persist, prop);
    DeleteFileW(file.c_str());
}

