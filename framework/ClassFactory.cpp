// CClassFactory: object creation for a class-table entry, and the server-wide counts.
#include "framework/ClassFactory.h"

#include <atomic>
#include <new>

#include "framework/Unknown.h"

namespace {
std::atomic<LONG> g_serverLocks{0};  // hosts lock and unlock from any thread
}

CClassFactory::CClassFactory(const CFactoryTemplate* entry)
    : CBaseObject(L"CClassFactory"), m_pTemplate(entry) {}

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter && riid != IID_IUnknown) return E_NOINTERFACE;

    HRESULT hr = S_OK;
    CUnknown* object = m_pTemplate->m_lpfnNew(pUnkOuter, &hr);
    if (!object) return SUCCEEDED(hr) ? E_OUTOFMEMORY : hr;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    // Hold a reference across the query so that a failed query destroys the object.
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock) {
    if (fLock)
        ++g_serverLocks;
    else
        --g_serverLocks;
    return S_OK;
}

LONG CClassFactory::ServerLocks() {
    return g_serverLocks;
}

HRESULT FrameworkGetClassObject(const CFactoryTemplate* table, int count, REFCLSID clsid,
                                REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    for (int i = 0; i < count; ++i) {
        if (!table[i].m_ClsID || *table[i].m_ClsID != clsid) continue;
        CClassFactory* factory = new (std::nothrow) CClassFactory(&table[i]);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        *ppv = static_cast<IClassFactory*>(factory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT FrameworkCanUnloadNow() {
    return (CClassFactory::ServerLocks() > 0 || CBaseObject::ObjectsActive() != 0) ? S_FALSE : S_OK;
}

void FrameworkInitClasses(const CFactoryTemplate* table, int count, BOOL bLoading) {
    for (int i = 0; i < count; ++i) {
        if (table[i].m_lpfnInit) table[i].m_lpfnInit(bLoading, table[i].m_ClsID);
    }
}
