// CUnknown: reference counting, identity and aggregation.
#include "framework/Unknown.h"

CUnknown::CUnknown(LPCTSTR name, LPUNKNOWN outer, HRESULT* /*phr*/)
    : CBaseObject(name),
      m_cRef(0),
      m_pUnknown(outer ? outer
                       : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {}

CUnknown::~CUnknown() = default;

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
        return GetInterface(reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this)),
                            ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        // Hold an artificial reference while the destructor runs, so that an aggregated part
        // that AddRefs and Releases the object during teardown cannot delete it twice.
        m_cRef = 1;
        delete this;
        return 0;
    }
    return static_cast<ULONG>(count);
}

HRESULT GetInterface(IUnknown* pUnk, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
