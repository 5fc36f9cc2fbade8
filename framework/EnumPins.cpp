// CEnumPins: walks a filter's pins by index.
#include "framework/EnumPins.h"

#include <new>
#include <vfwmsgs.h>

#include "framework/BaseFilter.h"
#include "framework/BasePin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* other)
    : CUnknown(L"CEnumPins", nullptr),
      m_pFilter(filter),
      m_filterReference(filter->GetOwner()),
      m_position(other ? other->m_position : 0),
      m_version(other ? other->m_version : filter->GetPinVersion()) {}

CEnumPins::~CEnumPins() = default;

STDMETHODIMP CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumPins::OutOfSync() const {
    return m_version != m_pFilter->GetPinVersion();
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    if (!ppPins) return E_POINTER;
    if (!pcFetched && cPins != 1) return E_INVALIDARG;
    if (pcFetched) *pcFetched = 0;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    const int count = m_pFilter->GetPinCount();
    while (fetched < cPins && m_position < count) {
        CBasePin* pin = m_pFilter->GetPin(m_position);
        if (!pin) break;
        ++m_position;
        ppPins[fetched] = static_cast<IPin*>(pin);
        ppPins[fetched]->AddRef();
        ++fetched;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins) {
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    const int left = m_pFilter->GetPinCount() - m_position;
    if (static_cast<LONGLONG>(cPins) > left) {
        m_position += left > 0 ? left : 0;
        return S_FALSE;
    }
    m_position += static_cast<int>(cPins);
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
    m_version = m_pFilter->GetPinVersion();
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumPins* clone = new (std::nothrow) CEnumPins(m_pFilter, this);
    if (!clone) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumPins*>(clone), reinterpret_cast<void**>(ppEnum));
}
