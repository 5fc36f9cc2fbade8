// CBaseInputPin: allocator agreement, receive checks and flushing.
#include "framework/BaseInputPin.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "framework/BaseFilter.h"
#include "framework/MediaType.h"
#include "framework/MemAllocator.h"

CBaseInputPin::CBaseInputPin(LPCTSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                             LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_INPUT),
      m_bReadOnly(false),
      m_bFlushing(false),
      m_bRunTimeError(false) {}

CBaseInputPin::~CBaseInputPin() = default;

STDMETHODIMP CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    if (!ppAllocator) return E_POINTER;
    *ppAllocator = nullptr;
    CAutoLock lock(m_pLock);
    if (!m_pAllocator) {
        HRESULT hr = S_OK;
        CUnknown* allocator = CMemAllocator::CreateInstance(nullptr, &hr);
        if (!allocator) return E_OUTOFMEMORY;
        if (FAILED(hr)) {
            delete allocator;
            return hr;
        }
        hr = allocator->NonDelegatingQueryInterface(IID_IMemAllocator, m_pAllocator.PutVoid());
        if (FAILED(hr)) {
            delete allocator;
            return hr;
        }
    }
    *ppAllocator = m_pAllocator.CopyOut();
    return S_OK;
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    if (!pAllocator) return E_POINTER;
    CAutoLock lock(m_pLock);
    m_pAllocator = ComPtr<IMemAllocator>(pAllocator);
    m_bReadOnly = bReadOnly != FALSE;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* /*pProps*/) {
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bFlushing) return S_FALSE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::Receive(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;

    // A sample carrying a media type starts a new format: this sample and the ones after it
    // are in that type, so the pin (and through SetMediaType its filter) switches before the
    // sample is processed. A type the pin cannot take ends the stream: later samples are
    // refused as a runtime error until a flush or a stop.
    AM_MEDIA_TYPE* changed = nullptr;
    if (pSample->GetMediaType(&changed) != S_OK || !changed) return S_OK;
    const bool switched = CheckMediaType(changed) == S_OK && SUCCEEDED(SetMediaType(changed));
    DeleteMediaType(changed);
    if (switched) return S_OK;
    m_bRunTimeError = true;
    m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_INVALIDMEDIATYPE, 0);
    return VFW_E_INVALIDMEDIATYPE;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                                            long* nSamplesProcessed) {
    if (!pSamples || !nSamplesProcessed) return E_POINTER;
    *nSamplesProcessed = 0;
    HRESULT hr = S_OK;
    while (*nSamplesProcessed < nSamples) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        if (hr != S_OK) break;
        ++*nSamplesProcessed;
    }
    return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock() {
    // Receive can block when it passes samples to a downstream pin that can.
    const int count = m_pFilter->GetPinCount();
    int outputs = 0;
    for (int i = 0; i < count; ++i) {
        CBasePin* pin = m_pFilter->GetPin(i);
        if (!pin || pin->Direction() != PINDIR_OUTPUT || !pin->IsConnected()) continue;
        ++outputs;
        ComPtr<IMemInputPin> downstream;
        if (FAILED(pin->GetConnected()->QueryInterface(IID_IMemInputPin, downstream.PutVoid())) ||
            downstream->ReceiveCanBlock() != S_FALSE)
            return S_OK;
    }
    return outputs == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CBaseInputPin::EndOfStream() {
    return CheckStreaming();
}

STDMETHODIMP CBaseInputPin::BeginFlush() {
    CAutoLock lock(m_pLock);
    m_bFlushing = true;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
    if (m_pAllocator) m_pAllocator->Decommit();
    m_pAllocator.Reset();
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}
