#include <platform_system/CommonDigest.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// A process may end while a worker thread is still hashing or encrypting (an analytics
// envelope being built, a report being signed). The exit must neither crash nor corrupt the
// heap, however the two threads interleave.
TEST(CryptoAtExit, AWorkerHashingWhileTheProcessExitsEndsCleanly) {
    constexpr int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::atomic<bool> hashing{false};
            std::thread([&hashing] {
                const std::string text(4096, 'x');
                for (;;) {
                    (void)CCMD5Hex(text);
                    hashing.store(true);
                }
            }).detach();
            while (!hashing.load()) std::this_thread::yield();
            std::exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
