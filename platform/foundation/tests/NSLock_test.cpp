#include <platform_foundation/NSLock.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

template <class Lock>
void expectMutualExclusion(Lock& lock) {
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                lock.lock();
                ++counter;
                lock.unlock();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 80000);
}

TEST(NSLock, ExcludesOtherThreads) {
    NSLock lock;
    expectMutualExclusion(lock);
}

TEST(NSLock, TryLockFailsWhileHeldElsewhere) {
    NSLock lock;
    lock.lock();
    EXPECT_FALSE(std::async(std::launch::async, [&] { return lock.tryLock(); }).get());
    lock.unlock();
    EXPECT_TRUE(std::async(std::launch::async, [&] {
                    bool had = lock.tryLock();
                    if (had) lock.unlock();
                    return had;
                }).get());
}

TEST(NSLock, LockBeforeDateTimesOutOrSucceeds) {
    NSLock lock;
    lock.lock();
    auto start = std::chrono::steady_clock::now();
    bool had = std::async(std::launch::async, [&] {
                   return lock.lockBeforeDate(NSDate::dateWithTimeIntervalSinceNow(0.05));
               }).get();
    EXPECT_FALSE(had);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_FALSE(std::async(std::launch::async, [&] {
                     return lock.lockBeforeDate(NSDate::dateWithTimeIntervalSinceNow(-10));
                 }).get());
    lock.unlock();

    // Released while the other thread waits: it gets the lock well before its limit.
    lock.lock();
    std::atomic<bool> waiting{false};
    auto waiter = std::async(std::launch::async, [&] {
        waiting = true;
        bool got = lock.lockBeforeDate(NSDate::dateWithTimeIntervalSinceNow(30));
        if (got) lock.unlock();
        return got;
    });
    while (!waiting) std::this_thread::yield();
    lock.unlock();
    EXPECT_TRUE(waiter.get());
}

TEST(NSLock, UnlockWithoutHoldingIsIgnored) {
    NSLock lock;
    lock.setName("com.example.lock");
    EXPECT_EQ(lock.name(), "com.example.lock");
    testing::internal::CaptureStderr();
    lock.unlock();  // not held: must not corrupt the lock
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("com.example.lock"), std::string::npos);

    lock.lock();
    testing::internal::CaptureStderr();
    std::async(std::launch::async, [&] { lock.unlock(); }).get();  // another thread's unlock
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::async(std::launch::async, [&] { return lock.tryLock(); }).get()) << "still held";
    lock.unlock();
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
}

TEST(NSRecursiveLock, ReentersOnTheOwningThread) {
    NSRecursiveLock lock;
    lock.lock();
    EXPECT_TRUE(lock.tryLock());
    EXPECT_TRUE(lock.lockBeforeDate(NSDate::dateWithTimeIntervalSinceNow(0)));
    lock.unlock();
    lock.unlock();
    EXPECT_FALSE(std::async(std::launch::async, [&] { return lock.tryLock(); }).get()) << "one level still held";
    lock.unlock();
    EXPECT_TRUE(std::async(std::launch::async, [&] {
                    bool had = lock.tryLock();
                    if (had) lock.unlock();
                    return had;
                }).get());

    testing::internal::CaptureStderr();
    lock.unlock();  // one unlock too many
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
}

TEST(NSRecursiveLock, ExcludesOtherThreads) {
    NSRecursiveLock lock;
    expectMutualExclusion(lock);
}

}  // namespace
