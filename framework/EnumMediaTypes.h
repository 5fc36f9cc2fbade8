// CEnumMediaTypes: IEnumMediaTypes over a pin's preferred types, read from the pin's
// GetMediaType as the enumeration proceeds.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base/win/ComPtr.h"
#include "framework/Unknown.h"

class CBasePin;

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
public:
    // Holds a reference on the pin; other (may be null) gives the starting position for Clone.
    CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other);
    ~CEnumMediaTypes() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Any thread. Each type handed out is a CoTaskMem record the caller deletes
    // (DeleteMediaType). S_FALSE when fewer than asked were left.
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    // True when the pin proposes a type at this position.
    bool HasTypeAt(int position) const;

    CBasePin* const m_pPin;
    const ComPtr<IPin> m_pinReference;  // keeps the pin (and so its filter) alive
    int m_position;
};
