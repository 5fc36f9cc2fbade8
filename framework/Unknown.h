// CUnknown: the non-delegating IUnknown every framework COM object builds on, with COM
// aggregation support, plus GetInterface and the DECLARE_IUNKNOWN forwarding macro.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include "framework/BaseObject.h"

// The inner unknown of an aggregatable object. Its slots mirror IUnknown's, so a pointer to
// it can be handed out as the object's own IUnknown.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // outer: the controlling unknown when aggregated, or null. The count starts at 0; the
    // creator takes the first reference.
    CUnknown(LPCTSTR name, LPUNKNOWN outer, HRESULT* phr = nullptr);
    ~CUnknown() override;

    // The unknown that all interfaces forward to: the outer one, or this object's own.
    LPUNKNOWN GetOwner() const { return m_pUnknown; }

    // Any thread. Hands out IUnknown (the inner unknown); derived classes add their interfaces
    // and fall back to this.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Any thread; interlocked. Release deletes the object when the count reaches 0.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

protected:
    volatile LONG m_cRef;

private:
    IUnknown* const m_pUnknown;
};

// Hands out an interface pointer with a reference added. E_POINTER when ppv is null.
HRESULT GetInterface(IUnknown* pUnk, void** ppv);

// Forwards the three IUnknown methods of every interface of a class to its owner. Place it
// once in each class that derives from CUnknown and from one or more COM interfaces.
#define DECLARE_IUNKNOWN                                   \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) { \
        return GetOwner()->QueryInterface(riid, ppv);      \
    }                                                      \
    STDMETHODIMP_(ULONG) AddRef() {                        \
        return GetOwner()->AddRef();                       \
    }                                                      \
    STDMETHODIMP_(ULONG) Release() {                       \
        return GetOwner()->Release();                      \
    }
