// CBasePin: IPin for both directions: connection (with and without a proposed media type),
// media-type enumeration, pin information and the stream notifications. Pins share their
// filter's reference count and lock; derived pins supply the type checks.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base/CritSec.h"
#include "base/win/ComPtr.h"
#include "framework/Unknown.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin {
public:
    // filter: the owner, which deletes the pin; lock: the filter lock that serialises
    // connection and state changes; pinName: copied, returned by QueryPinInfo.
    CBasePin(LPCTSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR pinName,
             PIN_DIRECTION direction);
    ~CBasePin() override;

    DECLARE_IUNKNOWN
    // IPin and IUnknown. The references go to the filter: a pin lives as long as it does.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // IPin connection methods: graph threads, under the filter lock; only while stopped.
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    // IPin queries: any thread.
    STDMETHODIMP ConnectedTo(IPin** ppPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    // IPin stream notifications (upstream pin's thread). The base accepts them; derived input
    // pins act on them and output pins refuse them.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override = 0;
    STDMETHODIMP EndFlush() override = 0;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // Overridables of the connection logic, called under the filter lock.
    // Is this a pin we can connect to at all? The base checks the direction.
    virtual HRESULT CheckConnect(IPin* pPin);
    // Undoes CheckConnect and CompleteConnect work after a failed or ended connection.
    virtual HRESULT BreakConnect();
    // The connection is made (m_connected and the type are set); last chance to refuse.
    virtual HRESULT CompleteConnect(IPin* pReceivePin);
    // Records the connection type in m_mt.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt);
    // S_OK when the type is acceptable; anything else refuses it.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) = 0;
    // The preferred types in order, filled into a caller-owned empty record: S_OK, or
    // VFW_S_NO_MORE_ITEMS past the last (the base proposes none).
    virtual HRESULT GetMediaType(int iPosition, AM_MEDIA_TYPE* pmt);

    // State changes, called by the filter for connected pins under the filter lock.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME tStart);

    // The identifier QueryId and FindPin use; the pin name unless a derived pin says otherwise.
    virtual LPCWSTR Id() const;

    BOOL IsConnected() const { return m_connected.Get() != nullptr; }
    // The connected pin (no reference added), or null.
    IPin* GetConnected() const { return m_connected.Get(); }
    // The connection type; empty while unconnected.
    const AM_MEDIA_TYPE& CurrentMediaType() const { return m_mt; }
    PIN_DIRECTION Direction() const { return m_dir; }
    LPCWSTR Name() const { return m_pName; }
    CBaseFilter* Filter() const { return m_pFilter; }
    bool IsStopped() const;

    // The current segment, as the last NewSegment gave it.
    REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
    REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
    double CurrentRate() const { return m_dRate; }

protected:
    // Tries one fully specified type with the receiving pin.
    HRESULT AttemptConnection(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt);
    // Tries this pin's types, then the receiving pin's, that match the (partial or null) type.
    HRESULT AgreeMediaType(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt);
    // Forgets the connected pin and the connection type.
    void ClearConnection();

    CBaseFilter* const m_pFilter;
    CCritSec* const m_pLock;
    WCHAR* m_pName;
    const PIN_DIRECTION m_dir;
    ComPtr<IPin> m_connected;
    AM_MEDIA_TYPE m_mt;
    CCritSec m_typeLock;  // held while m_mt is replaced or copied out
    REFERENCE_TIME m_tStart;
    REFERENCE_TIME m_tStop;
    double m_dRate;

private:
    HRESULT TryTypesFrom(IEnumMediaTypes* types, IPin* pReceivePin, const AM_MEDIA_TYPE* partial);
};
