// CBaseFilter: filter state, graph membership, pins and registration.
#include "framework/BaseFilter.h"

#include <cwchar>
#include <new>
#include <uuids.h>
#include <vfwmsgs.h>

#include "framework/BasePin.h"
#include "framework/EnumPins.h"
#include "framework/FilterMapper.h"

CBaseFilter::CBaseFilter(LPCTSTR name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid,
                         HRESULT* phr)
    : CUnknown(name, outer, phr),
      m_state(State_Stopped),
      m_tStart(0),
      m_clsid(clsid),
      m_pLock(lock),
      m_pName(nullptr),
      m_pGraph(nullptr),
      m_pSink(nullptr),
      m_pinVersion(1) {}

CBaseFilter::~CBaseFilter() {
    delete[] m_pName;
}

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* pClsID) {
    if (!pClsID) return E_POINTER;
    *pClsID = m_clsid;
    return S_OK;
}

// State ----------------------------------------------------------------------------------

STDMETHODIMP CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    HRESULT result = S_OK;
    if (m_state != State_Stopped) {
        // Stopped first, so that a Receive racing with the stop is refused.
        m_state = State_Stopped;
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT hr = pin->Inactive();
                if (FAILED(hr) && SUCCEEDED(result)) result = hr;
            }
        }
    }
    return result;
}

STDMETHODIMP CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    if (m_state == State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT hr = pin->Active();
                if (FAILED(hr)) {
                    // Undo the pins already activated.
                    for (int j = 0; j < i; ++j) {
                        CBasePin* done = GetPin(j);
                        if (done && done->IsConnected()) done->Inactive();
                    }
                    return hr;
                }
            }
        }
    }
    m_state = State_Paused;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pLock);
    m_tStart = tStart;
    if (m_state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (m_state != State_Running) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT hr = pin->Run(tStart);
                if (FAILED(hr)) return hr;
            }
        }
    }
    m_state = State_Running;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD /*dwMilliSecsTimeout*/, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    *State = m_state;
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
    CAutoLock lock(m_pLock);
    m_pClock = ComPtr<IReferenceClock>(pClock);
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    CAutoLock lock(m_pLock);
    *pClock = m_pClock.CopyOut();
    return S_OK;
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME* rtStream) {
    if (!rtStream) return E_POINTER;
    if (!m_pClock) return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    const HRESULT hr = m_pClock->GetTime(&now);
    if (FAILED(hr)) return hr;
    *rtStream = now - m_tStart;
    return S_OK;
}

// Pins and graph -------------------------------------------------------------------------

int CBaseFilter::GetPinVersion() {
    return static_cast<int>(m_pinVersion);
}

const AMOVIESETUP_FILTER* CBaseFilter::GetSetupData() {
    return nullptr;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    CEnumPins* pins = new (std::nothrow) CEnumPins(this, nullptr);
    if (!pins) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumPins*>(pins), reinterpret_cast<void**>(ppEnum));
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!Id || !ppPin) return E_POINTER;
    *ppPin = nullptr;
    CAutoLock lock(m_pLock);
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* pin = GetPin(i);
        if (pin && wcscmp(pin->Id(), Id) == 0) {
            *ppPin = static_cast<IPin*>(pin);
            (*ppPin)->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    CAutoLock lock(m_pLock);
    const size_t capacity = sizeof pInfo->achName / sizeof pInfo->achName[0];
    if (m_pName) {
        wcsncpy(pInfo->achName, m_pName, capacity - 1);
        pInfo->achName[capacity - 1] = L'\0';
    } else {
        pInfo->achName[0] = L'\0';
    }
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(m_pLock);
    WCHAR* name = nullptr;
    if (pGraph && pName) {
        const size_t length = wcslen(pName) + 1;
        name = new (std::nothrow) WCHAR[length];
        if (!name) return E_OUTOFMEMORY;
        wmemcpy(name, pName, length);
    }
    delete[] m_pName;
    m_pName = name;
    m_pGraph = pGraph;
    m_pSink = nullptr;
    if (pGraph) {
        // Keep the sink like the graph itself, without a reference: the graph outlives us
        // in it, and a reference would keep both alive forever.
        ComPtr<IMediaEventSink> sink;
        if (SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, sink.PutVoid())))
            m_pSink = sink.Get();
    }
    return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR* /*pVendorInfo*/) {
    return E_NOTIMPL;
}

HRESULT CBaseFilter::NotifyEvent(long eventCode, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = m_pSink;
    if (!sink) return E_NOTIMPL;
    return sink->Notify(eventCode, param1, param2);
}

// Registration ---------------------------------------------------------------------------

STDMETHODIMP CBaseFilter::Register() {
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (!setup) return S_FALSE;
    CFilterMapper mapper;
    HRESULT hr = mapper.Create();
    if (SUCCEEDED(hr)) hr = mapper.Unregister(*setup->clsID);
    if (SUCCEEDED(hr)) hr = mapper.Register(*setup);
    return hr;
}

STDMETHODIMP CBaseFilter::Unregister() {
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (!setup) return S_FALSE;
    CFilterMapper mapper;
    const HRESULT hr = mapper.Create();
    return SUCCEEDED(hr) ? mapper.Unregister(*setup->clsID) : hr;
}
