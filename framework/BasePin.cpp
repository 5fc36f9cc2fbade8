// CBasePin: connection, type negotiation and pin queries.
#include "framework/BasePin.h"

#include <cwchar>
#include <new>
#include <utility>
#include <vfwmsgs.h>

#include "framework/BaseFilter.h"
#include "framework/EnumMediaTypes.h"
#include "framework/MediaType.h"

namespace {

WCHAR* DuplicateString(LPCWSTR text) {
    if (!text) text = L"";
    const size_t length = wcslen(text) + 1;
    WCHAR* copy = new (std::nothrow) WCHAR[length];
    if (copy) wmemcpy(copy, text, length);
    return copy;
}

}  // namespace

CBasePin::CBasePin(LPCTSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                   LPCWSTR pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr, phr),
      m_pFilter(filter),
      m_pLock(lock),
      m_pName(DuplicateString(pinName)),
      m_dir(direction),
      m_mt(),
      m_tStart(0),
      m_tStop(MAXLONGLONG),
      m_dRate(1.0) {
    if (!m_pName && phr && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

CBasePin::~CBasePin() {
    FreeMediaType(m_mt);
    delete[] m_pName;
}

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef() {
    return m_pFilter->GetOwner()->AddRef();
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease() {
    return m_pFilter->GetOwner()->Release();
}

bool CBasePin::IsStopped() const {
    return m_pFilter->IsStopped();
}

// Connection -----------------------------------------------------------------------------

STDMETHODIMP CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    if (!pReceivePin) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;

    HRESULT hr = CheckConnect(pReceivePin);
    if (SUCCEEDED(hr)) {
        hr = (pmt && !IsPartialMediaType(*pmt)) ? AttemptConnection(pReceivePin, pmt)
                                                : AgreeMediaType(pReceivePin, pmt);
    }
    if (FAILED(hr)) BreakConnect();
    return hr;
}

HRESULT CBasePin::AttemptConnection(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    HRESULT hr = CheckMediaType(pmt);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;

    m_connected = ComPtr<IPin>(pReceivePin);
    hr = SetMediaType(pmt);
    if (SUCCEEDED(hr)) hr = pReceivePin->ReceiveConnection(static_cast<IPin*>(this), pmt);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(pReceivePin);
        if (FAILED(hr)) pReceivePin->Disconnect();
    }
    if (FAILED(hr)) {
        ClearConnection();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    // This pin's own proposals first: it knows best what it produces or wants.
    for (int position = 0;; ++position) {
        AM_MEDIA_TYPE candidate{};
        const HRESULT hr = GetMediaType(position, &candidate);
        if (hr != S_OK) {
            FreeMediaType(candidate);
            break;
        }
        const bool fits = !pmt || MatchesPartialMediaType(candidate, *pmt);
        const HRESULT attempt = fits ? AttemptConnection(pReceivePin, &candidate) : E_FAIL;
        FreeMediaType(candidate);
        if (SUCCEEDED(attempt)) return S_OK;
    }

    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(pReceivePin->EnumMediaTypes(theirs.Put())) && theirs &&
        SUCCEEDED(TryTypesFrom(theirs.Get(), pReceivePin, pmt)))
        return S_OK;
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::TryTypesFrom(IEnumMediaTypes* types, IPin* pReceivePin,
                               const AM_MEDIA_TYPE* partial) {
    for (;;) {
        AM_MEDIA_TYPE* candidate = nullptr;
        ULONG fetched = 0;
        if (types->Next(1, &candidate, &fetched) != S_OK || fetched != 1 || !candidate) {
            DeleteMediaType(candidate);
            return VFW_E_NO_ACCEPTABLE_TYPES;
        }
        const bool fits = !partial || MatchesPartialMediaType(*candidate, *partial);
        const HRESULT hr = fits ? AttemptConnection(pReceivePin, candidate) : E_FAIL;
        DeleteMediaType(candidate);
        if (SUCCEEDED(hr)) return S_OK;
    }
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (!pConnector || !pmt) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;

    HRESULT hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr != S_OK) {
        BreakConnect();
        return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_connected = ComPtr<IPin>(pConnector);
    hr = SetMediaType(pmt);
    if (SUCCEEDED(hr)) hr = CompleteConnect(pConnector);
    if (FAILED(hr)) {
        ClearConnection();
        BreakConnect();
        return hr;
    }
    return S_OK;
}

STDMETHODIMP CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    if (!m_connected) return S_FALSE;
    const HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    ClearConnection();
    return S_OK;
}

void CBasePin::ClearConnection() {
    m_connected.Reset();
    AM_MEDIA_TYPE old{};
    {
        CAutoLock typeLock(&m_typeLock);
        std::swap(m_mt, old);
    }
    FreeMediaType(old);
}

// Queries --------------------------------------------------------------------------------

STDMETHODIMP CBasePin::ConnectedTo(IPin** ppPin) {
    if (!ppPin) return E_POINTER;
    CAutoLock lock(m_pLock);
    *ppPin = m_connected.CopyOut();
    return *ppPin ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!m_connected) {
        *pmt = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    CAutoLock typeLock(&m_typeLock);
    return CopyMediaType(pmt, &m_mt);
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    pInfo->pFilter = static_cast<IBaseFilter*>(m_pFilter);
    pInfo->pFilter->AddRef();
    pInfo->dir = m_dir;
    const size_t capacity = sizeof pInfo->achName / sizeof pInfo->achName[0];
    wcsncpy(pInfo->achName, m_pName, capacity - 1);
    pInfo->achName[capacity - 1] = L'\0';
    return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (!pPinDir) return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

LPCWSTR CBasePin::Id() const {
    return m_pName;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR* Id) {
    if (!Id) return E_POINTER;
    LPCWSTR id = this->Id();
    const size_t bytes = (wcslen(id) + 1) * sizeof(WCHAR);
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*Id) return E_OUTOFMEMORY;
    memcpy(*Id, id, bytes);
    return S_OK;
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    return CheckMediaType(pmt) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    CEnumMediaTypes* types = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    if (!types) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumMediaTypes*>(types), reinterpret_cast<void**>(ppEnum));
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin** /*apPin*/, ULONG* /*nPin*/) {
    return E_NOTIMPL;
}

STDMETHODIMP CBasePin::EndOfStream() {
    return S_OK;
}

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

// Overridables ---------------------------------------------------------------------------

HRESULT CBasePin::CheckConnect(IPin* pPin) {
    PIN_DIRECTION theirs;
    const HRESULT hr = pPin->QueryDirection(&theirs);
    if (FAILED(hr)) return hr;
    return theirs == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin* /*pReceivePin*/) {
    return S_OK;
}

// A type carried on a sample comes on the streaming thread, which must not wait for the filter
// lock: the record is swapped under a lock of its own that ConnectionMediaType also takes.
HRESULT CBasePin::SetMediaType(const AM_MEDIA_TYPE* pmt) {
    AM_MEDIA_TYPE copy{};
    const HRESULT hr = CopyMediaType(&copy, pmt);
    if (FAILED(hr)) return hr;
    {
        CAutoLock typeLock(&m_typeLock);
        std::swap(m_mt, copy);
    }
    FreeMediaType(copy);
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int iPosition, AM_MEDIA_TYPE* /*pmt*/) {
    return iPosition < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::Active() {
    return S_OK;
}
HRESULT CBasePin::Inactive() {
    return S_OK;
}
HRESULT CBasePin::Run(REFERENCE_TIME /*tStart*/) {
    return S_OK;
}
