// CCritSec: the re-entrant lock of the engine and of every envelope. On Windows it is a
// critical section, elsewhere a recursive mutex; the header stays free of platform headers.
#pragma once

class CCritSec {
public:
    CCritSec();
    ~CCritSec();
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock();
    void Unlock();

private:
    // Large enough for a CRITICAL_SECTION (40 bytes on Win64) or a pthread mutex (40 bytes).
    alignas(16) unsigned char m_storage[64];
};

// Holds a CCritSec for the lifetime of a scope.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : m_lock(lock) { m_lock->Lock(); }
    ~CAutoLock() { m_lock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_lock;
};
