// CBaseAllocator: properties, commit state, free list and waiting for buffers.
#include "framework/BaseAllocator.h"

#include <climits>
#include <vfwmsgs.h>

#include "framework/MediaSample.h"

CBaseAllocator::CBaseAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT* phr)
    : CUnknown(name, outer, phr),
      m_lCount(0),
      m_lSize(0),
      m_lAlignment(1),
      m_lPrefix(0),
      m_bCommitted(false),
      m_bDecommitPending(false),
      m_pFreeList(nullptr),
      m_pAllSamples(nullptr),
      m_lAllocated(0),
      m_lFree(0),
      m_lWaiting(0),
      m_hSemaphore(CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr)) {
    if (!m_hSemaphore && phr && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

CBaseAllocator::~CBaseAllocator() {
    if (m_hSemaphore) CloseHandle(m_hSemaphore);
}

STDMETHODIMP CBaseAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                           ALLOCATOR_PROPERTIES* pActual) {
    if (!pRequest || !pActual) return E_POINTER;
    CAutoLock lock(&m_csAllocator);
    if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
    if (m_lAllocated != m_lFree) return VFW_E_BUFFERS_OUTSTANDING;
    if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0)
        return E_INVALIDARG;
    m_lCount = pRequest->cBuffers;
    m_lSize = pRequest->cbBuffer;
    m_lAlignment = pRequest->cbAlign;
    m_lPrefix = pRequest->cbPrefix;
    pActual->cBuffers = m_lCount;
    pActual->cbBuffer = m_lSize;
    pActual->cbAlign = m_lAlignment;
    pActual->cbPrefix = m_lPrefix;
    return S_OK;
}

STDMETHODIMP CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    if (!pProps) return E_POINTER;
    CAutoLock lock(&m_csAllocator);
    pProps->cBuffers = m_lCount;
    pProps->cbBuffer = m_lSize;
    pProps->cbAlign = m_lAlignment;
    pProps->cbPrefix = m_lPrefix;
    return S_OK;
}

STDMETHODIMP CBaseAllocator::Commit() {
    CAutoLock lock(&m_csAllocator);
    if (m_bCommitted) return S_OK;
    if (m_lCount <= 0 || m_lSize <= 0) return VFW_E_SIZENOTSET;
    // After a pending decommit the samples still exist with the same properties: reuse them.
    if (m_lAllocated == 0) {
        HRESULT hr = Alloc();
        if (FAILED(hr)) {
            if (m_lAllocated == m_lFree) Free();
            return hr;
        }
    }
    m_bDecommitPending = false;
    m_bCommitted = true;
    return S_OK;
}

STDMETHODIMP CBaseAllocator::Decommit() {
    CAutoLock lock(&m_csAllocator);
    if (!m_bCommitted) return S_OK;
    m_bCommitted = false;
    if (m_lWaiting > 0) {
        ReleaseSemaphore(m_hSemaphore, m_lWaiting, nullptr);
        m_lWaiting = 0;
    }
    if (m_lFree == m_lAllocated) {
        Free();
    } else {
        m_bDecommitPending = true;
    }
    return S_OK;
}

STDMETHODIMP CBaseAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                                       REFERENCE_TIME* pEndTime, DWORD dwFlags) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    CMediaSample* sample = nullptr;
    for (;;) {
        {
            CAutoLock lock(&m_csAllocator);
            if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
            if (m_pFreeList) {
                sample = m_pFreeList;
                m_pFreeList = sample->m_pNextFree;
                sample->m_pNextFree = nullptr;
                sample->m_bFree = false;
                --m_lFree;
                sample->m_cRef = 1;
                break;
            }
            if (dwFlags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
            ++m_lWaiting;
        }
        WaitForSingleObject(m_hSemaphore, INFINITE);
    }
    // The sample keeps the allocator alive while it is out.
    GetOwner()->AddRef();
    sample->SetTime(pStartTime, pEndTime);
    *ppBuffer = sample;
    return S_OK;
}

STDMETHODIMP CBaseAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
    if (!pBuffer) return E_POINTER;
    {
        CAutoLock lock(&m_csAllocator);
        CMediaSample* sample = m_pAllSamples;
        while (sample && static_cast<IMediaSample*>(sample) != pBuffer) sample = sample->m_pNextAll;
        if (!sample) return E_INVALIDARG;
        // Only a sample that is out and whose last reference has gone may come back.
        if (sample->m_bFree || sample->m_cRef != 0) return E_UNEXPECTED;
        sample->m_bFree = true;
        sample->m_pNextFree = m_pFreeList;
        m_pFreeList = sample;
        ++m_lFree;
        if (m_lWaiting > 0) {
            --m_lWaiting;
            ReleaseSemaphore(m_hSemaphore, 1, nullptr);
        }
        if (m_bDecommitPending && m_lFree == m_lAllocated) {
            m_bDecommitPending = false;
            Free();
        }
    }
    // Drop the reference the sample held; this may destroy the allocator.
    GetOwner()->Release();
    return S_OK;
}

void CBaseAllocator::AddSample(CMediaSample* sample) {
    sample->m_pNextAll = m_pAllSamples;
    m_pAllSamples = sample;
    sample->m_pNextFree = m_pFreeList;
    m_pFreeList = sample;
    sample->m_bFree = true;
    ++m_lAllocated;
    ++m_lFree;
}

void CBaseAllocator::DeleteAllSamples() {
    CMediaSample* sample = m_pAllSamples;
    while (sample) {
        CMediaSample* next = sample->m_pNextAll;
        delete sample;
        sample = next;
    }
    m_pAllSamples = nullptr;
    m_pFreeList = nullptr;
    m_lAllocated = 0;
    m_lFree = 0;
}
