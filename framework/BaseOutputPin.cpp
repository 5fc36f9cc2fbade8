// CBaseOutputPin: allocator agreement and delivery downstream.
#include "framework/BaseOutputPin.h"

#include <utility>
#include <vfwmsgs.h>

#include "framework/MemAllocator.h"

CBaseOutputPin::CBaseOutputPin(LPCTSTR objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* phr, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    ResetAll(m_pAllocator, m_pInputPin);
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pPin) {
    HRESULT hr = CBasePin::CheckConnect(pPin);
    if (FAILED(hr)) return hr;
    ComPtr<IMemInputPin> transport;
    if (FAILED(pPin->QueryInterface(IID_IMemInputPin, transport.PutVoid())))
        return VFW_E_NO_TRANSPORT;
    m_pInputPin = std::move(transport);
    return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* /*pReceivePin*/) {
    if (!m_pInputPin) return VFW_E_NO_TRANSPORT;
    return DecideAllocator(m_pInputPin.Get(), &m_pAllocator);
}

HRESULT CBaseOutputPin::BreakConnect() {
    if (m_pAllocator) m_pAllocator->Decommit();
    ResetAll(m_pAllocator, m_pInputPin);
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pPin, ComPtr<IMemAllocator>* allocator) {
    if (!pPin || !allocator) return E_POINTER;
    allocator->Reset();
    ALLOCATOR_PROPERTIES required{};
    pPin->GetAllocatorRequirements(&required);  // optional: zeros when the pin has none
    if (required.cbAlign == 0) required.cbAlign = 1;

    // Sizes an allocator and tells the input pin; on failure the allocator is dropped.
    auto agree = [&](HRESULT hr) {
        if (SUCCEEDED(hr) && *allocator) {
            ALLOCATOR_PROPERTIES props = required;
            hr = DecideBufferSize(allocator->Get(), &props);
            if (SUCCEEDED(hr)) hr = pPin->NotifyAllocator(allocator->Get(), FALSE);
            if (SUCCEEDED(hr)) return S_OK;
        }
        allocator->Reset();
        return FAILED(hr) ? hr : E_FAIL;
    };

    // The input pin's allocator first, so that it can hand out its own memory.
    if (agree(pPin->GetAllocator(allocator->Put())) == S_OK) return S_OK;
    return agree(InitAllocator(allocator->Put()));
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** ppAlloc) {
    if (!ppAlloc) return E_POINTER;
    *ppAlloc = nullptr;
    HRESULT hr = S_OK;
    CUnknown* allocator = CMemAllocator::CreateInstance(nullptr, &hr);
    if (!allocator) return E_OUTOFMEMORY;
    if (SUCCEEDED(hr))
        hr = allocator->NonDelegatingQueryInterface(IID_IMemAllocator,
                                                    reinterpret_cast<void**>(ppAlloc));
    if (FAILED(hr)) {
        delete allocator;
        *ppAlloc = nullptr;
    }
    return hr;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                          REFERENCE_TIME* pEndTime, DWORD dwFlags) {
    if (!ppSample) return E_POINTER;
    *ppSample = nullptr;
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->GetBuffer(ppSample, pStartTime, pEndTime, dwFlags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(pSample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    IPin* peer = m_connected.Get();
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    IPin* peer = m_connected.Get();
    return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    IPin* peer = m_connected.Get();
    return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                          double dRate) {
    IPin* peer = m_connected.Get();
    return peer ? peer->NewSegment(tStart, tStop, dRate) : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::Active() {
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Decommit();
}

STDMETHODIMP CBaseOutputPin::EndOfStream() {
    return E_UNEXPECTED;
}
STDMETHODIMP CBaseOutputPin::BeginFlush() {
    return E_UNEXPECTED;
}
STDMETHODIMP CBaseOutputPin::EndFlush() {
    return E_UNEXPECTED;
}
