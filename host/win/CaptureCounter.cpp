// CCaptureCounter: a counting IMediaParamsUICallback.
#include "host/win/CaptureCounter.h"

CCaptureCounter::CCaptureCounter() : m_cRef(1), m_values(0) {}

STDMETHODIMP CCaptureCounter::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IMediaParamsUICallback) return E_NOINTERFACE;
    *ppv = static_cast<IMediaParamsUICallback*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CCaptureCounter::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CCaptureCounter::Release() {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

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
