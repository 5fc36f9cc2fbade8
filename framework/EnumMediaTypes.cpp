// CEnumMediaTypes: walks a pin's GetMediaType positions.
#include "framework/EnumMediaTypes.h"

#include <new>

#include "framework/BasePin.h"
#include "framework/MediaType.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other)
    : CUnknown(L"CEnumMediaTypes", nullptr),
      m_pPin(pin),
      m_pinReference(static_cast<IPin*>(pin)),
      m_position(other ? other->m_position : 0) {}

CEnumMediaTypes::~CEnumMediaTypes() = default;

STDMETHODIMP CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumMediaTypes) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes,
                                   ULONG* pcFetched) {
    if (!ppMediaTypes) return E_POINTER;
    if (!pcFetched && cMediaTypes != 1) return E_INVALIDARG;
    ULONG fetched = 0;
    HRESULT result = S_OK;
    while (fetched < cMediaTypes) {
        AM_MEDIA_TYPE type{};
        if (m_pPin->GetMediaType(m_position, &type) != S_OK) {
            FreeMediaType(type);
            break;
        }
        AM_MEDIA_TYPE* copy = CreateMediaType(&type);
        FreeMediaType(type);
        if (!copy) {
            result = E_OUTOFMEMORY;
            break;
        }
        ppMediaTypes[fetched++] = copy;
        ++m_position;
    }
    if (result == E_OUTOFMEMORY) {
        // Hand out all or nothing on failure.
        while (fetched > 0) {
            DeleteMediaType(ppMediaTypes[--fetched]);
            ppMediaTypes[fetched] = nullptr;
            --m_position;
        }
    }
    if (pcFetched) *pcFetched = fetched;
    if (FAILED(result)) return result;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

bool CEnumMediaTypes::HasTypeAt(int position) const {
    AM_MEDIA_TYPE type{};
    const bool exists = m_pPin->GetMediaType(position, &type) == S_OK;
    FreeMediaType(type);
    return exists;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    while (cMediaTypes > 0) {
        if (!HasTypeAt(m_position)) return S_FALSE;
        ++m_position;
        --cMediaTypes;
    }
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    CEnumMediaTypes* clone = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
    if (!clone) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumMediaTypes*>(clone), reinterpret_cast<void**>(ppEnum));
}
