// The analysis tap's interface: connections, the window, resets and snapshots.
#include "engine/win/AnalysisTapPort.h"

#include <vfwmsgs.h>

namespace {

bool WindowInRange(int seconds) {
    return seconds >= kTapMinWindowSeconds && seconds <= kTapMaxWindowSeconds;
}

}  // namespace

CAnalysisTapPort::~CAnalysisTapPort() {
    m_processor.SetTap(nullptr);
}

STDMETHODIMP CAnalysisTapPort::QueryInterface(REFIID iid, void** out) {
    return m_owner->QueryInterface(iid, out);
}
STDMETHODIMP_(ULONG) CAnalysisTapPort::AddRef() {
    return m_owner->AddRef();
}
STDMETHODIMP_(ULONG) CAnalysisTapPort::Release() {
    return m_owner->Release();
}

STDMETHODIMP CAnalysisTapPort::Connect(int windowSeconds) {
    if (!WindowInRange(windowSeconds)) return E_INVALIDARG;
    CAutoLock lock(&m_lock);
    if (!m_tap) {
        m_tap = CPhaseTap::Create();
        if (!m_tap) return E_OUTOFMEMORY;
    }
    m_tap->SetWindow(windowSeconds);
    if (m_connections++ == 0) {
        m_tap->RequestReset();
        m_processor.SetTap(m_tap.get());
    }
    return S_OK;
}

// The stream may still be in a block with the tap: it stays allocated, and a later connect
// takes it up again.
STDMETHODIMP CAnalysisTapPort::Disconnect() {
    CAutoLock lock(&m_lock);
    if (m_connections == 0) return S_FALSE;
    if (--m_connections == 0) m_processor.SetTap(nullptr);
    return S_OK;
}

STDMETHODIMP CAnalysisTapPort::SetWindow(int windowSeconds) {
    if (!WindowInRange(windowSeconds)) return E_INVALIDARG;
    CAutoLock lock(&m_lock);
    if (m_connections == 0) return VFW_E_WRONG_STATE;
    m_tap->SetWindow(windowSeconds);
    return S_OK;
}

STDMETHODIMP CAnalysisTapPort::Reset() {
    CAutoLock lock(&m_lock);
    if (m_connections == 0) return VFW_E_WRONG_STATE;
    m_tap->RequestReset();
    return S_OK;
}

STDMETHODIMP CAnalysisTapPort::GetSnapshot(TapSnapshot* snapshot) {
    if (!snapshot) return E_POINTER;
    CAutoLock lock(&m_lock);
    if (m_connections == 0) return VFW_E_WRONG_STATE;
    return m_tap->Read(snapshot) ? S_OK : S_FALSE;
}
