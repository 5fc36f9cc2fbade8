// The plug-in object on its own: interface map and reference counts, media-type rules,
// property pages, persistence and built-in presets.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "automation/win/MediaParams.h"
#include "base/win/ComPtr.h"
#include "engine/FormatRules.h"
#include "framework/MediaType.h"
#include "plugin/PluginGuids.h"
#include "plugin/VxPlugIn.h"

namespace {

// One plug-in object, held through its non-delegating unknown.
class PlugIn {
public:
    PlugIn() {
        HRESULT hr = S_OK;
        object_ = CVxPlugIn::CreateInstance(nullptr, &hr);
        EXPECT_EQ(hr, S_OK);
        object_->NonDelegatingAddRef();
        object_->NonDelegatingQueryInterface(IID_IVxPlugInProp, prop_.PutVoid());
        object_->NonDelegatingQueryInterface(IID_IBaseFilter, filter_.PutVoid());
        object_->NonDelegatingRelease();
    }
    template <typename T>
    ComPtr<T> Query(REFIID iid) {
        ComPtr<T> out;
        EXPECT_EQ(filter_.As(iid, &out), S_OK);
        return out;
    }
    CVxPlugIn* operator->() { return static_cast<CVxPlugIn*>(filter_.Get()); }
    IVxPlugInProp* prop() { return prop_.Get(); }
    IBaseFilter* filter() { return filter_.Get(); }

private:
    CUnknown* object_ = nullptr;
    ComPtr<IVxPlugInProp> prop_;
    ComPtr<IBaseFilter> filter_;
};

ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

struct AudioType {
    AM_MEDIA_TYPE mt = {};
    WAVEFORMATEX wf = {};
    AudioType(WORD tag, WORD bits, WORD channels, DWORD rate = 44100) {
        const WaveFormat format = MakeWaveFormat(tag, channels, rate, bits);
        std::memcpy(&wf, &format, sizeof wf);
        mt.majortype = MEDIATYPE_Audio;
        mt.subtype = MEDIASUBTYPE_PCM;
        mt.formattype = FORMAT_WaveFormatEx;
        mt.bFixedSizeSamples = TRUE;
        mt.cbFormat = sizeof wf;
        mt.pbFormat = reinterpret_cast<BYTE*>(&wf);
    }
};

ComPtr<IStream> MemoryStream(const void* bytes = nullptr, size_t size = 0) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    if (size) {
        stream->Write(bytes, static_cast<ULONG>(size), nullptr);
        LARGE_INTEGER zero = {};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    }
    return stream;
}

ULONGLONG Position(IStream* stream) {
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER pos = {};
    stream->Seek(zero, STREAM_SEEK_CUR, &pos);
    return pos.QuadPart;
}

std::vector<BYTE> Record(INT32 length, const GUID& tag, const std::vector<INT32>& values) {
    std::vector<BYTE> r(20 + values.size() * 4);
    std::memcpy(r.data(), &length, 4);
    std::memcpy(r.data() + 4, &tag, 16);
    std::memcpy(r.data() + 20, values.data(), values.size() * 4);
    return r;
}

ParamValues Params(IVxPlugInProp* prop) {
    ParamValues v = {};
    prop->GetParams(&v);
    return v;
}

}  // namespace

TEST(PlugInObject, StartsWithTheDefaultPresetAndAnswersItsInterfaceMap) {
    PlugIn p;
    EXPECT_EQ(Params(p.prop()), kDefaultParams);
    const IID own[] = {IID_IVxPlugInProp, IID_ISpecifyPropertyPages, IID_IPersistStream,
                       IID_IStaticFilterPreset, IID_IBaseFilter, IID_IMediaFilter,
                       IID_IPersist, IID_IAMovieSetup, IID_IUnknown};
    const ComPtr<IUnknown> identity = p.Query<IUnknown>(IID_IUnknown);
    const ULONG filterCount = RefCount(p.filter());
    for (const IID& iid : own) {
        const ComPtr<IUnknown> itf = p.Query<IUnknown>(iid);
        ASSERT_TRUE(itf);
        EXPECT_EQ(RefCount(p.filter()), filterCount + 1);
        ComPtr<IUnknown> back;
        itf.As(IID_IUnknown, &back);
        EXPECT_EQ(back.Get(), identity.Get());  // every interface reaches one identity
    }
    EXPECT_EQ(RefCount(p.filter()), filterCount);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(p.filter()->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(p.filter()->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(PlugInObject, AutomationInterfacesCountOnTheAutomationObject) {
    PlugIn p;
    CMediaParams* params = p->MediaParams();
    ASSERT_NE(params, nullptr);
    const ULONG filterCount = RefCount(p.filter());
    const ULONG paramsCount = RefCount(static_cast<IMediaParamsSdk*>(params));
    const IID automation[] = {IID_IMediaParams, IID_IMediaParamInfo,
                              IID_IMediaParamsSetUICallback, IID_IMediaParamsUICallback};
    std::vector<ComPtr<IUnknown>> held;
    for (const IID& iid : automation) held.push_back(p.Query<IUnknown>(iid));
    EXPECT_EQ(RefCount(p.filter()), filterCount);
    EXPECT_EQ(RefCount(static_cast<IMediaParamsSdk*>(params)), paramsCount + 4);
    // From an automation interface the filter's own interfaces are reachable too.
    ComPtr<IVxPlugInProp> prop;
    ASSERT_EQ(held[0].As(IID_IVxPlugInProp, &prop), S_OK);
    prop.Reset();
    held.clear();
    EXPECT_EQ(RefCount(static_cast<IMediaParamsSdk*>(params)), paramsCount);
}

TEST(PlugInObject, ClassIdAndPropertyPages) {
    PlugIn p;
    CLSID clsid = {};
    EXPECT_EQ(p.filter()->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TwPhase);
    EXPECT_EQ(p.filter()->GetClassID(nullptr), E_POINTER);
    const auto pages = p.Query<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    CAUUID list = {};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 2u);
    EXPECT_EQ(list.pElems[0], CLSID_TwPhasePropertyPage);  // the frame opens on the editor
    EXPECT_EQ(list.pElems[1], CLSID_TwPhaseAnalysisPage);
    CoTaskMemFree(list.pElems);
    EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
}

TEST(MediaTypes, InputRulesAcceptTheSupportedFormatsOnly) {
    PlugIn p;
    struct Case {
        WORD tag, bits, channels;
        DWORD rate;
        HRESULT expected;
    } cases[] = {
        {WAVE_FORMAT_PCM, 16, 1, 44100, S_OK},       {WAVE_FORMAT_PCM, 16, 2, 96000, S_OK},
        {WAVE_FORMAT_IEEE_FLOAT, 32, 2, 48000, S_OK}, {WAVE_FORMAT_IEEE_FLOAT, 64, 2, 44100, S_OK},
        {WAVE_FORMAT_PCM, 8, 2, 44100, E_INVALIDARG}, {WAVE_FORMAT_PCM, 24, 2, 44100, E_INVALIDARG},
        {WAVE_FORMAT_PCM, 16, 3, 44100, E_INVALIDARG}, {WAVE_FORMAT_PCM, 16, 0, 44100, E_INVALIDARG},
        {WAVE_FORMAT_IEEE_FLOAT, 16, 2, 44100, E_INVALIDARG},
        {WAVE_FORMAT_EXTENSIBLE, 16, 2, 44100, E_INVALIDARG},
        {WAVE_FORMAT_PCM, 16, 2, 0, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        AudioType t(c.tag, c.bits, c.channels, c.rate);
        EXPECT_EQ(p->CheckInputType(&t.mt), c.expected)
            << c.tag << " " << c.bits << " bits " << c.channels << " ch " << c.rate;
    }
    AudioType unusual(WAVE_FORMAT_PCM, 16, 2);
    unusual.mt.subtype = GUID_NULL;
    unusual.mt.formattype = FORMAT_None;
    EXPECT_EQ(p->CheckInputType(&unusual.mt), S_OK);  // only the major type is examined
    AudioType compressed(WAVE_FORMAT_PCM, 16, 2);
    compressed.mt.bTemporalCompression = TRUE;
    EXPECT_EQ(p->CheckInputType(&compressed.mt), E_INVALIDARG);
    AudioType video(WAVE_FORMAT_PCM, 16, 2);
    video.mt.majortype = MEDIATYPE_Video;
    EXPECT_EQ(p->CheckInputType(&video.mt), E_INVALIDARG);
    AudioType shortBlock(WAVE_FORMAT_PCM, 16, 2);
    shortBlock.mt.cbFormat = 14;
    EXPECT_EQ(p->CheckInputType(&shortBlock.mt), E_INVALIDARG);
    shortBlock.mt.cbFormat = 18;
    shortBlock.mt.pbFormat = nullptr;
    EXPECT_EQ(p->CheckInputType(&shortBlock.mt), E_INVALIDARG);
    AudioType misaligned(WAVE_FORMAT_PCM, 16, 2);
    misaligned.wf.nBlockAlign = 3;
    EXPECT_EQ(p->CheckInputType(&misaligned.mt), E_INVALIDARG);
    EXPECT_EQ(p->CheckInputType(nullptr), E_INVALIDARG);
}

TEST(MediaTypes, TransformsKeepTagDepthAndRateAndGoStereo) {
    PlugIn p;
    AudioType in(WAVE_FORMAT_PCM, 16, 1);
    AudioType stereo(WAVE_FORMAT_PCM, 16, 2);
    EXPECT_EQ(p->CheckTransform(&in.mt, &stereo.mt), S_OK);
    AudioType mono(WAVE_FORMAT_PCM, 16, 1);
    EXPECT_EQ(p->CheckTransform(&in.mt, &mono.mt), E_INVALIDARG);
    AudioType otherRate(WAVE_FORMAT_PCM, 16, 2, 48000);
    EXPECT_EQ(p->CheckTransform(&in.mt, &otherRate.mt), E_INVALIDARG);
    AudioType otherTag(WAVE_FORMAT_IEEE_FLOAT, 32, 2);
    EXPECT_EQ(p->CheckTransform(&in.mt, &otherTag.mt), E_INVALIDARG);

    // The output proposes nothing until the input is connected.
    AM_MEDIA_TYPE proposed = {};
    EXPECT_EQ(p->GetMediaType(0, &proposed), E_UNEXPECTED);

    AM_MEDIA_TYPE variant = {};
    ASSERT_EQ(CVxPlugIn::MakeStereoVariant(&in.mt, &variant), S_OK);
    const WAVEFORMATEX* f = reinterpret_cast<const WAVEFORMATEX*>(variant.pbFormat);
    EXPECT_EQ(f->nChannels, 2);
    EXPECT_EQ(f->nBlockAlign, 4);
    EXPECT_EQ(f->nAvgBytesPerSec, 4u * 44100);
    EXPECT_EQ(f->nSamplesPerSec, 44100u);
    EXPECT_EQ(variant.subtype, MEDIASUBTYPE_PCM);
    FreeMediaType(variant);
}

TEST(Persistence, SaveAndLoadRoundTripAndTheDirtyFlag) {
    PlugIn source, target;
    const auto save = source.Query<IPersistStream>(IID_IPersistStream);
    const auto load = target.Query<IPersistStream>(IID_IPersistStream);
    const ParamValues state = {{-45, 180, -120, 2, 0, 1}};
    source.prop()->SetParams(&state);

    ULARGE_INTEGER max = {};
    EXPECT_EQ(save->GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 44u);
    const ComPtr<IStream> stream = MemoryStream();
    ASSERT_EQ(save->Save(stream.Get(), FALSE), S_OK);
    EXPECT_EQ(Position(stream.Get()), 44u);
    EXPECT_EQ(save->IsDirty(), S_OK);  // not asked to clear
    ASSERT_EQ(save->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(save->IsDirty(), S_FALSE);
    ASSERT_EQ(save->Save(stream.Get(), FALSE), S_OK);
    EXPECT_EQ(save->IsDirty(), S_FALSE);  // a clean plug-in stays clean

    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(load->Load(stream.Get()), S_OK);
    EXPECT_EQ(Params(target.prop()), state);
    EXPECT_EQ(load->IsDirty(), S_OK);
}

TEST(Persistence, OlderRecordsLoadAndBadOnesChangeNothing) {
    PlugIn p;
    const auto persist = p.Query<IPersistStream>(IID_IPersistStream);
    p.prop()->SetFilter(1, FALSE);
    {
        // 40 bytes: five values, Filter off; exactly 40 bytes are consumed.
        auto r = Record(40, IID_IVxPlugInProp, {500, 150, -20, 3, 0});
        r.push_back(0xAB);
        const ComPtr<IStream> s = MemoryStream(r.data(), r.size());
        ASSERT_EQ(persist->Load(s.Get()), S_OK);
        EXPECT_EQ(Position(s.Get()), 40u);
        EXPECT_EQ(Params(p.prop()), (ParamValues{{180, 150, -20, 3, 0, 0}}));
    }
    const ParamValues before = Params(p.prop());
    {
        auto r = Record(48, IID_IVxPlugInProp, {1, 2, 3, 4, 0, 1, 7});
        const ComPtr<IStream> s = MemoryStream(r.data(), r.size());
        EXPECT_EQ(persist->Load(s.Get()), E_FAIL);
        EXPECT_EQ(Position(s.Get()), 20u);
    }
    {
        auto r = Record(44, IID_IPersistStream, {1, 2, 3, 1, 0, 1});
        const ComPtr<IStream> s = MemoryStream(r.data(), r.size());
        EXPECT_EQ(persist->Load(s.Get()), E_FAIL);
    }
    {
        // Truncated: the stream ends inside the parameter block.
        auto r = Record(44, IID_IVxPlugInProp, {1, 2, 3});
        const ComPtr<IStream> s = MemoryStream(r.data(), r.size());
        EXPECT_EQ(persist->Load(s.Get()), E_FAIL);
    }
    {
        const ComPtr<IStream> s = MemoryStream("\x2c\0\0", 3);
        EXPECT_EQ(persist->Load(s.Get()), E_FAIL);
    }
    EXPECT_EQ(Params(p.prop()), before);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

TEST(FactoryPresets, NamesAndApplying) {
    PlugIn p;
    const auto presets = p.Query<IStaticFilterPreset>(IID_IStaticFilterPreset);
    INT32 count = 0;
    EXPECT_EQ(presets->GetPresetCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    WCHAR name[64];
    EXPECT_EQ(presets->GetPresetName(0, name, 64), S_OK);
    EXPECT_STREQ(name, L"(Default)");
    EXPECT_EQ(presets->GetPresetName(1, name, 64), S_OK);
    EXPECT_STREQ(name, L"[1] Full Reset");
    EXPECT_EQ(presets->GetPresetName(1, name, 4), S_OK);
    EXPECT_EQ(name[3], L'\0');  // truncated but terminated
    EXPECT_EQ(presets->GetPresetName(2, name, 64), E_INVALIDARG);
    EXPECT_EQ(presets->GetPresetName(-1, name, 64), E_INVALIDARG);

    const auto persist = p.Query<IPersistStream>(IID_IPersistStream);
    persist->Save(MemoryStream().Get(), TRUE);
    const ParamValues odd = {{90, 20, -300, 3, 0, 1}};
    p.prop()->SetParams(&odd);
    persist->Save(MemoryStream().Get(), TRUE);
    EXPECT_EQ(presets->ApplyPreset(1), S_OK);
    EXPECT_EQ(Params(p.prop()), (ParamValues{{0, 100, 0, 0, 1, 0}}));
    EXPECT_EQ(persist->IsDirty(), S_OK);
    EXPECT_EQ(presets->ApplyPreset(5), E_INVALIDARG);
}

TEST(PlugInObject, EngineGettersRefuseNullAndFormatsWaitForTheirPins) {
    PlugIn p;
    IVxPlugInProp* prop = p.prop();
    EXPECT_EQ(prop->GetParams(nullptr), E_POINTER);
    EXPECT_EQ(prop->SetParams(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetPhase(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetWidth(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetOutput(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetMode(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetMeterPost(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetFilter(nullptr), E_POINTER);
    EXPECT_EQ(prop->GetFormat(0, nullptr), E_POINTER);
    WAVEFORMATEX f = {};
    EXPECT_EQ(prop->GetFormat(0, &f), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(prop->GetFormat(1, &f), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(prop->GetFormat(2, &f), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(prop->OwnerQuery(), 1);
    EXPECT_EQ(prop->GetPresetId(), -1);
    // Setters clamp rather than fail, through the interface as well.
    EXPECT_EQ(prop->SetOutput(-1000, FALSE), S_OK);
    int output = 0;
    prop->GetOutput(&output);
    EXPECT_EQ(output, -361);
}

namespace {

// The WM_COMMAND codes posted to a window, collected from the thread's message queue.
std::vector<WPARAM> PostedCommands(HWND window) {
    std::vector<WPARAM> commands;
    MSG msg;
    while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        commands.push_back(msg.wParam);
    return commands;
}

}  // namespace

TEST(PlugInObject, FormatsAreNormalisedAndAnnouncedToEditorWindows) {
    PlugIn p;
    HWND editor = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(p.prop()->SetNotifyWindow(editor, 32700), S_OK);

    AudioType in(WAVE_FORMAT_IEEE_FLOAT, 32, 1, 48000);
    in.wf.nAvgBytesPerSec = 1;  // a wrong byte rate is recomputed
    in.wf.cbSize = 22;
    ASSERT_EQ(p->SetMediaType(PINDIR_INPUT, &in.mt), S_OK);
    WAVEFORMATEX f = {};
    ASSERT_EQ(p.prop()->GetFormat(0, &f), S_OK);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.nAvgBytesPerSec, 4u * 48000);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_EQ(p->MediaParams()->SampleRate(), 48000);
    EXPECT_EQ(p.prop()->GetFormat(1, &f), VFW_E_NOT_CONNECTED);
    AudioType out(WAVE_FORMAT_IEEE_FLOAT, 32, 2, 48000);
    ASSERT_EQ(p->SetMediaType(PINDIR_OUTPUT, &out.mt), S_OK);
    EXPECT_EQ(p.prop()->GetFormat(1, &f), S_OK);
    EXPECT_EQ(PostedCommands(editor),
              (std::vector<WPARAM>{MAKEWPARAM(32700, 0), MAKEWPARAM(32700, 1)}));

    // A loaded state is announced with code 100.
    const auto persist = p.Query<IPersistStream>(IID_IPersistStream);
    const ComPtr<IStream> s = MemoryStream();
    persist->Save(s.Get(), TRUE);
    LARGE_INTEGER zero = {};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(persist->Load(s.Get()), S_OK);
    EXPECT_EQ(PostedCommands(editor), (std::vector<WPARAM>{MAKEWPARAM(32700, 100)}));

    // A window destroyed without unregistering is dropped, making room for another.
    DestroyWindow(editor);
    ASSERT_EQ(persist->Load(s.Get()), E_FAIL);  // the stream is at its end: nothing loads
    AudioType again(WAVE_FORMAT_IEEE_FLOAT, 32, 2, 44100);
    ASSERT_EQ(p->SetMediaType(PINDIR_INPUT, &again.mt), S_OK);
    HWND other1 = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
    HWND other2 = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
    EXPECT_EQ(p.prop()->SetNotifyWindow(other1, 1), S_OK);
    EXPECT_EQ(p.prop()->SetNotifyWindow(other2, 2), S_OK);
    DestroyWindow(other1);
    DestroyWindow(other2);
}
