// CTransformOutputPin: routes the output side of a transform to its filter.
#include "framework/TransformOutputPin.h"

#include <vfwmsgs.h>

#include "framework/TransformFilter.h"
#include "framework/TransformInputPin.h"

CTransformOutputPin::CTransformOutputPin(LPCTSTR objectName, CTransformFilter* filter, HRESULT* phr,
                                         LPCWSTR pinName)
    : CBaseOutputPin(objectName, filter, filter->FilterLock(), phr, pinName),
      m_pTransformFilter(filter),
      m_pQualitySink(nullptr) {}

CTransformOutputPin::~CTransformOutputPin() = default;

STDMETHODIMP CTransformOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

LPCWSTR CTransformOutputPin::Id() const {
    return L"Out";
}

namespace {

bool InputConnected(CTransformFilter* filter) {
    return filter->InputPin() && filter->InputPin()->IsConnected();
}

}  // namespace

HRESULT CTransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (!InputConnected(m_pTransformFilter)) return E_UNEXPECTED;
    return m_pTransformFilter->CheckTransform(&m_pTransformFilter->InputPin()->CurrentMediaType(),
                                              pmt);
}

HRESULT CTransformOutputPin::SetMediaType(const AM_MEDIA_TYPE* pmt) {
    HRESULT hr = CBasePin::SetMediaType(pmt);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, pmt);
}

HRESULT CTransformOutputPin::GetMediaType(int iPosition, AM_MEDIA_TYPE* pmt) {
    if (!InputConnected(m_pTransformFilter)) return E_UNEXPECTED;
    return m_pTransformFilter->GetMediaType(iPosition, pmt);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pPin) {
    // The output type derives from the input type, so the input connects first.
    if (!InputConnected(m_pTransformFilter)) return E_UNEXPECTED;
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pPin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CheckConnect(pPin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* pReceivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    return m_pTransformFilter->DecideBufferSize(pAlloc, pProp);
}

STDMETHODIMP CTransformOutputPin::Notify(IBaseFilter* /*pSelf*/, Quality q) {
    HRESULT hr = m_pTransformFilter->AlterQuality(q);
    if (hr != S_FALSE) return hr;
    if (m_pQualitySink)
        return m_pQualitySink->Notify(static_cast<IBaseFilter*>(m_pTransformFilter), q);
    // Pass it to the pin that feeds our input, if that pin takes quality messages.
    CTransformInputPin* input = m_pTransformFilter->InputPin();
    IPin* upstream = input ? input->GetConnected() : nullptr;
    if (!upstream) return VFW_E_NOT_FOUND;
    ComPtr<IQualityControl> control;
    if (FAILED(upstream->QueryInterface(IID_IQualityControl, control.PutVoid())))
        return VFW_E_NOT_FOUND;
    return control->Notify(static_cast<IBaseFilter*>(m_pTransformFilter), q);
}

STDMETHODIMP CTransformOutputPin::SetSink(IQualityControl* piqc) {
    CAutoLock lock(m_pLock);
    m_pQualitySink = piqc;
    return S_OK;
}
