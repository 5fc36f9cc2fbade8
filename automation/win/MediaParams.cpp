// CMediaParams: COM identity, the host-facing argument checks and the parameter-info answers.
#include "automation/win/MediaParams.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "automation/ParamInfoTable.h"

// The host's records are read and written through the portable mirrors.
static_assert(sizeof(MP_ENVELOPE_SEGMENT) == sizeof(MpEnvelopeSegment), "segment layout");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, rtEnd) == offsetof(MpEnvelopeSegment, rtEnd) &&
                  offsetof(MP_ENVELOPE_SEGMENT, valStart) ==
                      offsetof(MpEnvelopeSegment, valStart) &&
                  offsetof(MP_ENVELOPE_SEGMENT, valEnd) == offsetof(MpEnvelopeSegment, valEnd) &&
                  offsetof(MP_ENVELOPE_SEGMENT, iCurve) == offsetof(MpEnvelopeSegment, iCurve) &&
                  offsetof(MP_ENVELOPE_SEGMENT, flags) == offsetof(MpEnvelopeSegment, flags),
              "segment layout");
static_assert(sizeof(MP_PARAMINFO) == sizeof(MpParamInfo), "parameter info layout");
static_assert(offsetof(MP_PARAMINFO, mpdNeutralValue) == offsetof(MpParamInfo, mpdNeutralValue) &&
                  offsetof(MP_PARAMINFO, szUnitText) == offsetof(MpParamInfo, szUnitText) &&
                  offsetof(MP_PARAMINFO, szLabel) == offsetof(MpParamInfo, szLabel),
              "parameter info layout");
static_assert(sizeof(WCHAR) == sizeof(char16_t) && sizeof(DWORD) == sizeof(uint32_t) &&
                  sizeof(MP_DATA) == sizeof(float),
              "text and index types");

HRESULT CreateMediaParams(CMediaParams** out, IUnknown* owner) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!owner) return E_POINTER;
    CMediaParams* object = new (std::nothrow) CMediaParams(owner);
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    *out = object;
    return S_OK;
}

CMediaParams::CMediaParams(IUnknown* owner) : CBaseObject(nullptr), m_owner(owner), m_refCount(0) {}

CMediaParams::~CMediaParams() = default;

// --- IUnknown ---

// The lock is held across the owner's answer, so the owner cannot finish detaching (and be
// freed) while a request is inside it.
STDMETHODIMP CMediaParams::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    CAutoLock lock(&m_ownerLock);
    if (m_owner) return m_owner->QueryInterface(riid, ppv);
    return QueryOwnInterface(riid, ppv);
}

HRESULT CMediaParams::QueryOwnInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaParams)) {
        *ppv = static_cast<IMediaParamsSdk*>(this);
    } else if (IsEqualIID(riid, IID_IMediaParamInfo)) {
        *ppv = static_cast<IMediaParamInfo*>(this);
    } else if (IsEqualIID(riid, IID_IMediaParamsSetUICallback)) {
        *ppv = static_cast<IMediaParamsSetUICallback*>(this);
    } else if (IsEqualIID(riid, IID_IMediaParamsUICallback)) {
        *ppv = static_cast<IMediaParamsUICallback*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

void CMediaParams::DetachOwner() {
    CAutoLock lock(&m_ownerLock);
    m_owner = nullptr;
}

STDMETHODIMP_(ULONG) CMediaParams::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CMediaParams::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// --- IMediaParams ---

STDMETHODIMP CMediaParams::GetParam(DWORD dwParamIndex, MP_DATA* pValue) {
    return CAutomationCore::GetParam(dwParamIndex, pValue);
}

STDMETHODIMP CMediaParams::SetParam(DWORD dwParamIndex, MP_DATA value) {
    return CAutomationCore::SetParam(dwParamIndex, value);
}

STDMETHODIMP CMediaParams::AddEnvelope(DWORD dwParamIndex, DWORD cSegments,
                                       MP_ENVELOPE_SEGMENT* pEnvelopeSegments) {
    return CAutomationCore::AddEnvelope(
        dwParamIndex, cSegments, reinterpret_cast<const MpEnvelopeSegment*>(pEnvelopeSegments));
}

STDMETHODIMP CMediaParams::FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart,
                                         REFERENCE_TIME refTimeEnd) {
    return CAutomationCore::FlushEnvelope(dwParamIndex, refTimeStart, refTimeEnd);
}

STDMETHODIMP CMediaParams::SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA) {
    return IsEqualGUID(guidTimeFormat, GUID_TIME_REFERENCE) ? S_OK : E_INVALIDARG;
}

// --- IMediaParamInfo ---

STDMETHODIMP CMediaParams::GetParamCount(DWORD* pdwParams) {
    if (!pdwParams) return E_POINTER;
    *pdwParams = kParamCount;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) {
    if (dwParamIndex >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    if (!pInfo) return E_POINTER;
    std::memcpy(pInfo, &kParamInfoTable[dwParamIndex].info, sizeof(MP_PARAMINFO));
    return S_OK;
}

STDMETHODIMP CMediaParams::GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) {
    if (dwParamIndex >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    if (!ppwchText) return E_POINTER;
    const ParamInfoRecord& record = kParamInfoTable[dwParamIndex];
    WCHAR* text = static_cast<WCHAR*>(CoTaskMemAlloc(ParamTextChars(record) * sizeof(WCHAR)));
    *ppwchText = text;
    if (!text) return E_OUTOFMEMORY;
    WriteParamText(record, reinterpret_cast<char16_t*>(text));
    return S_OK;
}

STDMETHODIMP CMediaParams::GetNumTimeFormats(DWORD* pdwNumTimeFormats) {
    if (!pdwNumTimeFormats) return E_POINTER;
    *pdwNumTimeFormats = 1;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetSupportedTimeFormat(DWORD dwFormatIndex, GUID* pguidTimeFormat) {
    if (!pguidTimeFormat) return E_POINTER;
    if (dwFormatIndex != 0) return E_INVALIDARG;
    *pguidTimeFormat = GUID_TIME_REFERENCE;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetCurrentTimeFormat(GUID* pguidTimeFormat, MP_TIMEDATA*) {
    if (!pguidTimeFormat) return E_POINTER;
    *pguidTimeFormat = GUID_TIME_REFERENCE;
    return S_OK;
}

// --- IMediaParamsSetUICallback ---

// The previous callback is released after the lock, when `held` goes: its release may call
// back into the host.
STDMETHODIMP CMediaParams::SetCallback(IMediaParamsUICallback* callback) {
    ComPtr<IMediaParamsUICallback> held(callback);
    {
        CAutoLock lock(&m_callbackLock);
        m_hostCallback.Swap(held);
    }
    return S_OK;
}

// --- IMediaParamsUICallback ---

STDMETHODIMP CMediaParams::CaptureBegin(DWORD* indices, DWORD count) {
    return CAutomationCore::CaptureBegin(reinterpret_cast<const uint32_t*>(indices), count);
}

STDMETHODIMP CMediaParams::CaptureValues(DWORD* indices, DWORD count, MP_DATA* values) {
    return CAutomationCore::CaptureValues(reinterpret_cast<const uint32_t*>(indices), count,
                                          values);
}

STDMETHODIMP CMediaParams::CaptureEnd(DWORD* indices, DWORD count) {
    return CAutomationCore::CaptureEnd(reinterpret_cast<const uint32_t*>(indices), count);
}

// --- Forwarding to the host ---

// The reference keeps the callback alive while it is called outside the lock, even if the
// host replaces it meanwhile.
ComPtr<IMediaParamsUICallback> CMediaParams::AcquireCallback() {
    CAutoLock lock(&m_callbackLock);
    return m_hostCallback;
}

tw::Result CMediaParams::ForwardCaptureBegin(const uint32_t* indices, uint32_t count) {
    const ComPtr<IMediaParamsUICallback> callback = AcquireCallback();
    if (!callback) return S_OK;
    return callback->CaptureBegin(const_cast<DWORD*>(reinterpret_cast<const DWORD*>(indices)),
                                  count);
}

tw::Result CMediaParams::ForwardCaptureValues(const uint32_t* indices, uint32_t count,
                                              const float* values) {
    const ComPtr<IMediaParamsUICallback> callback = AcquireCallback();
    if (!callback) return S_OK;
    return callback->CaptureValues(const_cast<DWORD*>(reinterpret_cast<const DWORD*>(indices)),
                                   count, const_cast<MP_DATA*>(values));
}

tw::Result CMediaParams::ForwardCaptureEnd(const uint32_t* indices, uint32_t count) {
    const ComPtr<IMediaParamsUICallback> callback = AcquireCallback();
    if (!callback) return S_OK;
    return callback->CaptureEnd(const_cast<DWORD*>(reinterpret_cast<const DWORD*>(indices)), count);
}
