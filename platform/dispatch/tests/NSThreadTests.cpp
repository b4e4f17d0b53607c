#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>

namespace {

constexpr double kTimeout = 5.0;

std::string linuxNameOf(long tid) {
    std::ifstream comm("/proc/self/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

TEST(NSThread, TheMainThreadIsTheProcesssInitialThread) {
    EXPECT_EQ(syscall(SYS_gettid), getpid());
    EXPECT_TRUE(NSThread::isMainThread());
    EXPECT_EQ(NSThread::currentThread(), NSThread::mainThread());
    EXPECT_TRUE(NSThread::mainThread()->isMain());
}

TEST(NSThread, DetachedBlocksRunOnAnotherThread) {
    std::atomic<bool> done{false}, onMain{true};
    NSThread::detachNewThreadWithBlock([&] {
        onMain = NSThread::isMainThread() || NSThread::currentThread()->isMain();
        done = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, kTimeout));
    EXPECT_FALSE(onMain.load());
}

TEST(NSThread, NamesReachTheLinuxThreadCutTo15Bytes) {
    struct Case {
        std::string name;
        std::string linuxName;
        bool beforeStart;
    };
    Case cases[] = {
        {"short", "short", true},
        {"CRCrash Deadlock Detection Thread", "CRCrash Deadloc", true},
        {"renamed while running", "renamed while r", false},
        // 14 ASCII bytes then a two-byte character: the character is not split.
        {"abcdefghijklmn\xC3\xA9z", "abcdefghijklmn", true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<long> tid{0};
        std::atomic<bool> named{false}, release{false};
        std::string nameInside;
        auto thread = std::make_shared<NSThread>([&] {
            if (!c.beforeStart) NSThread::currentThread()->setName(c.name);
            nameInside = NSThread::currentThread()->name();
            tid = syscall(SYS_gettid);
            named = true;
            while (!release.load()) std::this_thread::yield();
        });
        if (c.beforeStart) thread->setName(c.name);
        thread->start();
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return named.load(); }, kTimeout));
        EXPECT_EQ(nameInside, c.name);
        EXPECT_EQ(thread->name(), c.name);
        EXPECT_EQ(linuxNameOf(tid), c.linuxName);
        release = true;
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return thread->isFinished(); }, kTimeout));
    }
}

TEST(NSThread, CancelSetsAFlagTheThreadObserves) {
    std::atomic<bool> started{false};
    auto thread = std::make_shared<NSThread>([&] {
        started = true;
        while (!NSThread::currentThread()->isCancelled()) std::this_thread::yield();
    });
    EXPECT_FALSE(thread->isExecuting());
    thread->start();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return started.load(); }, kTimeout));
    EXPECT_TRUE(thread->isExecuting());
    EXPECT_FALSE(thread->isCancelled());
    thread->cancel();
    EXPECT_TRUE(thread->isCancelled());
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return thread->isFinished(); }, kTimeout));
    EXPECT_FALSE(thread->isExecuting());
}

TEST(NSThread, StartRunsTheBlockOnce) {
    std::atomic<int> runs{0};
    auto thread = std::make_shared<NSThread>([&] { ++runs; });
    thread->start();
    thread->start();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return thread->isFinished(); }, kTimeout));
    EXPECT_EQ(runs.load(), 1);
}

TEST(NSThread, ThreadsNotStartedAsNSThreadsGetAnObjectToo) {
    std::shared_ptr<NSThread> first, second;
    std::thread([&] {
        first = NSThread::currentThread();
        second = NSThread::currentThread();
        first->setName("plain thread");
    }).join();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_FALSE(first->isMain());
    EXPECT_EQ(first->name(), "plain thread");
}

TEST(NSThread, SleepForTimeIntervalSleepsAtLeastThatLong) {
    auto start = std::chrono::steady_clock::now();
    NSThread::sleepForTimeInterval(0.01);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
    NSThread::sleepForTimeInterval(-1);  // returns at once
}

}  // namespace
