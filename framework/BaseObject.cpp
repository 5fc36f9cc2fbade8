// CBaseObject: process-wide live-object count.
#include "framework/BaseObject.h"

namespace {
volatile LONG g_activeObjects = 0;
}

CBaseObject::CBaseObject(LPCTSTR /*name*/) {
    InterlockedIncrement(&g_activeObjects);
}

CBaseObject::~CBaseObject() {
    InterlockedDecrement(&g_activeObjects);
}

LONG CBaseObject::ObjectsActive() {
    return InterlockedCompareExchange(&g_activeObjects, 0, 0);
}
