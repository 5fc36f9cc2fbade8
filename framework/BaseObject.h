// CBaseObject: the root of every framework object. It keeps the process-wide count of live
// objects that DllCanUnloadNow consults.
#pragma once

#include <windows.h>

class CBaseObject {
public:
    // name: a label for debugging; it is not stored.
    explicit CBaseObject(LPCTSTR name);
    virtual ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // Number of framework objects alive in the process; any thread, no lock (interlocked).
    static LONG ObjectsActive();
};
