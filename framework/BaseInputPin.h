// CBaseInputPin: an input pin with the memory transport (IMemInputPin): the allocator the
// upstream pin chose, Receive's state checks, and flushing.
#pragma once

#include <atomic>

#include "framework/BasePin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(LPCTSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                  LPCWSTR pinName);
    ~CBaseInputPin() override;

    DECLARE_IUNKNOWN
    // IMemInputPin, then CBasePin's interfaces.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMemInputPin, connection time (upstream pin's DecideAllocator), under the filter lock.
    // GetAllocator creates a CMemAllocator when none has been agreed yet.
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    // IMemInputPin streaming (upstream streaming thread). The base Receive checks that the
    // pin may take a sample: VFW_E_NOT_CONNECTED, VFW_E_WRONG_STATE when stopped, S_FALSE
    // while flushing, VFW_E_RUNTIME_ERROR after a streaming error. A sample that carries a
    // media type changes the format: the type must pass CheckMediaType and becomes the pin's
    // type through SetMediaType; otherwise VFW_E_INVALIDMEDIATYPE, the pin stays in its
    // runtime-error state and the graph hears EC_ERRORABORT. S_OK when the sample may go on.
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    // Calls Receive for each sample until one does not return S_OK.
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                                 long* nSamplesProcessed) override;
    // S_FALSE only when every connected downstream input says it never blocks.
    STDMETHODIMP ReceiveCanBlock() override;

    // IPin notifications (upstream thread). EndOfStream checks the state like Receive;
    // BeginFlush/EndFlush set and clear the flushing state (under the filter lock).
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // Releases the allocator so that the next connection agrees on a new one.
    HRESULT BreakConnect() override;
    // Leaving Paused/Running: clears the flushing and error states.
    HRESULT Inactive() override;

    bool IsFlushing() const { return m_bFlushing.load(); }
    bool IsReadOnly() const { return m_bReadOnly; }
    // The agreed allocator (no reference added), or null.
    IMemAllocator* Allocator() const { return m_pAllocator.Get(); }

protected:
    // The state checks of Receive and EndOfStream.
    HRESULT CheckStreaming();

    ComPtr<IMemAllocator> m_pAllocator;
    bool m_bReadOnly;
    // Written under the filter lock or on the streaming thread, read by Receive without it.
    std::atomic<bool> m_bFlushing;
    std::atomic<bool> m_bRunTimeError;  // set by a derived pin after a fatal streaming error
};
