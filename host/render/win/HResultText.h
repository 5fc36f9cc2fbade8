// Text for failing HRESULTs in the renderer's messages: the symbolic name where it is one
// a DirectShow or COM program meets, always with the hexadecimal code.
#pragma once

#include <string>

#include <windows.h>

// "VFW_E_TYPE_NOT_ACCEPTED (0x8004022A)", or "0x8004FFFF" for a code without a known name.
std::string HResultText(HRESULT hr);
