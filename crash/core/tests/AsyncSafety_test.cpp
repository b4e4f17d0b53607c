// The signal scenarios under a preloaded shim whose malloc, free and pthread_mutex_lock
// end the process (exit code 97) on a thread whose fatal-signal handler began: the
// crash path neither allocates nor locks.

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace reporttest;

TEST(AsyncSafety, SignalScenariosNeitherAllocateNorLock) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    const std::string preload = std::string("LD_PRELOAD=") + ASYNC_SAFETY_SHIM;
    struct Case {
        const char* scenario;
        std::vector<std::string> options;
        int exitSignal;
    } cases[] = {
        {"segv-null", {"--mask=02"}, SIGSEGV},
        {"segv-object", {"--mask=02"}, SIGSEGV},
        {"bus", {"--mask=02"}, SIGBUS},
        {"abort", {"--mask=02"}, SIGABRT},
        {"fpe", {"--mask=02"}, SIGFPE},
        {"ill", {"--mask=02"}, SIGILL},
        {"trap", {"--mask=02"}, SIGTRAP},
        {"overflow-main", {"--mask=02"}, SIGSEGV},
        {"thread-crash", {"--mask=02", "--queue-names"}, SIGSEGV},
        {"segv-null", {"--mask=02", "--console", "--user-json={\"a\":1}"}, SIGSEGV},
        {"segv-null", {"--mask=02", "--callback=fault"}, SIGSEGV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        std::string base = freshBase(std::string("shim-") + c.scenario);
        ChildResult child = runScenario(c.scenario, base, c.options, {preload});
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.output.find("async-signal-unsafe"), std::string::npos) << child.output;
        EXPECT_EQ(child.exitSignal, c.exitSignal) << child.output;
        auto reports = reportFiles(base);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_TRUE(pythonReads(reports[0]));
    }
}

TEST(AsyncSafety, TheShimCatchesAnAllocatingHandler) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("shim-probe");
    ChildResult child = runScenario("allocating-handler", base, {}, {std::string("LD_PRELOAD=") + ASYNC_SAFETY_SHIM});
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 97);
    EXPECT_NE(child.output.find("unsafe call in a signal handler: malloc"), std::string::npos) << child.output;
}
