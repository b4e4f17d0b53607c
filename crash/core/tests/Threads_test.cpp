#include <crash_core/CRCPU.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRThread.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_dispatch/NSThread.h>
#include <platform_kernel/ThreadNames.h>
#include <platform_kernel/ThreadSuspend.h>

#include "CrashTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>

using namespace crashtest;

namespace {

class ThreadsTest : public ::testing::Test {
protected:
    void SetUp() override { crmc_prepare(); }
};

TEST_F(ThreadsTest, ParkedThreadsAreCapturedInsideTheirFunctionAndStack) {
    auto spin = fixtureFunction<FixtureSpin>("fixture_spin");
    ASSERT_NE(spin, nullptr);
    Dl_info info;
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(spin), &info));
    auto symbols = readelfSymbols(info.dli_fname);
    ASSERT_NE(symbols.find("fixture_spin"), symbols.end());
    auto [value, size] = symbols.find("fixture_spin")->second;
    ASSERT_GT(size, 0u);
    uintptr_t start = reinterpret_cast<uintptr_t>(info.dli_fbase) + value;

    constexpr int kThreads = 50;
    volatile int release = 0;
    std::atomic<int> arrived{0};
    std::vector<std::atomic<uintptr_t>> stackMarks(kThreads);
    std::vector<std::atomic<pid_t>> tids(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            char mark;
            stackMarks[i] = reinterpret_cast<uintptr_t>(&mark);
            tids[i] = static_cast<pid_t>(crthread_self());
            ++arrived;
            spin(&release);
        });
    while (arrived < kThreads) std::this_thread::yield();

    CRThread* list = nullptr;
    int count = 0;
    ASSERT_TRUE(crmc_suspendEnvironment(&list, &count));
    // On a loaded machine a thread may not get the CPU within the 100 ms a suspension
    // waits; such a thread is stopped here with a generous wait before it is read.
    for (int i = 0; i < kThreads; ++i) ASSERT_TRUE(kernel::suspendThread(tids[i], 20000));
    int inside = 0;
    for (int i = 0; i < kThreads; ++i) {
        CRMachineContext context;
        crmc_getContextForThread(static_cast<CRThread>(tids[i].load()), &context, false);
        uintptr_t rip = crcpu_instructionAddress(&context), rsp = crcpu_stackPointer(&context);
        // The thread may still be on its way from the marker into the spin.
        if (rip >= start && rip < start + size) ++inside;
        EXPECT_LT(rsp, stackMarks[i].load());
        EXPECT_GT(rsp + 4096, stackMarks[i].load());
    }
    crmc_resumeEnvironment(list, count);
    release = 1;
    for (auto& t : threads) t.join();
    EXPECT_GE(inside, kThreads - 5);
}

TEST_F(ThreadsTest, AContextListsAtMostOneHundredThreads) {
    std::mutex m;
    std::condition_variable cv;
    bool go = false;
    std::atomic<int> started{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 150; ++i)
        threads.emplace_back([&] {
            std::unique_lock lock(m);
            ++started;
            cv.wait(lock, [&] { return go; });
        });
    while (started < 150) std::this_thread::yield();
    CRMachineContext context;
    crmc_getContextForThread(crthread_self(), &context, true);
    EXPECT_EQ(crmc_getThreadCount(&context), 100);
    EXPECT_EQ(crmc_getThreadAtIndex(&context, 0), static_cast<CRThread>(getpid()));
    EXPECT_EQ(crmc_indexOfThread(&context, static_cast<CRThread>(getpid())), 0);
    EXPECT_EQ(crmc_getThreadAtIndex(&context, 100), 0u);
    EXPECT_EQ(crmc_indexOfThread(&context, 0), -1);
    {
        std::lock_guard lock(m);
        go = true;
    }
    cv.notify_all();
    for (auto& t : threads) t.join();
}

// Dispatch work and timers go on unharmed through many suspensions.
TEST_F(ThreadsTest, RepeatedEnvironmentSuspensionDisturbsNoWork) {
    auto queue = dispatch_queue_create("com.example.crash.suspend-test", nullptr);
    std::atomic<int> blocks{0};
    std::atomic<bool> stop{false};
    std::atomic<int> inFlight{0};
    std::function<void()> again = [&] {
        ++blocks;
        if (!stop) dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 100000), queue, again);
        else --inFlight;
    };
    ++inFlight;
    dispatch_async(queue, again);
    std::atomic<int> sleeps{0};
    std::thread sleeper([&] {
        while (!stop) {
            NSThread::sleepForTimeInterval(0.0002);
            ++sleeps;
        }
    });
    for (int i = 0; i < 100; ++i) {
        CRThread* list = nullptr;
        int count = 0;
        ASSERT_TRUE(crmc_suspendEnvironment(&list, &count));
        EXPECT_GT(count, 2);
        crmc_resumeEnvironment(list, count);
    }
    int seenBlocks = blocks, seenSleeps = sleeps;
    while (blocks == seenBlocks || sleeps == seenSleeps) std::this_thread::yield();
    stop = true;
    sleeper.join();
    while (inFlight > 0) std::this_thread::yield();
}

TEST_F(ThreadsTest, ReservedThreadsAreNeverSuspended) {
    std::atomic<uint64_t> counter{0};
    std::atomic<bool> stop{false};
    std::atomic<pid_t> tid{0};
    std::thread t([&] {
        tid = static_cast<pid_t>(crthread_self());
        while (!stop) counter.fetch_add(1, std::memory_order_relaxed);
    });
    while (tid == 0) std::this_thread::yield();
    crmc_addReservedThread(static_cast<CRThread>(tid.load()));
    CRThread* list = nullptr;
    int count = 0;
    ASSERT_TRUE(crmc_suspendEnvironment(&list, &count));
    uint64_t before = counter;
    while (counter == before) std::this_thread::yield();  // still running
    crmc_resumeEnvironment(list, count);
    stop = true;
    t.join();
}

TEST_F(ThreadsTest, QueueLabels) {
    struct Case {
        const char* label;
        bool found;
        const char* expected;
        int buffer;
    } cases[] = {
        {"com.example.crash.queue", true, "com.example.crash.queue", 64},
        {"com.example.cut", true, "com.ex", 7},
        {"", true, "", 8},
        {"bad\x7F", false, nullptr, 64},
        {"bad\x01label", false, nullptr, 64},
        {"tab\tlabel", false, nullptr, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto queue = dispatch_queue_create(c.label, nullptr);
        auto sem = dispatch_semaphore_create(0);
        auto done = dispatch_semaphore_create(0);
        std::atomic<CRThread> worker{0};
        dispatch_async(queue, [&] {
            worker = crthread_self();
            dispatch_semaphore_wait(sem, DISPATCH_TIME_FOREVER);
            dispatch_semaphore_signal(done);
        });
        while (worker == 0) std::this_thread::yield();
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        bool found = crthread_getQueueName(worker, buffer, c.buffer);
        dispatch_semaphore_signal(sem);
        dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
        EXPECT_EQ(found, c.found);
        if (c.found) {
            EXPECT_STREQ(buffer, c.expected);
        }
    }
    char buffer[64];
    EXPECT_FALSE(crthread_getQueueName(crthread_self(), buffer, sizeof buffer));
}

TEST_F(ThreadsTest, LongNSThreadNamesStayWhole) {
    const std::string name = "com.example.crash.cached-data-refresh";
    std::atomic<CRThread> tid{0};
    std::atomic<bool> stop{false};
    auto thread = std::make_shared<NSThread>([&] {
        tid = crthread_self();
        while (!stop) std::this_thread::yield();
    });
    thread->setName(name);
    thread->start();
    while (tid == 0) std::this_thread::yield();
    thread->setName(name);  // named while running
    char buffer[128];
    ASSERT_TRUE(kernel::threadName(static_cast<pid_t>(tid.load()), buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), name);
    stop = true;
    while (!thread->isFinished()) std::this_thread::yield();
}

TEST(Debugger, NotTracedUnderTheTestRunner) {
    EXPECT_FALSE(crdebug_isBeingTraced());
}

}  // namespace
