// Every host-facing entry point of the real DLL given null pointers, bad sizes and indices out
// of range, in every filter state: each answers with its precise error code and changes
// nothing.
#include <functional>

#include "automation/win/MediaParamsInterfaces.h"
#include "engine/win/VxPlugInProp.h"
#include "plugin/StaticFilterPreset.h"
#include "tests/plugin/PlugInComSupport.h"
#include "tests/support/WineGraph.h"

using namespace twtest;

namespace {

struct Call {
    std::string what;
    HRESULT expected;
    std::function<HRESULT()> call;
};

// The plug-in's interfaces and pins.
struct Target {
    ComPtr<IBaseFilter> filter;
    ComPtr<IPin> in, out;
    ComPtr<IMemInputPin> memIn;
    ComPtr<IPersistStream> persist;
    ComPtr<ISpecifyPropertyPages> pages;
    ComPtr<IMediaParamsSdk> params;
    ComPtr<IMediaParamInfo> info;
    ComPtr<IStaticFilterPreset> presets;
    ComPtr<IVxPlugInProp> prop;

    explicit Target(const ComPtr<IBaseFilter>& plugIn) : filter(plugIn) {
        filter->FindPin(L"In", in.Put());
        filter->FindPin(L"Out", out.Put());
        in.As(IID_IMemInputPin, &memIn);
        filter.As(IID_IPersistStream, &persist);
        filter.As(IID_ISpecifyPropertyPages, &pages);
        filter.As(IID_IMediaParams, &params);
        filter.As(IID_IMediaParamInfo, &info);
        filter.As(IID_IStaticFilterPreset, &presets);
        filter.As(IID_IVxPlugInProp, &prop);
    }

    std::vector<Call> Calls() {
        static WCHAR name[64];
        static MP_ENVELOPE_SEGMENT segment = {0, 10, 0.5f, 0.5f, MP_CURVE_JUMP, 0};
        static const GUID kNoFormat = {0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        std::vector<Call> calls = {
            {"filter GetClassID(null)", E_POINTER, [=] { return filter->GetClassID(nullptr); }},
            {"filter GetState(null)", E_POINTER, [=] { return filter->GetState(0, nullptr); }},
            {"filter EnumPins(null)", E_POINTER, [=] { return filter->EnumPins(nullptr); }},
            {"filter FindPin(null id)", E_POINTER, [=] { IPin* p; return filter->FindPin(nullptr, &p); }},
            {"filter FindPin(null out)", E_POINTER, [=] { return filter->FindPin(L"In", nullptr); }},
            {"filter FindPin(unknown)", VFW_E_NOT_FOUND, [=] { IPin* p; return filter->FindPin(L"Side", &p); }},
            {"filter QueryFilterInfo(null)", E_POINTER, [=] { return filter->QueryFilterInfo(nullptr); }},
            {"filter GetSyncSource(null)", E_POINTER, [=] { return filter->GetSyncSource(nullptr); }},
            {"persist Load(null)", E_POINTER, [=] { return persist->Load(nullptr); }},
            {"persist Save(null)", E_POINTER, [=] { return persist->Save(nullptr, FALSE); }},
            {"persist GetSizeMax(null)", E_POINTER, [=] { return persist->GetSizeMax(nullptr); }},
            {"pages GetPages(null)", E_POINTER, [=] { return pages->GetPages(nullptr); }},
            {"params GetParam(6)", E_INVALIDARG, [=] { MP_DATA v; return params->GetParam(6, &v); }},
            {"params GetParam(null)", E_POINTER, [=] { return params->GetParam(0, nullptr); }},
            {"params SetParam(6)", E_INVALIDARG, [=] { return params->SetParam(6, 0.5f); }},
            {"params AddEnvelope(6)", E_INVALIDARG, [=] { return params->AddEnvelope(6, 1, &segment); }},
            {"params AddEnvelope(null)", E_POINTER, [=] { return params->AddEnvelope(0, 1, nullptr); }},
            {"params FlushEnvelope(6)", E_INVALIDARG, [=] { return params->FlushEnvelope(6, 0, 10); }},
            {"params SetTimeFormat(unknown)", E_INVALIDARG, [=] { return params->SetTimeFormat(kNoFormat, 0); }},
            {"info GetParamCount(null)", E_POINTER, [=] { return info->GetParamCount(nullptr); }},
            {"info GetParamInfo(6)", E_INVALIDARG, [=] { MP_PARAMINFO i; return info->GetParamInfo(6, &i); }},
            {"info GetParamInfo(null)", E_POINTER, [=] { return info->GetParamInfo(0, nullptr); }},
            {"info GetParamText(6)", E_INVALIDARG, [=] { WCHAR* t; return info->GetParamText(6, &t); }},
            {"info GetParamText(null)", E_POINTER, [=] { return info->GetParamText(0, nullptr); }},
            {"info GetNumTimeFormats(null)", E_POINTER, [=] { return info->GetNumTimeFormats(nullptr); }},
            {"info GetSupportedTimeFormat(9)", E_INVALIDARG, [=] { GUID g; return info->GetSupportedTimeFormat(9, &g); }},
            {"info GetSupportedTimeFormat(null)", E_POINTER, [=] { return info->GetSupportedTimeFormat(0, nullptr); }},
            {"info GetCurrentTimeFormat(null)", E_POINTER, [=] { return info->GetCurrentTimeFormat(nullptr, nullptr); }},
            {"presets GetPresetCount(null)", E_POINTER, [=] { return presets->GetPresetCount(nullptr); }},
            {"presets GetPresetName(99)", E_INVALIDARG, [=] { return presets->GetPresetName(99, name, 64); }},
            {"presets GetPresetName(-1)", E_INVALIDARG, [=] { return presets->GetPresetName(-1, name, 64); }},
            {"presets GetPresetName(null)", E_POINTER, [=] { return presets->GetPresetName(0, nullptr, 64); }},
            {"presets GetPresetName(size 0)", S_OK, [=] { return presets->GetPresetName(0, name, 0); }},
            {"presets ApplyPreset(-1)", E_INVALIDARG, [=] { return presets->ApplyPreset(-1); }},
            {"presets ApplyPreset(99)", E_INVALIDARG, [=] { return presets->ApplyPreset(99); }},
            {"prop GetParams(null)", E_POINTER, [=] { return prop->GetParams(nullptr); }},
            {"prop SetParams(null)", E_POINTER, [=] { return prop->SetParams(nullptr); }},
            {"prop GetFormat(2)", VFW_E_NOT_CONNECTED, [=] { WAVEFORMATEX f; return prop->GetFormat(2, &f); }},
            {"prop GetFormat(null)", E_POINTER, [=] { return prop->GetFormat(0, nullptr); }},
            {"prop GetPhase(null)", E_POINTER, [=] { return prop->GetPhase(nullptr); }},
            {"prop GetWidth(null)", E_POINTER, [=] { return prop->GetWidth(nullptr); }},
            {"prop GetOutput(null)", E_POINTER, [=] { return prop->GetOutput(nullptr); }},
            {"prop GetMode(null)", E_POINTER, [=] { return prop->GetMode(nullptr); }},
            {"prop GetMeterPost(null)", E_POINTER, [=] { return prop->GetMeterPost(nullptr); }},
            {"prop GetFilter(null)", E_POINTER, [=] { return prop->GetFilter(nullptr); }},
            {"mem GetAllocator(null)", E_POINTER, [=] { return memIn->GetAllocator(nullptr); }},
            {"mem NotifyAllocator(null)", E_POINTER, [=] { return memIn->NotifyAllocator(nullptr, FALSE); }},
            {"mem Receive(null)", E_POINTER, [=] { return memIn->Receive(nullptr); }},
            {"mem ReceiveMultiple(null)", E_POINTER, [=] { long n; return memIn->ReceiveMultiple(nullptr, 1, &n); }},
            {"mem GetAllocatorRequirements(null)", E_NOTIMPL, [=] { return memIn->GetAllocatorRequirements(nullptr); }},
        };
        for (IPin* pin : {in.Get(), out.Get()}) {
            const std::string side = pin == in.Get() ? "in " : "out ";
            auto add = [&](const char* what, HRESULT expected, std::function<HRESULT()> call) {
                calls.push_back({side + what, expected, call});
            };
            add("Connect(null)", E_POINTER, [=] { return pin->Connect(nullptr, nullptr); });
            add("ReceiveConnection(null)", E_POINTER, [=] { return pin->ReceiveConnection(nullptr, nullptr); });
            add("ConnectedTo(null)", E_POINTER, [=] { return pin->ConnectedTo(nullptr); });
            add("ConnectionMediaType(null)", E_POINTER, [=] { return pin->ConnectionMediaType(nullptr); });
            add("QueryPinInfo(null)", E_POINTER, [=] { return pin->QueryPinInfo(nullptr); });
            add("QueryDirection(null)", E_POINTER, [=] { return pin->QueryDirection(nullptr); });
            add("QueryId(null)", E_POINTER, [=] { return pin->QueryId(nullptr); });
            add("QueryAccept(null)", E_POINTER, [=] { return pin->QueryAccept(nullptr); });
            add("EnumMediaTypes(null)", E_POINTER, [=] { return pin->EnumMediaTypes(nullptr); });
        }
        return calls;
    }
};

class EntryPoints : public PlugInComTest {
protected:
    // Runs every call and checks its result, then that nothing changed.
    void ExpectEveryCallRefused(Target& target, const char* state) {
        ParamValues before = {}, after = {};
        FILTER_STATE stateBefore = State_Stopped, stateAfter = State_Stopped;
        ASSERT_EQ(S_OK, target.prop->GetParams(&before));
        target.filter->GetState(0, &stateBefore);
        for (const Call& call : target.Calls())
            EXPECT_EQ(call.expected, call.call()) << call.what << " while " << state;
        ASSERT_EQ(S_OK, target.prop->GetParams(&after));
        target.filter->GetState(0, &stateAfter);
        EXPECT_EQ(before, after) << state;
        EXPECT_EQ(stateBefore, stateAfter) << state;
    }
};

}  // namespace

TEST_F(EntryPoints, RefuseBadArgumentsInEveryState) {
    {
        ComPtr<IBaseFilter> alone = CreatePlugIn();
        Target target(alone);
        ExpectEveryCallRefused(target, "alone");
    }
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    const std::wstring file = WriteWave(format, std::vector<BYTE>(44100 * 4 * 20));
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGraphBuilder, graph.PutVoid()));
    ComPtr<IBaseFilter> plugIn = CreatePlugIn();
    ASSERT_EQ(S_OK, graph->AddFilter(plugIn.Get(), L"tw:Phase"));
    ComPtr<IPin> upstream = AddWaveFile(graph.Get(), file);
    IBaseFilter* renderer = AddWine(graph.Get(), kNullRenderer, L"Renderer");
    Target target(plugIn);
    ASSERT_EQ(S_OK, graph->ConnectDirect(upstream.Get(), target.in.Get(), nullptr));
    ASSERT_EQ(S_OK, graph->ConnectDirect(target.out.Get(), PinOf(renderer, PINDIR_INPUT).Get(), nullptr));
    ExpectEveryCallRefused(target, "connected");
    ComPtr<IMediaControl> control;
    ASSERT_EQ(S_OK, graph.As(IID_IMediaControl, &control));
    control->Pause();
    ExpectEveryCallRefused(target, "paused");
    control->Run();
    ExpectEveryCallRefused(target, "running");
    EXPECT_EQ(S_OK, control->Stop());
    // Wine's parser pins go with their graph: no reference to one may outlive it.
    upstream.Reset();
    control.Reset();
    graph.Reset();
    DeleteFileW(file.c_str());
}

