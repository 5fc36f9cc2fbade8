// CTransformFilter: pins, streaming states and the default receive path.
#include "framework/TransformFilter.h"

#include <new>
#include <vfwmsgs.h>

#include "framework/PinCreation.h"
#include "framework/TransformInputPin.h"
#include "framework/TransformOutputPin.h"

CTransformFilter::CTransformFilter(LPCTSTR name, LPUNKNOWN outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_csFilter, clsid),
      m_pInput(nullptr),
      m_pOutput(nullptr),
      m_bStreaming(false),
      m_bEOSDelivered(false) {}

CTransformFilter::~CTransformFilter() {
    delete m_pInput;
    delete m_pOutput;
}

int CTransformFilter::GetPinCount() {
    return 2;
}

CBasePin* CTransformFilter::GetPin(int n) {
    // Creating the pins on first use does not change the pin set that GetPinCount reports,
    // so enumerators stay valid.
    CreatePinOnce(m_pInput, [this](HRESULT* hr) {
        return new (std::nothrow) CTransformInputPin(L"Transform input pin", this, hr, L"Input");
    });
    if (m_pInput) {
        CreatePinOnce(m_pOutput, [this](HRESULT* hr) {
            return new (std::nothrow)
                CTransformOutputPin(L"Transform output pin", this, hr, L"Output");
        });
    }
    if (n == 0) return m_pInput;
    if (n == 1) return m_pOutput;
    return nullptr;
}

HRESULT CTransformFilter::StartStreaming() {
    return S_OK;
}
HRESULT CTransformFilter::StopStreaming() {
    return S_OK;
}
HRESULT CTransformFilter::AlterQuality(Quality /*q*/) {
    return S_FALSE;
}

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION /*direction*/, const AM_MEDIA_TYPE* /*pmt*/) {
    return S_OK;
}

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION /*dir*/, IPin* /*pPin*/) {
    return S_OK;
}
HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION /*dir*/) {
    return S_OK;
}

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION /*direction*/, IPin* /*pReceivePin*/) {
    return S_OK;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOut) {
    *ppOut = nullptr;
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timeResult = pSample->GetTime(&start, &stop);
    REFERENCE_TIME* startArg = SUCCEEDED(timeResult) ? &start : nullptr;
    REFERENCE_TIME* stopArg = timeResult == S_OK ? &stop : nullptr;
    const DWORD flags = pSample->IsSyncPoint() == S_OK ? 0 : AM_GBF_NOTASYNCPOINT;

    IMediaSample* out = nullptr;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, startArg, stopArg, flags);
    if (FAILED(hr)) return hr;
    out->SetTime(startArg, stopArg);
    out->SetSyncPoint(pSample->IsSyncPoint() == S_OK);
    out->SetPreroll(pSample->IsPreroll() == S_OK);
    out->SetDiscontinuity(pSample->IsDiscontinuity() == S_OK);
    LONGLONG mediaStart = 0, mediaStop = 0;
    if (pSample->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        out->SetMediaTime(&mediaStart, &mediaStop);
    else
        out->SetMediaTime(nullptr, nullptr);
    *ppOut = out;
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* pSample) {
    ComPtr<IMediaSample> out;
    HRESULT hr = InitializeOutputSample(pSample, out.Put());
    if (FAILED(hr)) return hr;
    hr = Transform(pSample, out.Get());
    if (hr == S_OK) {
        hr = m_pOutput->Deliver(out.Get());
    } else if (hr == S_FALSE) {
        hr = S_OK;  // the transform chose to drop this sample
    }
    return hr;
}

HRESULT CTransformFilter::EndOfStream() {
    return m_pOutput ? m_pOutput->DeliverEndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CTransformFilter::BeginFlush() {
    return m_pOutput ? m_pOutput->DeliverBeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CTransformFilter::EndFlush() {
    return m_pOutput ? m_pOutput->DeliverEndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    return m_pOutput ? m_pOutput->DeliverNewSegment(tStart, tStop, dRate) : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CTransformFilter::Stop() {
    CAutoLock lock(&m_csFilter);
    if (m_state == State_Stopped) return S_OK;
    // Refuses new samples and decommits the output allocator, which releases a Receive
    // waiting for an output buffer; then wait for any Receive still running.
    HRESULT hr = CBaseFilter::Stop();
    {
        CAutoLock receiving(&m_csReceive);
        if (m_bStreaming) {
            m_bStreaming = false;
            const HRESULT stopped = StopStreaming();
            if (SUCCEEDED(hr)) hr = stopped;
        }
    }
    m_bEOSDelivered = false;
    return hr;
}

STDMETHODIMP CTransformFilter::Pause() {
    CAutoLock lock(&m_csFilter);
    if (m_state == State_Paused) return S_OK;
    const bool inputConnected = m_pInput && m_pInput->IsConnected();
    const bool outputConnected = m_pOutput && m_pOutput->IsConnected();
    bool started = false;
    if (m_state == State_Stopped && inputConnected && outputConnected && !m_bStreaming) {
        CAutoLock receiving(&m_csReceive);
        const HRESULT hr = StartStreaming();
        if (FAILED(hr)) return hr;
        m_bStreaming = true;
        started = true;
    }
    const HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr)) {
        if (started) {
            CAutoLock receiving(&m_csReceive);
            m_bStreaming = false;
            StopStreaming();
        }
        return hr;
    }
    if (!inputConnected && outputConnected && !m_bEOSDelivered) {
        m_pOutput->DeliverEndOfStream();
        m_bEOSDelivered = true;
    }
    return S_OK;
}
