// CCaptureCounter: the renderer's IMediaParamsUICallback. A workstation records what the
// plug-in reports here as automation; the renderer has nothing to record into, so it counts
// the reports for the summary and accepts them all.
#pragma once

#include <windows.h>

#include "automation/win/MediaParamsInterfaces.h"
#include "base/win/ComObject.h"

class CCaptureCounter : public ComObject<CCaptureCounter, IMediaParamsUICallback> {
public:
    static constexpr ComInterfaceEntry<CCaptureCounter> kInterfaces[] = {
        ComEntry<CCaptureCounter, IMediaParamsUICallback>(IID_IMediaParamsUICallback)};

    // Created with no reference; the creator takes the first.
    CCaptureCounter() = default;

    // Whichever thread changed a parameter in the plug-in (here the host thread).
    STDMETHODIMP CaptureBegin(DWORD* indices, DWORD count) override;
    STDMETHODIMP CaptureValues(DWORD* indices, DWORD count, MP_DATA* values) override;
    STDMETHODIMP CaptureEnd(DWORD* indices, DWORD count) override;

    // Parameter values reported through CaptureValues so far.
    LONG ValuesReported() const { return m_values; }

private:
    ~CCaptureCounter() override = default;

    volatile LONG m_values = 0;
};
