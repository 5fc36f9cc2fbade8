// CBaseOutputPin: an output pin that delivers media samples through the downstream pin's
// IMemInputPin, with the allocator agreed at connection time.
#pragma once

#include "framework/BasePin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(LPCTSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                   LPCWSTR pinName);
    ~CBaseOutputPin() override;

    // Connection overridables (filter lock). CheckConnect requires IMemInputPin on the peer
    // (VFW_E_NO_TRANSPORT otherwise); CompleteConnect agrees on the allocator; BreakConnect
    // releases the allocator and the peer's IMemInputPin.
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT BreakConnect() override;

    // Asks the input pin for its allocator and, failing that, creates a CMemAllocator;
    // sizes it with DecideBufferSize and tells the input pin with NotifyAllocator.
    virtual HRESULT DecideAllocator(IMemInputPin* pPin, ComPtr<IMemAllocator>* allocator);
    // Creates this pin's own allocator (a CMemAllocator) with one reference.
    virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);
    // Sets the allocator's properties (SetProperties) from the input pin's requirements in
    // pProp (which may be zero). Called by DecideAllocator.
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) = 0;

    // Streaming thread. An empty sample from the agreed allocator with the given times;
    // dwFlags are the AM_GBF_ flags. VFW_E_NO_ALLOCATOR while unconnected.
    virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags);
    // Streaming thread. Passes the sample to the downstream pin's Receive and returns its
    // result; the caller keeps (and releases) its own reference.
    virtual HRESULT Deliver(IMediaSample* pSample);
    // Pass the stream notifications downstream; VFW_E_NOT_CONNECTED while unconnected.
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // State changes (filter lock): commit the allocator when leaving Stopped, decommit when
    // stopping (which also wakes a GetDeliveryBuffer waiting for a buffer).
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Upstream-only notifications are not for output pins: E_UNEXPECTED.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // The agreed allocator (no reference added), or null.
    IMemAllocator* Allocator() const { return m_pAllocator.Get(); }

protected:
    ComPtr<IMemAllocator> m_pAllocator;
    ComPtr<IMemInputPin> m_pInputPin;  // the connected pin's transport
};
