// CBaseFilter: IBaseFilter (with IMediaFilter and IPersist) and IAMovieSetup for a filter
// whose pins derive from CBasePin: state, clock, graph membership, pin lookup and
// registration through its setup record.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base/CritSec.h"
#include "base/win/ComPtr.h"
#include "framework/Setup.h"
#include "framework/Unknown.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    // lock: the filter lock, owned by the derived filter (it may not be entered yet during
    // construction); clsid: what GetClassID reports.
    CBaseFilter(LPCTSTR name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid,
                HRESULT* phr = nullptr);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter and IPersist (all as IBaseFilter), IAMovieSetup, IUnknown.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist: any thread.
    STDMETHODIMP GetClassID(CLSID* pClsID) override;

    // IMediaFilter state changes: graph thread, under the filter lock. Pause activates the
    // connected pins when leaving Stopped; Stop deactivates them; Run pauses first if stopped.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

    // IBaseFilter: graph threads.
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    // Keeps the graph without a reference (the graph owns the filter) and copies the name.
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // IAMovieSetup: registers or unregisters GetSetupData's record with the filter mapper.
    // S_FALSE when the filter has no record.
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    // Overridables, in call order of a filter's life.
    // Stream time: the clock's time less the start time. VFW_E_NO_CLOCK without a clock.
    virtual HRESULT StreamTime(REFERENCE_TIME* rtStream);
    // Changes whenever the set of pins changes (IncrementPinVersion); enumerators compare it.
    virtual int GetPinVersion();
    virtual int GetPinCount() = 0;
    // The pin at index n (no reference added), or null.
    virtual CBasePin* GetPin(int n) = 0;
    // The registration record for IAMovieSetup; null when the filter has none.
    virtual const AMOVIESETUP_FILTER* GetSetupData();

    // Reports an event to the graph (IMediaEventSink); E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(long eventCode, LONG_PTR param1, LONG_PTR param2);

    bool IsStopped() const { return m_state == State_Stopped; }
    bool IsActive() const { return m_state != State_Stopped; }
    FILTER_STATE State() const { return m_state; }
    // The graph the filter joined (no reference held), or null.
    IFilterGraph* GetFilterGraph() const { return m_pGraph; }
    CCritSec* FilterLock() const { return m_pLock; }

protected:
    void IncrementPinVersion() { InterlockedIncrement(&m_pinVersion); }

    FILTER_STATE m_state;
    ComPtr<IReferenceClock> m_pClock;
    REFERENCE_TIME m_tStart;
    CLSID m_clsid;
    CCritSec* const m_pLock;
    WCHAR* m_pName;
    IFilterGraph* m_pGraph;
    IMediaEventSink* m_pSink;  // the graph's, held without a reference like the graph

private:
    volatile LONG m_pinVersion;
};
