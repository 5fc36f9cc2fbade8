// CTransformOutputPin: the output pin of a CTransformFilter. It connects only after the
// input, proposes the filter's output types, sizes buffers through the filter and passes
// quality messages to it.
#pragma once

#include "framework/BaseOutputPin.h"

class CTransformFilter;

class CTransformOutputPin : public CBaseOutputPin, public IQualityControl {
public:
    CTransformOutputPin(LPCTSTR objectName, CTransformFilter* filter, HRESULT* phr,
                        LPCWSTR pinName);
    ~CTransformOutputPin() override;

    DECLARE_IUNKNOWN
    // IQualityControl, then the pin's interfaces.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // E_UNEXPECTED until the input is connected; then the filter's CheckTransform.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt) override;
    // E_UNEXPECTED until the input is connected; then the filter's GetMediaType.
    HRESULT GetMediaType(int iPosition, AM_MEDIA_TYPE* pmt) override;
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
    // "Out".
    LPCWSTR Id() const override;

    // IQualityControl (downstream thread): the filter's AlterQuality, and when that declines
    // (S_FALSE), the sink set with SetSink or the upstream pin's IQualityControl.
    STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl* piqc) override;

protected:
    CTransformFilter* const m_pTransformFilter;
    IQualityControl* m_pQualitySink;  // not referenced, per the IQualityControl contract
};
