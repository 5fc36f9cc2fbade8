// CVxPlugIn: construction, the interface map, format negotiation, buffer sizing, streaming
// and property pages. Persistence and presets are in StatePersistence.cpp.
#include "plugin/VxPlugIn.h"

#include <cstring>
#include <new>

#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "engine/FormatRules.h"
#include "framework/MediaType.h"
#include "framework/PinCreation.h"
#include "framework/TransformInputPin.h"
#include "framework/TransformOutputPin.h"
#include "plugin/FilterSetup.h"
#include "plugin/PluginGuids.h"
#include "plugin/VxPlugInInputPin.h"

namespace {

constexpr ULONG kWaveFormatCoreBytes = 16;  // WAVEFORMATEX up to wBitsPerSample
constexpr LONG kMinOutputBufferBytes = 512;

const WAVEFORMATEX* WaveFormatOf(const AM_MEDIA_TYPE* type) {
    if (!type || !type->pbFormat || type->cbFormat < kWaveFormatCoreBytes) return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
}

bool IsUncompressedAudio(const AM_MEDIA_TYPE* type) {
    return type && type->majortype == MEDIATYPE_Audio && !type->bTemporalCompression;
}

bool IsExtensible(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
}

// The plain record the type's format block stands for (its first 16 bytes, with the plain tag
// of an extensible block's PCM or float subformat); false when there is none.
bool PlainFormatOf(const AM_MEDIA_TYPE* type, WaveFormat* plain) {
    return WaveFormatOf(type) && PlainFormatOfBlock(type->pbFormat, type->cbFormat, plain);
}

// The copy the engine works with: block alignment and byte rate follow from the sample size.
WaveFormat Normalised(const WaveFormat& f) {
    return MakeWaveFormat(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample);
}

}  // namespace

CUnknown* WINAPI CVxPlugIn::CreateInstance(LPUNKNOWN outer, HRESULT* hr) {
    CVxPlugIn* plugIn = new (std::nothrow) CVxPlugIn(outer, hr);
    if (!plugIn && hr) *hr = E_OUTOFMEMORY;
    return plugIn;
}

// The automation object answers for this identity: it asks the owner for anything but its own
// four interfaces. Its envelopes take the defaults as set values.
CVxPlugIn::CVxPlugIn(LPUNKNOWN outer, HRESULT* hr)
    : CTransformFilter(nullptr, outer, CLSID_TwPhase), CAudioTransform(GetOwner()) {
    const HRESULT created = CreateMediaParams(m_mediaParams.Put(), GetOwner());
    if (FAILED(created)) {
        if (hr) *hr = created;
    } else {
        Params().SetAutomation(m_mediaParams->Engine());
    }
    Params().SetParams(kDefaultParams);
}

// The automation object may outlive the filter in a host's hands: from here on it must not
// pass requests to this object, and the engine no longer reaches it.
CVxPlugIn::~CVxPlugIn() {
    if (m_mediaParams) m_mediaParams->DetachOwner();
    Params().SetAutomation(nullptr);
    DropTypeToDeliver();
}

STDMETHODIMP CVxPlugIn::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IVxPlugInProp) return GetInterface(static_cast<IVxPlugInProp*>(this), out);
    if (iid == IID_IPhaseAnalysisTap)
        return GetInterface(static_cast<IPhaseAnalysisTap*>(&m_analysisTap), out);
    if (iid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
    if (iid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), out);
    if (iid == IID_IStaticFilterPreset)
        return GetInterface(static_cast<IStaticFilterPreset*>(this), out);
    if (CMediaParams* params = m_mediaParams.Get()) {
        // These carry the automation object's own reference count.
        if (iid == IID_IMediaParams)
            return GetInterface(static_cast<IMediaParamsSdk*>(params), out);
        if (iid == IID_IMediaParamInfo)
            return GetInterface(static_cast<IMediaParamInfo*>(params), out);
        if (iid == IID_IMediaParamsSetUICallback)
            return GetInterface(static_cast<IMediaParamsSetUICallback*>(params), out);
        if (iid == IID_IMediaParamsUICallback)
            return GetInterface(static_cast<IMediaParamsUICallback*>(params), out);
    }
    return CTransformFilter::NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP CVxPlugIn::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_TwPhase;
    return S_OK;
}

STDMETHODIMP CVxPlugIn::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    // The editor first: a host's frame opens on it; the analysis page is the second tab.
    const GUID kPages[] = {CLSID_TwPhasePropertyPage, CLSID_TwPhaseAnalysisPage};
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof kPages));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->cElems = 2;
    for (ULONG i = 0; i < 2; ++i) pages->pElems[i] = kPages[i];
    return S_OK;
}

CBasePin* CVxPlugIn::GetPin(int n) {
    CreatePinOnce(m_pInput,
                  [this](HRESULT* hr) { return new (std::nothrow) CVxPlugInInputPin(this, hr); });
    CreatePinOnce(m_pOutput, [this](HRESULT* hr) {
        return new (std::nothrow) CTransformOutputPin(nullptr, this, hr, L"Output");
    });
    if (n == 0) return static_cast<CBasePin*>(m_pInput);
    if (n == 1) return static_cast<CBasePin*>(m_pOutput);
    return nullptr;
}

const AMOVIESETUP_FILTER* CVxPlugIn::GetSetupData() { return &kTwPhaseFilterSetup; }

HRESULT CVxPlugIn::Transform(IMediaSample*, IMediaSample*) {
    return E_INVALIDARG;  // Receive does the work; this two-sample form is never used
}

// An extensible input (PCM 16-bit or float 32/64-bit, valid bits filling the container) is
// taken as the plain format it stands for; hosts and parsers that describe every format that
// way (Wine's WAVE Parser does for float files) can then use the plug-in.
HRESULT CVxPlugIn::CheckInputType(const AM_MEDIA_TYPE* type) {
    WaveFormat f = {};
    if (!IsUncompressedAudio(type) || !PlainFormatOf(type, &f)) return E_INVALIDARG;
    return IsProcessableFormat(f) ? S_OK : E_INVALIDARG;
}

// Input and output are in the same form, plain or extensible, so that an extensible input is
// delivered extensible too.
HRESULT CVxPlugIn::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) {
    WaveFormat fin = {}, fout = {};
    if (!IsUncompressedAudio(in) || !IsUncompressedAudio(out) || !PlainFormatOf(in, &fin) ||
        !PlainFormatOf(out, &fout))
        return E_INVALIDARG;
    if (IsExtensible(*WaveFormatOf(in)) != IsExtensible(*WaveFormatOf(out)) ||
        fout.wFormatTag != fin.wFormatTag || fout.wBitsPerSample != fin.wBitsPerSample ||
        fout.nSamplesPerSec != fin.nSamplesPerSec || fout.nChannels != 2)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CVxPlugIn::MakeStereoVariant(const AM_MEDIA_TYPE* source, AM_MEDIA_TYPE* stereo) {
    const WAVEFORMATEX* sourceFormat = WaveFormatOf(source);
    if (!sourceFormat) return E_INVALIDARG;
    const bool extensible =
        IsExtensible(*sourceFormat) && source->cbFormat >= kWaveFormatExtensibleBytes;
    const HRESULT hr = CopyMediaType(stereo, source);
    if (FAILED(hr)) return hr;
    WAVEFORMATEX* f = reinterpret_cast<WAVEFORMATEX*>(stereo->pbFormat);
    WaveFormat core = {};
    std::memcpy(&core, f, kWaveFormatCoreBytes);
    const WaveFormat output = StereoOutputOf(core);
    if (extensible) {
        // The extensible fields stay; the channels become front left and right.
        reinterpret_cast<WAVEFORMATEXTENSIBLE*>(f)->dwChannelMask =
            SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    } else if (stereo->cbFormat > kWaveFormatCoreBytes) {
        f->cbSize = 0;
    }
    f->nChannels = output.nChannels;
    f->nBlockAlign = output.nBlockAlign;
    f->nAvgBytesPerSec = output.nAvgBytesPerSec;
    return S_OK;
}

HRESULT CVxPlugIn::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (!m_pInput || !static_cast<CBasePin*>(m_pInput)->GetConnected()) return E_UNEXPECTED;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (!type) return E_POINTER;
    return MakeStereoVariant(&static_cast<CBasePin*>(m_pInput)->CurrentMediaType(), type);
}

HRESULT CVxPlugIn::CompleteConnect(PIN_DIRECTION direction, IPin*) {
    if (direction == PINDIR_OUTPUT) return S_OK;
    CBasePin* output = static_cast<CBasePin*>(m_pOutput);
    if (!output || !output->GetConnected()) return S_OK;
    CBasePin* input = static_cast<CBasePin*>(m_pInput);
    if (CheckTransform(&input->CurrentMediaType(), &output->CurrentMediaType()) == S_OK)
        return S_OK;
    // The new input type needs the output reconnected in its stereo form.
    IFilterGraph* graph = GetFilterGraph();
    if (!graph) return VFW_E_NOT_IN_GRAPH;
    return graph->Reconnect(static_cast<IPin*>(m_pOutput));
}

HRESULT CVxPlugIn::SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) {
    WaveFormat f = {};
    if (!PlainFormatOf(type, &f)) return E_INVALIDARG;
    if (direction == PINDIR_INPUT && m_bStreaming) {
        const HRESULT followed = FollowInputType(type);
        if (FAILED(followed)) return followed;
    } else if (direction == PINDIR_OUTPUT) {
        DropTypeToDeliver();  // a new output connection, or the type FollowInputType sets
    }
    WaveFormat& stored = direction == PINDIR_INPUT ? m_inputFormat : m_outputFormat;
    stored = Normalised(f);
    const HRESULT hr = CTransformFilter::SetMediaType(direction, type);
    if (FAILED(hr)) return hr;
    if (direction == PINDIR_INPUT) {
        Processor().SetInputFormat(&m_inputFormat);
    } else {
        Processor().SetOutputFormat(&m_outputFormat);
    }
    Params().NotifyWindows(direction == PINDIR_INPUT ? kNotifyInputFormat : kNotifyOutputFormat);
    if (IEngineAutomation* automation = Params().Automation())
        automation->SetSampleRate(static_cast<int32_t>(m_inputFormat.nSamplesPerSec));
    return S_OK;
}

HRESULT CVxPlugIn::FollowInputType(const AM_MEDIA_TYPE* type) {
    CBasePin* output = static_cast<CBasePin*>(m_pOutput);
    if (!output || !output->IsConnected() ||
        CheckTransform(type, &output->CurrentMediaType()) == S_OK)
        return S_OK;
    AM_MEDIA_TYPE stereo = {};
    HRESULT hr = MakeStereoVariant(type, &stereo);
    if (SUCCEEDED(hr)) hr = output->SetMediaType(&stereo);
    if (FAILED(hr)) {
        FreeMediaType(stereo);
        return hr;
    }
    m_typeToDeliver = stereo;
    m_deliverType = true;
    return S_OK;
}

void CVxPlugIn::DropTypeToDeliver() {
    FreeMediaType(m_typeToDeliver);
    m_typeToDeliver = {};
    m_deliverType = false;
}

HRESULT CVxPlugIn::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request) return E_POINTER;
    // Follow the upstream buffers, so one input sample fits one output sample.
    CBasePin* input = static_cast<CBasePin*>(m_pInput);
    ComPtr<IMemAllocator> inputAllocator;
    ALLOCATOR_PROPERTIES upstream = {};
    if (input && input->GetConnected() &&
        SUCCEEDED(static_cast<IMemInputPin*>(m_pInput)->GetAllocator(inputAllocator.Put())) &&
        SUCCEEDED(inputAllocator->GetProperties(&upstream)) && upstream.cBuffers > 0 &&
        upstream.cbBuffer > 0) {
        *request = upstream;
    }
    // A graph that reconnects the output from inside the input's CompleteConnect (Wine's does
    // it synchronously) gets here before upstream has sized its buffers; without downstream
    // requirements the request is then empty. Receive splits input samples that do not fit.
    if (request->cbBuffer <= 0) request->cbBuffer = kMinOutputBufferBytes;
    if (request->cBuffers <= 0) request->cBuffers = 1;
    if (m_inputFormat.nChannels == 1 && m_outputFormat.nChannels == 2) request->cbBuffer *= 2;

    ALLOCATOR_PROPERTIES granted = {};
    const HRESULT hr = allocator->SetProperties(request, &granted);
    if (FAILED(hr)) return hr;
    *request = granted;
    return granted.cbBuffer < kMinOutputBufferBytes ? E_FAIL : hr;
}

HRESULT CVxPlugIn::StartStreaming() {
    return Processor().StartStream(&m_inputFormat, &m_outputFormat);
}

HRESULT CVxPlugIn::StopStreaming() {
    Processor().StopStream();
    return S_OK;
}

HRESULT CVxPlugIn::Receive(IMediaSample* sample) { return ReceiveSample(sample, this); }

HRESULT CVxPlugIn::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                     REFERENCE_TIME* stop, DWORD flags) {
    if (!m_pOutput) return VFW_E_NOT_CONNECTED;
    return static_cast<CBaseOutputPin*>(m_pOutput)->GetDeliveryBuffer(sample, start, stop,
                                                                           flags);
}

HRESULT CVxPlugIn::Deliver(IMediaSample* sample) {
    if (!m_pOutput) return VFW_E_NOT_CONNECTED;
    if (m_deliverType) {
        const HRESULT typed = sample->SetMediaType(&m_typeToDeliver);
        if (FAILED(typed)) return typed;
    }
    const HRESULT hr = static_cast<CBaseOutputPin*>(m_pOutput)->Deliver(sample);
    // Until downstream has taken a sample, each one carries the type.
    if (SUCCEEDED(hr)) DropTypeToDeliver();
    return hr;
}
