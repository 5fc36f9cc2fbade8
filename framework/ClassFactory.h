// CClassFactory and the in-process server helpers: a factory per class-table entry, the
// server lock count, and the bodies of DllGetClassObject and DllCanUnloadNow.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "base/win/ComObject.h"
#include "framework/BaseObject.h"
#include "framework/Setup.h"

class CUnknown;

// Creates an object for a class table; writes failures into *phr (which holds S_OK on entry).
typedef CUnknown*(WINAPI* LPFNNewCOMObject)(LPUNKNOWN pUnkOuter, HRESULT* phr);
// Called with TRUE at process attach and FALSE at process detach.
typedef void(WINAPI* LPFNInitRoutine)(BOOL bLoading, const CLSID* rclsid);

// One entry of a server's class table.
struct CFactoryTemplate {
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;
};

// IUnknown: IUnknown and IClassFactory. The count is the factory's own, with plain
// increments (a factory is used by the thread that got it); it starts at 0.
class CClassFactory : public ComObjectWith<PlainRefCount, CClassFactory, IClassFactory>,
                      public CBaseObject {
public:
    static constexpr ComInterfaceEntry<CClassFactory> kInterfaces[] = {
        ComEntry<CClassFactory, IClassFactory>(IID_IClassFactory)};

    explicit CClassFactory(const CFactoryTemplate* entry);

    // IClassFactory: any thread. An outer unknown may only ask for IID_IUnknown.
    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** ppv) override;
    // Adds (TRUE) or removes (FALSE) one server lock.
    STDMETHODIMP LockServer(BOOL fLock) override;

    // The server lock count that LockServer maintains.
    static LONG ServerLocks();

private:
    ~CClassFactory() override = default;

    const CFactoryTemplate* const m_pTemplate;
};

// DllGetClassObject's body: a new factory for the table entry of clsid, with one reference.
// E_NOINTERFACE unless iid is IUnknown or IClassFactory (checked first);
// CLASS_E_CLASSNOTAVAILABLE for a class not in the table.
HRESULT FrameworkGetClassObject(const CFactoryTemplate* table, int count, REFCLSID clsid,
                                REFIID iid, void** ppv);

// DllCanUnloadNow's body: S_FALSE while the server is locked or framework objects live.
HRESULT FrameworkCanUnloadNow();

// Calls each entry's initialisation routine (if any) with bLoading; for DllMain.
void FrameworkInitClasses(const CFactoryTemplate* table, int count, BOOL bLoading);
