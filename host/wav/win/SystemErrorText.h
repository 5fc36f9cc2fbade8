// The system's text for a Win32 error code, for the renderer's messages.
#pragma once
#include <string>

#include <windows.h>

// "Access is denied", without the trailing period and line break; "error N" for a code the
// system has no text for.
std::string SystemErrorText(DWORD code);
