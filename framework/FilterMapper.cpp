// CFilterMapper: registration records through either generation of the filter mapper.
#include "framework/FilterMapper.h"

#include <uuids.h>

namespace {
const HRESULT kNotRegistered = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}  // namespace

CFilterMapper::~CFilterMapper() {
    ResetAll(m_mapper2, m_mapper1);
}

HRESULT CFilterMapper::Create() {
    // A failed creation leaves its slot empty (CoCreateInstance nulls it).
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterMapper2, m_mapper2.PutVoid());
    if (SUCCEEDED(hr)) return hr;
    return CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                            m_mapper1.PutVoid());
}

HRESULT CFilterMapper::Unregister(const CLSID& clsid) {
    if (!m_mapper2 && !m_mapper1) return E_UNEXPECTED;
    const HRESULT hr = m_mapper2 ? m_mapper2->UnregisterFilter(nullptr, nullptr, clsid)
                                 : m_mapper1->UnregisterFilter(clsid);
    return hr == kNotRegistered ? S_OK : hr;
}

HRESULT CFilterMapper::Register(const AMOVIESETUP_FILTER& f) {
    if (m_mapper2) {
        REGFILTER2 record = {};
        record.dwVersion = 1;
        record.dwMerit = f.dwMerit;
        record.cPins = f.nPins;
        record.rgPins = f.lpPin;
        return m_mapper2->RegisterFilter(*f.clsID, f.strName, nullptr, nullptr, nullptr, &record);
    }
    if (!m_mapper1) return E_UNEXPECTED;
    HRESULT hr = m_mapper1->RegisterFilter(*f.clsID, f.strName, f.dwMerit);
    for (UINT p = 0; SUCCEEDED(hr) && p < f.nPins; ++p) {
        const AMOVIESETUP_PIN& pin = f.lpPin[p];
        hr = m_mapper1->RegisterPin(*f.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero,
                                    pin.bMany, *pin.clsConnectsToFilter,
                                    const_cast<WCHAR*>(pin.strConnectsToPin));
        for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
            hr = m_mapper1->RegisterPinType(*f.clsID, pin.strName,
                                            *pin.lpMediaType[t].clsMajorType,
                                            *pin.lpMediaType[t].clsMinorType);
        }
    }
    return hr;
}
