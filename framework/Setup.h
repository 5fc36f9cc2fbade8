// Filter registration records: what a filter tells the filter mapper about itself. The pin
// and media-type records are the mapper's own REGFILTERPINS and REGPINTYPES, so a table can
// be handed to IFilterMapper2::RegisterFilter unchanged.
#pragma once

#include <windows.h>
#include <strmif.h>

typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;

struct AMOVIESETUP_FILTER {  // NOLINT(readability-identifier-naming): the platform's name
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};
