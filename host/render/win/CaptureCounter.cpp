// CCaptureCounter: a counting IMediaParamsUICallback.
#include "host/render/win/CaptureCounter.h"

STDMETHODIMP CCaptureCounter::CaptureBegin(DWORD*, DWORD) {
    return S_OK;
}

STDMETHODIMP CCaptureCounter::CaptureValues(DWORD*, DWORD count, MP_DATA*) {
    InterlockedExchangeAdd(&m_values, static_cast<LONG>(count));
    return S_OK;
}

STDMETHODIMP CCaptureCounter::CaptureEnd(DWORD*, DWORD) {
    return S_OK;
}
