// CCritSec on Windows: a critical section living in the object's storage.
#include "base/CritSec.h"

#include <windows.h>

static_assert(sizeof(CRITICAL_SECTION) <= 64, "storage too small for a critical section");

CCritSec::CCritSec() {
    InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}
CCritSec::~CCritSec() {
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}
void CCritSec::Lock() {
    EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}
void CCritSec::Unlock() {
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(m_storage));
}
