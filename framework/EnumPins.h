// CEnumPins: IEnumPins over a filter's pins, read through GetPinCount/GetPin. An enumerator
// notices when the filter's pin set changes and reports VFW_E_ENUM_OUT_OF_SYNC until Reset.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base/win/ComPtr.h"
#include "framework/Unknown.h"

class CBaseFilter;

class CEnumPins : public CUnknown, public IEnumPins {
public:
    // Holds a reference on the filter; other (may be null) gives position and version for Clone.
    CEnumPins(CBaseFilter* filter, const CEnumPins* other);
    ~CEnumPins() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Any thread. Each pin handed out carries a reference.
    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    bool OutOfSync() const;

    CBaseFilter* const m_pFilter;
    const ComPtr<IUnknown> m_filterReference;  // keeps the filter alive while enumerating
    int m_position;
    int m_version;
};
