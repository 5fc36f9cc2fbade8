// ComObject: IUnknown for a standalone COM object (one that cannot be aggregated). The
// derived class lists the interfaces it implements as template arguments and supplies the
// table QueryInterface answers from; IUnknown itself is always answered, with the first
// table entry's pointer as the object's identity. The object is created with no reference
// (the creator takes the first) and deletes itself when the last one is released.
//
//   class CCallback : public ComObject<CCallback, IMyCallback> {
//   public:
//       static constexpr ComInterfaceEntry<CCallback> kInterfaces[] = {
//           ComEntry<CCallback, IMyCallback>(IID_IMyCallback)};
//       ...
//   };
//
// The reference count is interlocked; ComObjectWith<Count, ...> takes another counting
// policy (PlainRefCount, for an object only ever used by one thread at a time).
#pragma once

#include <windows.h>
#include <unknwn.h>

// One interface a ComObject hands out: its identifier and the conversion of the object to
// that interface's pointer.
template <class Derived>
struct ComInterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(Derived* self);
};

template <class Derived, class Interface>
IUnknown* ComCastTo(Derived* self) {
    return static_cast<Interface*>(self);
}

template <class Derived, class Interface>
constexpr ComInterfaceEntry<Derived> ComEntry(const IID& iid) {
    return {&iid, &ComCastTo<Derived, Interface>};
}

// Reference counts for any thread.
class InterlockedRefCount {
public:
    ULONG Increment() { return static_cast<ULONG>(InterlockedIncrement(&m_count)); }
    ULONG Decrement() { return static_cast<ULONG>(InterlockedDecrement(&m_count)); }

private:
    volatile LONG m_count = 0;
};

// Plain increments, for objects whose callers do not share them between threads.
class PlainRefCount {
public:
    ULONG Increment() { return ++m_count; }
    ULONG Decrement() { return --m_count; }

private:
    ULONG m_count = 0;
};

template <class Count, class Derived, class... Interfaces>
class ComObjectWith : public Interfaces... {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        Derived* self = static_cast<Derived*>(this);
        IUnknown* found = nullptr;
        if (riid == IID_IUnknown) {
            found = Derived::kInterfaces[0].cast(self);
        } else {
            for (const ComInterfaceEntry<Derived>& entry : Derived::kInterfaces) {
                if (*entry.iid == riid) {
                    found = entry.cast(self);
                    break;
                }
            }
        }
        if (!found) return E_NOINTERFACE;
        found->AddRef();
        *ppv = found;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_refs.Increment(); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG count = m_refs.Decrement();
        if (count == 0) delete this;
        return count;
    }

protected:
    ComObjectWith() = default;
    virtual ~ComObjectWith() = default;
    ComObjectWith(const ComObjectWith&) = delete;
    ComObjectWith& operator=(const ComObjectWith&) = delete;

private:
    Count m_refs;
};

template <class Derived, class... Interfaces>
using ComObject = ComObjectWith<InterlockedRefCount, Derived, Interfaces...>;
