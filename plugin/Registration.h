// Registration of the server's classes: the COM class keys, the filter mapper's record and
// the extra pin and filter keys hosts look for.
#pragma once
#include <windows.h>

#include "framework/ClassFactory.h"

HRESULT RegisterClassTable(HMODULE module, const CFactoryTemplate* table, int count);
HRESULT UnregisterClassTable(HMODULE module, const CFactoryTemplate* table, int count);
