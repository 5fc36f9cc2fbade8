// CTransformFilter: a filter with one input and one output pin that turns each input sample
// into output delivered downstream. The derived filter supplies the type checks, the buffer
// size and the transform; the pins and the streaming states are handled here.
#pragma once

#include "framework/BaseFilter.h"

class CTransformInputPin;
class CTransformOutputPin;

class CTransformFilter : public CBaseFilter {
public:
    CTransformFilter(LPCTSTR name, LPUNKNOWN outer, REFCLSID clsid);
    // Deletes the pins.
    ~CTransformFilter() override;

    // Two pins: 0 input, 1 output.
    int GetPinCount() override;
    // Creates the pins on first use (input "Input", then output "Output"); a pin whose
    // construction fails is deleted and left absent. Derived filters may override to create
    // their own pin classes; they must set m_pInput and m_pOutput.
    CBasePin* GetPin(int n) override;

    // The transform. Called by the default Receive with a fresh output sample that already
    // carries the input's times and flags: fill it and set its data length. S_OK delivers it,
    // S_FALSE drops it (not an error), a failure ends the Receive.
    virtual HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) = 0;
    // Connection checks (filter lock): can the input take this type? Can this input type
    // become that output type? S_OK accepts.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* mtIn) = 0;
    virtual HRESULT CheckTransform(const AM_MEDIA_TYPE* mtIn, const AM_MEDIA_TYPE* mtOut) = 0;
    // Output allocator sizing at output connection (filter lock): call SetProperties on
    // pAlloc, starting from the downstream requirements in pProp.
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) = 0;
    // The output types to propose, by position, into a caller-owned empty record (filter lock
    // or any enumerating thread). VFW_S_NO_MORE_ITEMS past the last.
    virtual HRESULT GetMediaType(int iPosition, AM_MEDIA_TYPE* pMediaType) = 0;

    // Called when streaming begins (leaving Stopped with both pins connected) and ends
    // (stopping), once each, under the filter and receive locks.
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();
    // A quality message arrived at the output pin; S_FALSE passes it upstream.
    virtual HRESULT AlterQuality(Quality q);
    // A pin's connection type was set (filter lock); the pin has stored it already.
    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* pmt);
    // The pins' connection hooks (filter lock), called before the pin's own work.
    virtual HRESULT CheckConnect(PIN_DIRECTION dir, IPin* pPin);
    virtual HRESULT BreakConnect(PIN_DIRECTION dir);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pReceivePin);
    // One input sample, on the upstream streaming thread under the receive lock. The default
    // gets an output sample (InitializeOutputSample), calls Transform and delivers.
    virtual HRESULT Receive(IMediaSample* pSample);
    // Input pin notifications; the defaults pass them downstream through the output pin.
    // EndOfStream and NewSegment run under the receive lock, the flushes under the filter lock.
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // IMediaFilter: Stop ends streaming (StopStreaming after any Receive in progress has
    // returned); Pause begins it (StartStreaming) when leaving Stopped. With the input
    // unconnected Pause sends end-of-stream downstream, so a renderer does not wait forever.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;

    CTransformInputPin* InputPin() const { return m_pInput; }
    CTransformOutputPin* OutputPin() const { return m_pOutput; }
    CCritSec* ReceiveLock() { return &m_csReceive; }

protected:
    // Gets an output sample from the output pin with pSample's times, and copies its sync
    // point, preroll, discontinuity and media times. The caller releases *ppOut.
    HRESULT InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOut);

    CCritSec m_csFilter;   // the filter lock: state changes and connections
    CCritSec m_csReceive;  // held around Receive; StopStreaming waits for it
    CTransformInputPin* m_pInput;
    CTransformOutputPin* m_pOutput;
    bool m_bStreaming;     // StartStreaming succeeded and StopStreaming is still due
    bool m_bEOSDelivered;  // end-of-stream sent downstream because the input is unconnected
};
