// CCaptureCounter: the renderer's IMediaParamsUICallback. A workstation records what the
// plug-in reports here as automation; the renderer has nothing to record into, so it counts
// the reports for the summary and accepts them all.
#pragma once

#include <windows.h>

#include "automation/win/MediaParamsInterfaces.h"

class CCaptureCounter : public IMediaParamsUICallback {
public:
    // Created with one reference, which the creator releases.
    CCaptureCounter();

    // Any thread.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Whichever thread changed a parameter in the plug-in (here the host thread).
    STDMETHODIMP CaptureBegin(DWORD* indices, DWORD count) override;
    STDMETHODIMP CaptureValues(DWORD* indices, DWORD count, MP_DATA* values) override;
    STDMETHODIMP CaptureEnd(DWORD* indices, DWORD count) override;

    // Parameter values reported through CaptureValues so far.
    LONG ValuesReported() const { return m_values; }

private:
    virtual ~CCaptureCounter() = default;

    volatile LONG m_cRef;
    volatile LONG m_values;
};
