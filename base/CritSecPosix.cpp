// CCritSec on POSIX: a recursive pthread mutex living in the object's storage.
#include "base/CritSec.h"

#include <pthread.h>

static_assert(sizeof(pthread_mutex_t) <= 64, "storage too small for a mutex");

static pthread_mutex_t* AsMutex(unsigned char* storage) {
    return reinterpret_cast<pthread_mutex_t*>(storage);
}

CCritSec::CCritSec() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(AsMutex(m_storage), &attr);
    pthread_mutexattr_destroy(&attr);
}
CCritSec::~CCritSec() {
    pthread_mutex_destroy(AsMutex(m_storage));
}
void CCritSec::Lock() {
    pthread_mutex_lock(AsMutex(m_storage));
}
void CCritSec::Unlock() {
    pthread_mutex_unlock(AsMutex(m_storage));
}
