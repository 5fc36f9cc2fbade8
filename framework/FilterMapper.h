// CFilterMapper: the platform's filter mapper for registering a filter's setup record,
// IFilterMapper2 where available and the older IFilterMapper otherwise. The caller has COM
// initialised on its thread.
#pragma once
#include <windows.h>
#include <strmif.h>

#include "base/win/ComPtr.h"
#include "framework/Setup.h"

class CFilterMapper {
public:
    CFilterMapper() = default;
    ~CFilterMapper();
    CFilterMapper(const CFilterMapper&) = delete;
    CFilterMapper& operator=(const CFilterMapper&) = delete;

    // Creates the mapper; its failure is the result.
    HRESULT Create();
    // Removes the filter's record; a filter the mapper does not know counts as success.
    HRESULT Unregister(const CLSID& clsid);
    // Adds the record: name, merit, pins and their media types.
    HRESULT Register(const AMOVIESETUP_FILTER& setup);

private:
    ComPtr<IFilterMapper2> m_mapper2;
    ComPtr<IFilterMapper> m_mapper1;
};
