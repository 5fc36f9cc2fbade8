// CTransformInputPin: routes the input side of a transform to its filter.
#include "framework/TransformInputPin.h"

#include <vfwmsgs.h>

#include "framework/TransformFilter.h"
#include "framework/TransformOutputPin.h"

CTransformInputPin::CTransformInputPin(LPCTSTR objectName, CTransformFilter* filter, HRESULT* phr,
                                       LPCWSTR pinName)
    : CBaseInputPin(objectName, filter, filter->FilterLock(), phr, pinName),
      m_pTransformFilter(filter) {}

LPCWSTR CTransformInputPin::Id() const {
    return L"In";
}

HRESULT CTransformInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    HRESULT hr = m_pTransformFilter->CheckInputType(pmt);
    if (hr != S_OK) return hr;
    CTransformOutputPin* output = m_pTransformFilter->OutputPin();
    if (output && output->IsConnected())
        return m_pTransformFilter->CheckTransform(pmt, &output->CurrentMediaType());
    return S_OK;
}

HRESULT CTransformInputPin::SetMediaType(const AM_MEDIA_TYPE* pmt) {
    HRESULT hr = CBasePin::SetMediaType(pmt);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_INPUT, pmt);
}

HRESULT CTransformInputPin::CheckConnect(IPin* pPin) {
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pPin);
    if (FAILED(hr)) return hr;
    return CBaseInputPin::CheckConnect(pPin);
}

HRESULT CTransformInputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* pReceivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseInputPin::CompleteConnect(pReceivePin);
}

STDMETHODIMP CTransformInputPin::Receive(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    CAutoLock receiving(m_pTransformFilter->ReceiveLock());
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    return m_pTransformFilter->Receive(pSample);
}

STDMETHODIMP CTransformInputPin::EndOfStream() {
    CAutoLock receiving(m_pTransformFilter->ReceiveLock());
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pTransformFilter->EndOfStream();
}

STDMETHODIMP CTransformInputPin::BeginFlush() {
    // Not under the receive lock: a Receive blocked downstream only returns once the flush
    // reaches the downstream filter.
    CAutoLock lock(m_pLock);
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = CBaseInputPin::BeginFlush();
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->BeginFlush();
}

STDMETHODIMP CTransformInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = CBaseInputPin::EndFlush();
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->EndFlush();
}

STDMETHODIMP CTransformInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                            double dRate) {
    CAutoLock receiving(m_pTransformFilter->ReceiveLock());
    CBasePin::NewSegment(tStart, tStop, dRate);
    return m_pTransformFilter->NewSegment(tStart, tStop, dRate);
}
