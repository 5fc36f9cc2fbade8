// ComPtr<T>: one owned reference to a COM interface. The reference is released when the
// pointer goes, is reset or is overwritten; copies add a reference of their own, moves hand
// the reference over. Put() and PutVoid() release what is held and give the address that an
// out parameter (QueryInterface, CoCreateInstance, FindPin, GetDeliveryBuffer) fills with a
// new reference.
#pragma once

#include <cstddef>
#include <utility>

#include <windows.h>
#include <unknwn.h>

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Shares p: adds a reference of its own. Attach adopts one instead.
    explicit ComPtr(T* p) noexcept : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Releases the reference held, if any.
    void Reset() noexcept {
        T* old = m_p;
        m_p = nullptr;
        if (old) old->Release();
    }
    // Gives up ownership: the caller now owns the reference.
    T* Detach() noexcept {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    // Takes over a reference the caller owns, releasing the one held.
    void Attach(T* p) noexcept {
        T* old = m_p;
        m_p = p;
        if (old) old->Release();
    }
    // For an out parameter: releases what is held and hands out the empty slot.
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    T** ReleaseAndGetAddressOf() noexcept { return Put(); }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    // Hands out a new reference to the caller (an out parameter of our own methods).
    T* CopyOut() const noexcept {
        if (m_p) m_p->AddRef();
        return m_p;
    }

    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    // QueryInterface into *out (emptied first). E_POINTER when nothing is held.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>* out) const noexcept {
        void** slot = out->PutVoid();
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(iid, slot);
    }
    // The same for an interface that declares its identifier (the platform's interfaces).
    template <class U>
    HRESULT As(ComPtr<U>* out) const noexcept {
        return As(__uuidof(U), out);
    }

private:
    T* m_p = nullptr;
};

// Releases the references in the order given, for owners whose objects must go in order.
template <class... T>
void ResetAll(ComPtr<T>&... pointers) noexcept {
    (pointers.Reset(), ...);
}

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    return a.Get() == b.Get();
}
template <class T, class U>
bool operator!=(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    return a.Get() != b.Get();
}
