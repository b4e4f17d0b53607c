#include <platform_dispatch/DispatchExit.h>
#include <platform_dispatch/DispatchQueue.h>

#include "WorkerPool.h"


#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

// What a child process wrote to its pipe before it ended.
std::string readAll(int fd) {
    std::string out;
    char buffer[64];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
    return out;
}

// Stopping the workers waits for the block that is running ("R" before "S"), and nothing queued
// behind it, nor anything submitted afterwards, runs ("Q", "A" never appear).
TEST(DispatchExit, StoppingWaitsForTheRunningBlockAndRunsNothingElse) {
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            const int out = fds[1];
            static std::atomic<bool> started{false}, release{false};
            auto serial = dispatch_queue_create("exit.serial", DISPATCH_QUEUE_SERIAL);
            dispatch_async(serial, [out] {
                started = true;
                while (!release) std::this_thread::yield();
                // Still running when the stop begins, however late the main thread gets to it.
                const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (!dispatch_detail::WorkerPool::shared().stopping() && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::yield();
                (void)!::write(out, "R", 1);
            });
            dispatch_async(serial, [out] { (void)!::write(out, "Q", 1); });
            while (!started) std::this_thread::yield();
            release = true;
            dispatch_stop_workers_for_exit(5000);
            (void)!::write(out, "S", 1);
            dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                           [out] { (void)!::write(out, "A", 1); });
            dispatch_async(serial, [out] { (void)!::write(out, "A", 1); });
            _exit(0);
        }
        ::close(fds[1]);
        const std::string written = readAll(fds[0]);
        ::close(fds[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(written, "RS");
    }
}

}  // namespace
