#include <platform_kernel/MemInfo.h>
#include <platform_kernel/ProcFile.h>
#include <platform_kernel/ProcSelfStat.h>
#include <platform_kernel/ProcStatus.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

TEST(ProcFile, FieldLookupTable) {
    const char* text = "Name:\tx\nTracerPid:\t42\nNeg: -7\nTracer: 9\nEmpty:\nKB:   1024 kB\n";
    struct Case {
        const char* key;
        bool found;
        int64_t value;
    } cases[] = {{"TracerPid", true, 42}, {"Tracer", true, 9}, {"Neg", true, -7}, {"KB", true, 1024},
                 {"Empty", false, 0},     {"Name", false, 0},  {"Missing", false, 0}, {"racerPid", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        int64_t v = -1;
        EXPECT_EQ(kernel::procField(text, c.key, &v), c.found);
        if (c.found) {
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(ProcFile, ReadIsCutAtCapacityAndMissingFileFails) {
    char small[8];
    EXPECT_EQ(kernel::readProcFile("/proc/self/status", small, sizeof small), 7);
    EXPECT_EQ(std::strlen(small), 7u);
    EXPECT_EQ(kernel::readProcFile("/proc/self/no-such-file", small, sizeof small), -1);
    EXPECT_EQ(kernel::readProcFile("/proc/self/status", small, 0), -1);
}

TEST(ProcStatus, UntracedProcessHasNoTracer) {
    EXPECT_EQ(kernel::tracerPid(), 0);
    EXPECT_FALSE(kernel::isBeingTraced());
}

// The child reports its tracer after the parent attached to it.
TEST(ProcStatus, TracedChildSeesItsTracer) {
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char go;
        if (read(toChild[0], &go, 1) != 1) _exit(2);
        int pid = kernel::tracerPid();
        (void)!write(toParent[1], &pid, sizeof pid);
        _exit(0);
    }
    if (ptrace(PTRACE_ATTACH, child, nullptr, nullptr) != 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        GTEST_SKIP() << "ptrace is not permitted here";
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(ptrace(PTRACE_CONT, child, nullptr, nullptr), 0);
    char go = 1;
    ASSERT_EQ(write(toChild[1], &go, 1), 1);
    int seen = -2;
    ASSERT_EQ(read(toParent[0], &seen, sizeof seen), static_cast<ssize_t>(sizeof seen));
    EXPECT_EQ(seen, getpid());
    ptrace(PTRACE_DETACH, child, nullptr, nullptr);
    waitpid(child, &status, 0);
}

std::vector<std::string> statFieldsAfterName() {
    std::ifstream in("/proc/self/stat");
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::vector<std::string> fields{"", "", ""};  // fields 1 and 2 are before
    for (std::string f; rest >> f;) fields.push_back(f);
    return fields;
}

TEST(ProcSelfStat, NameWithParenthesesAndSpacesDoesNotShiftFields) {
    char saved[16] = {};
    prctl(PR_GET_NAME, saved);
    prctl(PR_SET_NAME, "a) b (c) d");
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&] {
            while (!stop) std::this_thread::yield();
        });
    kernel::ProcSelfStat s;
    bool ok = kernel::readProcSelfStat(&s);
    auto fields = statFieldsAfterName();
    stop = true;
    for (auto& t : threads) t.join();
    prctl(PR_SET_NAME, saved);

    ASSERT_TRUE(ok);
    EXPECT_EQ(s.pid, getpid());
    EXPECT_EQ(s.ppid, getppid());
    EXPECT_EQ(s.threadCount, 4);
    EXPECT_EQ(std::to_string(s.startTicks), fields[22]);
    EXPECT_GT(s.virtualBytes, 0u);
    EXPECT_GT(s.residentPages, 0u);
    EXPECT_NE(s.state, 0);
}

TEST(MemInfo, AgreesWithSysinfo) {
    kernel::MemInfo m;
    ASSERT_TRUE(kernel::readMemInfo(&m));
    struct sysinfo si {};
    ASSERT_EQ(sysinfo(&si), 0);
    EXPECT_EQ(m.totalBytes, uint64_t(si.totalram) * si.mem_unit);
    EXPECT_GT(m.freeBytes, 0u);
    EXPECT_LE(m.freeBytes, m.totalBytes);
    EXPECT_LE(m.availableBytes, m.totalBytes);
    EXPECT_EQ(m.swapTotalBytes, uint64_t(si.totalswap) * si.mem_unit);
}

}  // namespace
