#include <platform_kernel/ThreadList.h>
#include <platform_kernel/ThreadNames.h>
#include <platform_kernel/ThreadSuspend.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Threads that stay alive until released, each telling its tid.
class Crowd {
public:
    explicit Crowd(int n) {
        tids_.resize(n);
        for (int i = 0; i < n; ++i)
            threads_.emplace_back([this, i] {
                tids_[i] = kernel::currentThreadId();
                std::unique_lock lock(m_);
                ++started_;
                cv_.notify_all();
                cv_.wait(lock, [&] { return release_; });
            });
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return started_ == n; });
    }
    ~Crowd() {
        {
            std::lock_guard lock(m_);
            release_ = true;
        }
        cv_.notify_all();
        for (auto& t : threads_) t.join();
    }
    const std::vector<pid_t>& tids() const { return tids_; }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int started_ = 0;
    bool release_ = false;
    std::vector<pid_t> tids_;
    std::vector<std::thread> threads_;
};

TEST(ThreadList, ListsEveryThreadAndCutsAtCapacity) {
    kernel::prepareThreadList();
    Crowd crowd(150);
    pid_t all[400];
    int total = kernel::listThreads(all, 400);
    ASSERT_GE(total, 151);
    std::vector<pid_t> listed(all, all + total);
    EXPECT_NE(std::find(listed.begin(), listed.end(), getpid()), listed.end());
    for (pid_t tid : crowd.tids()) EXPECT_NE(std::find(listed.begin(), listed.end(), tid), listed.end());

    pid_t first[100];
    EXPECT_EQ(kernel::listThreads(first, 100), total);
    EXPECT_TRUE(std::equal(first, first + 100, all));
}

std::string comm(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/comm");
    std::string s;
    std::getline(in, s);
    return s;
}

TEST(ThreadNames, LongNamesStayWholeAndCommKeepsFifteenBytes) {
    Crowd crowd(2);
    pid_t named = crowd.tids()[0], plain = crowd.tids()[1];
    const char* longName = "com.example.worker.long-running-name";
    kernel::setThreadName(named, longName);
    char buffer[256];
    ASSERT_TRUE(kernel::threadName(named, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, longName);
    EXPECT_EQ(comm(named), std::string(longName, 15));

    // A UTF-8 character is never split in comm.
    kernel::setThreadName(named, "abcdefghijklmn\xC3\xA9xyz");
    EXPECT_EQ(comm(named), "abcdefghijklmn");
    ASSERT_TRUE(kernel::threadName(named, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "abcdefghijklmn\xC3\xA9xyz");

    // Unnamed by us: comm.
    ASSERT_TRUE(kernel::threadName(plain, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), comm(plain));

    // Cut at the caller's buffer, terminated.
    char small[5];
    ASSERT_TRUE(kernel::threadName(named, small, sizeof small));
    EXPECT_STREQ(small, "abcd");

    kernel::forgetThreadName(named);
    ASSERT_TRUE(kernel::threadName(named, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "abcdefghijklmn");
    EXPECT_FALSE(kernel::threadName(999999999, buffer, sizeof buffer));
}

TEST(ThreadSuspend, StoppedThreadMakesNoProgressAndGoesOnAfterResume) {
    ASSERT_TRUE(kernel::prepareThreadSuspension());
    std::atomic<uint64_t> counter{0};
    std::atomic<bool> stop{false};
    std::atomic<pid_t> tid{0};
    char* stackMarker = nullptr;
    std::thread busy([&] {
        char marker;
        stackMarker = &marker;
        tid = kernel::currentThreadId();
        while (!stop) counter.fetch_add(1, std::memory_order_relaxed);
    });
    while (tid == 0 || counter == 0) std::this_thread::yield();

    ASSERT_TRUE(kernel::suspendThread(tid));
    uint64_t frozen = counter.load();
    greg_t regs[NGREG];
    ASSERT_TRUE(kernel::suspendedThreadRegisters(tid, regs));
    // The stack pointer is near the thread's own locals, far from ours.
    auto rsp = static_cast<uintptr_t>(regs[REG_RSP]);
    EXPECT_LT(rsp, reinterpret_cast<uintptr_t>(stackMarker) + 64);
    EXPECT_GT(rsp + 64 * 1024, reinterpret_cast<uintptr_t>(stackMarker));
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    EXPECT_EQ(counter.load(), frozen);
    EXPECT_TRUE(kernel::suspendThread(tid));  // already parked

    ASSERT_TRUE(kernel::resumeThread(tid));
    EXPECT_FALSE(kernel::resumeThread(tid));
    EXPECT_FALSE(kernel::suspendedThreadRegisters(tid, regs));
    while (counter.load() == frozen) std::this_thread::yield();
    stop = true;
    busy.join();
    EXPECT_FALSE(kernel::suspendThread(kernel::currentThreadId()));
    EXPECT_FALSE(kernel::suspendThread(tid));  // gone
}

// Sleeps, condition waits and pipe reads in the suspended threads never see a failure.
TEST(ThreadSuspend, RepeatedSuspensionIsInvisibleToWaits) {
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::atomic<int> rounds{0};
    std::mutex m;
    std::condition_variable cv;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<std::thread> threads;
    std::vector<std::atomic<pid_t>> tids(3);
    threads.emplace_back([&] {
        tids[0] = kernel::currentThreadId();
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            ++rounds;
        }
    });
    threads.emplace_back([&] {
        tids[1] = kernel::currentThreadId();
        std::unique_lock lock(m);
        while (!stop) cv.wait_for(lock, std::chrono::milliseconds(1));
    });
    threads.emplace_back([&] {
        tids[2] = kernel::currentThreadId();
        char c;
        ssize_t n;
        while ((n = read(fds[0], &c, 1)) == 1) {
        }
        if (n < 0) ++failures;  // a read interrupted without restart
    });
    for (auto& t : tids)
        while (t == 0) std::this_thread::yield();
    for (int i = 0; i < 100; ++i) {
        for (auto& t : tids) EXPECT_TRUE(kernel::suspendThread(t));
        for (auto& t : tids) EXPECT_TRUE(kernel::resumeThread(t));
    }
    int before = rounds;
    while (rounds == before) std::this_thread::yield();
    stop = true;
    cv.notify_all();
    close(fds[1]);
    for (auto& t : threads) t.join();
    close(fds[0]);
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
