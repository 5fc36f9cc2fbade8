#include "base/CritSec.h"

#include <gtest/gtest.h>

TEST(CritSec, IsReentrant) {
    CCritSec lock;
    CAutoLock outer(&lock);
    CAutoLock inner(&lock);
    SUCCEED();
}
