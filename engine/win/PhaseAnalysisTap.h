// IPhaseAnalysisTap: the plug-in's private interface for the analysis page. While a page is
// connected the streaming thread gathers the analysis (TapSnapshot.h) and publishes it without
// ever waiting for the page; otherwise it costs the stream nothing.
#pragma once
#include <windows.h>

#include "analysis/TapSnapshot.h"

// {30689AF5-8361-4313-832E-4378F432F179}
extern "C" const IID IID_IPhaseAnalysisTap;

struct IPhaseAnalysisTap : public IUnknown {
    // Starts the tap with a window of 1 to 30 seconds (E_INVALIDARG otherwise), counted: the
    // tap runs until as many Disconnects. The first connect allocates everything it will need;
    // E_OUTOFMEMORY when it cannot. The first connection starts the analysis afresh.
    virtual HRESULT STDMETHODCALLTYPE Connect(int windowSeconds) = 0;
    // The stream stops feeding the tap when the last connection goes; S_FALSE when none is.
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
    // The window the curves cover from now on (the sums already gathered are kept).
    virtual HRESULT STDMETHODCALLTYPE SetWindow(int windowSeconds) = 0;
    // Starts the sums, meters and scope afresh.
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    // Copies the latest snapshot: S_OK when it is newer than the one the last call returned,
    // S_FALSE when it is the same; VFW_E_WRONG_STATE when not connected, E_POINTER for null.
    virtual HRESULT STDMETHODCALLTYPE GetSnapshot(TapSnapshot* snapshot) = 0;
};
