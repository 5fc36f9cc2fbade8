// CMediaSample: time stamps, flags and the return of released samples to their allocator.
#include "framework/MediaSample.h"

#include <vfwmsgs.h>

#include "framework/BaseAllocator.h"
#include "framework/MediaType.h"

CMediaSample::CMediaSample(LPCTSTR name, CBaseAllocator* allocator, HRESULT* phr, LPBYTE buffer,
                           LONG length)
    : CBaseObject(name),
      m_cRef(0),
      m_pAllocator(allocator),
      m_pBuffer(buffer),
      m_cbBuffer(length < 0 ? 0 : length),
      m_lActual(length < 0 ? 0 : length),
      m_dwFlags(0),
      m_tStart(0),
      m_tStop(0),
      m_llMediaStart(0),
      m_llMediaStop(0),
      m_pMediaType(nullptr),
      m_pNextFree(nullptr),
      m_pNextAll(nullptr),
      m_bFree(false) {
    if (length < 0 && phr && SUCCEEDED(*phr)) *phr = E_INVALIDARG;
}

CMediaSample::~CMediaSample() {
    DeleteMediaType(m_pMediaType);
}

STDMETHODIMP CMediaSample::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMediaSample || riid == IID_IUnknown) {
        *ppv = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMediaSample::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CMediaSample::Release() {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        if (m_pAllocator) {
            // Nothing of this object may be touched after this call: the allocator may free
            // the sample (and itself) while returning it.
            ResetProperties();
            m_pAllocator->ReleaseBuffer(this);
        } else {
            delete this;
        }
    }
    return static_cast<ULONG>(count);
}

void CMediaSample::ResetProperties() {
    m_dwFlags = 0;
    m_lActual = m_cbBuffer;
    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
}

HRESULT CMediaSample::SetPointer(BYTE* buffer, LONG length) {
    if (length < 0) return E_INVALIDARG;
    m_pBuffer = buffer;
    m_cbBuffer = length;
    m_lActual = length;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetPointer(BYTE** ppBuffer) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = m_pBuffer;
    return S_OK;
}

STDMETHODIMP_(LONG) CMediaSample::GetSize() {
    return m_cbBuffer;
}

STDMETHODIMP CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!(m_dwFlags & kStartValid)) return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = m_tStart;
    if (m_dwFlags & kStopValid) {
        *pTimeEnd = m_tStop;
        return S_OK;
    }
    // Without a stop time the sample is taken to last one unit.
    *pTimeEnd = m_tStart + 1;
    return VFW_S_NO_STOP_TIME;
}

STDMETHODIMP CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    m_dwFlags &= ~(kStartValid | kStopValid);
    if (!pTimeStart) return S_OK;  // no start: the sample carries no times at all
    m_tStart = *pTimeStart;
    m_dwFlags |= kStartValid;
    if (pTimeEnd) {
        m_tStop = *pTimeEnd;
        m_dwFlags |= kStopValid;
    }
    return S_OK;
}

STDMETHODIMP CMediaSample::IsSyncPoint() {
    return (m_dwFlags & kSyncPoint) ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
    m_dwFlags = bIsSyncPoint ? (m_dwFlags | kSyncPoint) : (m_dwFlags & ~kSyncPoint);
    return S_OK;
}

STDMETHODIMP CMediaSample::IsPreroll() {
    return (m_dwFlags & kPreroll) ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetPreroll(BOOL bIsPreroll) {
    m_dwFlags = bIsPreroll ? (m_dwFlags | kPreroll) : (m_dwFlags & ~kPreroll);
    return S_OK;
}

STDMETHODIMP_(LONG) CMediaSample::GetActualDataLength() {
    return m_lActual;
}

STDMETHODIMP CMediaSample::SetActualDataLength(LONG length) {
    if (length < 0) return E_INVALIDARG;
    if (length > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
    m_lActual = length;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
    if (!ppMediaType) return E_POINTER;
    *ppMediaType = nullptr;
    if (!(m_dwFlags & kTypeChanged) || !m_pMediaType) return S_FALSE;
    *ppMediaType = CreateMediaType(m_pMediaType);
    return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
    m_dwFlags &= ~kTypeChanged;
    if (!pMediaType) return S_OK;
    m_pMediaType = CreateMediaType(pMediaType);
    if (!m_pMediaType) return E_OUTOFMEMORY;
    m_dwFlags |= kTypeChanged;
    return S_OK;
}

STDMETHODIMP CMediaSample::IsDiscontinuity() {
    return (m_dwFlags & kDiscontinuity) ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
    m_dwFlags = bDiscontinuity ? (m_dwFlags | kDiscontinuity) : (m_dwFlags & ~kDiscontinuity);
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    if (!(m_dwFlags & kMediaTimeValid)) return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = m_llMediaStart;
    *pTimeEnd = m_llMediaStop;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (!pTimeStart) {
        m_dwFlags &= ~kMediaTimeValid;
        return S_OK;
    }
    if (!pTimeEnd) return E_POINTER;
    m_llMediaStart = *pTimeStart;
    m_llMediaStop = *pTimeEnd;
    m_dwFlags |= kMediaTimeValid;
    return S_OK;
}
