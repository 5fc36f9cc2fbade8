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
    alignas(16) unsigned char storage_[64];
};

// Holds a CCritSec for the lifetime of a scope.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
    ~CAutoLock() { lock_->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* lock_;
};
