// CTransformInputPin: the input pin of a CTransformFilter. It routes type checks,
// connection hooks, samples and notifications to the filter.
#pragma once

#include "framework/BaseInputPin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(LPCTSTR objectName, CTransformFilter* filter, HRESULT* phr, LPCWSTR pinName);

    // The filter's CheckInputType and, with the output connected, CheckTransform against
    // the output's type.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    // "In".
    LPCWSTR Id() const override;

    // Upstream streaming thread: state checks, then the filter's Receive under the receive lock.
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

protected:
    CTransformFilter* const m_pTransformFilter;
};
