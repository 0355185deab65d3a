// Named mutexes between real processes: exclusion, and take-over after the
// holder is killed.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "TestSupport.h"
#include "platform/NamedMutex.h"

using tolvane::platform::NamedMutex;
using namespace tolvane::test;

namespace {

TEST(NamedMutexProcesses, ExcludesAcrossProcesses) {
    // Each child increments a shared counter non-atomically inside the mutex;
    // without exclusion, updates are lost.
    auto* counter = static_cast<volatile int*>(
        mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(counter, MAP_FAILED);
    *counter = 0;
    const int kChildren = 4, kRounds = 2000;
    std::vector<int> pids;
    for (int c = 0; c < kChildren; ++c) {
        pids.push_back(ForkChild([&] {
            auto mutex = NamedMutex::Create("Global\\tolvane-test-exclusion");
            if (!mutex) return 2;
            for (int i = 0; i < kRounds; ++i) {
                mutex->Wait();
                int v = *counter;
                if (i % 64 == 0) usleep(1);
                *counter = v + 1;
                mutex->Release();
            }
            return 0;
        }));
    }
    for (int pid : pids) EXPECT_EQ(WaitChild(pid), 0);
    EXPECT_EQ(*counter, kChildren * kRounds);
    munmap(const_cast<int*>(counter), sizeof(int));
}

TEST(NamedMutexProcesses, KilledHolderDoesNotBlockTheNextWaiter) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    int holder = ForkChild([&] {
        auto mutex = NamedMutex::Create("Global\\tolvane-test-abandoned");
        mutex->Wait();
        char c = 1;
        (void)!write(ready[1], &c, 1);
        pause();  // hold it until killed
        return 0;
    });
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    auto mutex = NamedMutex::Create("Global\\tolvane-test-abandoned");
    ASSERT_TRUE(mutex);
    EXPECT_FALSE(mutex->TryWait(100));  // really held by the child
    kill(holder, SIGKILL);
    EXPECT_EQ(WaitChild(holder), 128 + SIGKILL);
    EXPECT_TRUE(mutex->TryWait(5000));
    mutex->Release();
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
