#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Sync.h"

TEST(Sync, AutoResetEventReleasesOneWaiter) {
    Event e(false, false);
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));  // taken by the first wait
}

TEST(Sync, ManualResetEventStaysSignalled) {
    Event e(true, true);
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(0));
    e.Reset();
    EXPECT_FALSE(e.Wait(10));
}

TEST(Sync, WaitForAnyEventWakesOnTheSignalledOne) {
    Event a(false, false), b(false, false);
    EXPECT_EQ(WaitForAnyEvent({&a, &b}, 5), kWaitTimeout);
    std::thread t([&] { b.Set(); });
    EXPECT_EQ(WaitForAnyEvent({&a, &b}, 5000), 1u);
    t.join();
    a.Set();
    b.Set();
    EXPECT_EQ(WaitForAnyEvent({&a, &b}, 0), 0u);  // first in list order
    EXPECT_EQ(WaitForAnyEvent({&a, &b}, 0), 1u);
}

TEST(Sync, CriticalSectionIsReentrantAndExcludes) {
    CriticalSection cs;
    int counter = 0;
    {
        CriticalSectionLock outer(cs);
        CriticalSectionLock inner(cs);
        ++counter;
    }
    std::atomic<bool> stop{false};
    std::thread t([&] {
        for (int i = 0; i < 10000; ++i) {
            CriticalSectionLock l(cs);
            ++counter;
        }
    });
    for (int i = 0; i < 10000; ++i) {
        CriticalSectionLock l(cs);
        ++counter;
    }
    t.join();
    EXPECT_EQ(counter, 20001);
    const uint64_t t0 = GetTickCount64();
    EXPECT_GE(GetTickCount64(), t0);
}
