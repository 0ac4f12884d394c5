#include <thread>

#include <gtest/gtest.h>

#include "ZoLock.h"
#include "ZoLockWaitGate.h"

namespace {

class CountingLock : public CZoLock {
public:
    bool Lock() override
    {
        ++locks;
        return grants;
    }
    void Unlock() override { ++unlocks; }
    bool grants = true;
    int locks = 0;
    int unlocks = 0;
};

TEST(ZoLockHolder, ReleasesOnlyWhatItTook)
{
    struct Case {
        const char* what;
        bool grants;
        int unlocks;
    };
    const Case cases[] = {{"taken", true, 1}, {"not taken", false, 0}};
    for (const auto& c : cases) {
        CountingLock lock;
        lock.grants = c.grants;
        { CZoLockHolder holder(&lock); }
        EXPECT_EQ(1, lock.locks) << c.what;
        EXPECT_EQ(c.unlocks, lock.unlocks) << c.what;
    }
    CZoLockHolder withoutLock(nullptr);
}

TEST(ZoCOMLockThread, ReentrantForItsOwner)
{
    CZoCOMLock lock;
    ASSERT_TRUE(lock.Lock());
    ASSERT_TRUE(lock.Lock());
    lock.Unlock();
    bool otherTookIt = false;
    std::thread blocked([&] {
        CZoLockHolder holder(&lock);
        otherTookIt = true;
    });
    // Still held once: the other thread waits until the last Unlock.
    lock.Unlock();
    blocked.join();
    EXPECT_TRUE(otherTookIt);
}

TEST(ZoCOMLockThread, ExcludesOtherThreads)
{
    CZoCOMLock lock;
    long long counter = 0;
    const auto work = [&] {
        for (int i = 0; i < 50000; ++i) {
            CZoLockHolder outer(&lock);
            CZoLockHolder inner(&lock);
            counter = counter + 1;
        }
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_EQ(100000, counter);
}

TEST(ZoLockWaitGate, OneRetryPerIntervalWhileHeldElsewhere)
{
    CZoLockWaitGate gate(1000);
    EXPECT_TRUE(gate.MayWait(5));
    EXPECT_TRUE(gate.MayWait(5)) << "no retry to take while the lock is free";
    EXPECT_TRUE(gate.OnTimeout(100)) << "the first timeout";
    EXPECT_FALSE(gate.OnTimeout(120)) << "a wait that began before it";
    EXPECT_FALSE(gate.MayWait(90)) << "a tick read before the timeout was recorded";
    EXPECT_FALSE(gate.MayWait(1119));
    EXPECT_TRUE(gate.MayWait(1120));
    EXPECT_FALSE(gate.MayWait(1120)) << "the interval's retry is taken";
    EXPECT_FALSE(gate.OnTimeout(1320)) << "still held: not a first timeout";
    EXPECT_FALSE(gate.MayWait(2319));
    EXPECT_TRUE(gate.MayWait(2320));
    gate.Clear();
    EXPECT_TRUE(gate.MayWait(2321));
    EXPECT_TRUE(gate.MayWait(2321));
    EXPECT_TRUE(gate.OnTimeout(2400)) << "held again after it was obtained";
}

}  // namespace
