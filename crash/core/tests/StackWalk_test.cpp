#include <crash_core/CRCPU.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>

#include <platform_kernel/ThreadSuspend.h>

#include "CrashTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace crashtest;

namespace {

// What the leaf of a parked chain does until released.
struct Park {
    std::atomic<bool> arrived{false};
    volatile int release = 0;
    int pipe[2] = {-1, -1};
};

void blockInRead(void* p) {
    auto* park = static_cast<Park*>(p);
    park->arrived = true;
    char c;
    (void)!read(park->pipe[0], &c, 1);
}

void sleepInNanosleep(void* p) {
    auto* park = static_cast<Park*>(p);
    park->arrived = true;
    while (!park->release) {
        timespec t{0, 200000};
        nanosleep(&t, nullptr);
    }
}

__attribute__((noinline)) void spinInLeaf(void* p) {
    auto* park = static_cast<Park*>(p);
    park->arrived = true;
    while (!park->release) __asm__ volatile("pause");
}

class StackWalkTest : public ::testing::Test {
protected:
    void SetUp() override { crmc_prepare(); }
};

TEST_F(StackWalkTest, WholeChainOfASuspendedThreadInOrder) {
    struct Case {
        const char* what;
        const char* library;
        const char* chainSymbol;
        const char* prefix;
        FixtureLeaf leaf;
    } cases[] = {
        {"blocking libc call", CRASH_FIXTURE_LIB, "fixture_chain1", "fixture_chain", blockInRead},
        {"inside nanosleep", CRASH_FIXTURE_LIB, "fixture_chain1", "fixture_chain", sleepInNanosleep},
        {"spinning in own code", CRASH_FIXTURE_LIB, "fixture_chain1", "fixture_chain", spinInLeaf},
        {"without frame pointers", CRASH_FIXTURE_NOFP_LIB, "nofp_chain1", "nofp_chain", blockInRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto chain = fixtureFunction<FixtureChain>(c.chainSymbol, c.library);
        ASSERT_NE(chain, nullptr);
        Park park;
        ASSERT_EQ(pipe(park.pipe), 0);
        ChainThread thread(chain, c.leaf, &park);
        while (!park.arrived) std::this_thread::yield();
        // The leaf may still be on its way into the blocking call: walks must hold the
        // chain wherever it stopped.
        ASSERT_TRUE(kernel::suspendThread(static_cast<pid_t>(thread.tid()), 20000));  // bound for a loaded machine
        CRMachineContext context;
        crmc_getContextForThread(thread.tid(), &context, false);
        auto names = walkSymbols(context);
        kernel::resumeThread(static_cast<pid_t>(thread.tid()));
        EXPECT_NE(crcpu_instructionAddress(&context), 0u);
        EXPECT_TRUE(holdsChain(names, c.prefix)) << joined(names);
        park.release = 1;
        (void)!write(park.pipe[1], "x", 1);
        thread.join();
        close(park.pipe[0]);
        close(park.pipe[1]);
    }
}

thread_local std::vector<std::string>* tlsSignalWalk;

void walkFromSignal(int, siginfo_t*, void* uc) {
    static CRMachineContext context;
    crmc_getContextForSignal(uc, &context);
    if (tlsSignalWalk) *tlsSignalWalk = walkSymbols(context);
}

void raiseInLeaf(void*) {
    pthread_kill(pthread_self(), SIGUSR2);
}

TEST_F(StackWalkTest, FromASignalContext) {
    struct sigaction sa {}, old {};
    sa.sa_sigaction = walkFromSignal;
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGUSR2, &sa, &old);
    std::vector<std::string> names;
    std::thread t([&] {
        tlsSignalWalk = &names;
        fixtureFunction<FixtureChain>("fixture_chain1")(raiseInLeaf, nullptr);
        tlsSignalWalk = nullptr;
    });
    t.join();
    sigaction(SIGUSR2, &old, nullptr);
    EXPECT_TRUE(holdsChain(names, "fixture_chain")) << joined(names);
}

std::vector<std::string> childFrames(const char* mode) {
    std::istringstream out(commandOutput(std::string(CRASH_CHILD) + " " + mode + " " + CRASH_FIXTURE_LIB));
    std::vector<std::string> frames;
    for (std::string s; std::getline(out, s);)
        if (s.rfind("frame ", 0) == 0) frames.push_back(s.substr(6));
    return frames;
}

TEST_F(StackWalkTest, CrashedChildWalksItsWholeChain) {
    for (const char* mode : {"walk-abort", "walk-segv"}) {
        SCOPED_TRACE(mode);
        auto frames = childFrames(mode);
        EXPECT_TRUE(holdsChain(frames, "fixture_chain")) << joined(frames);
        EXPECT_NE(std::find(frames.begin(), frames.end(), "main"), frames.end()) << joined(frames);
        if (std::string(mode) == "walk-abort") {
            EXPECT_NE(std::find(frames.begin(), frames.end(), "abort"), frames.end()) << joined(frames);
        }
    }
}

TEST_F(StackWalkTest, DepthLimitStopsAtExactlyTheLimit) {
    auto chain = fixtureFunction<FixtureChain>("fixture_chain1");
    Park park;
    ChainThread thread(chain, spinInLeaf, &park);
    while (!park.arrived) std::this_thread::yield();
    ASSERT_TRUE(kernel::suspendThread(static_cast<pid_t>(thread.tid()), 20000));  // bound for a loaded machine
    CRMachineContext context;
    crmc_getContextForThread(thread.tid(), &context, false);
    bool gaveUp = false;
    auto all = walkSymbols(context, 500, &gaveUp);
    EXPECT_FALSE(gaveUp);
    for (int depth : {1, 3, 7}) {
        SCOPED_TRACE(depth);
        auto some = walkSymbols(context, depth, &gaveUp);
        EXPECT_EQ(some.size(), static_cast<std::size_t>(depth));
        EXPECT_TRUE(gaveUp);
        EXPECT_TRUE(std::equal(some.begin(), some.end(), all.begin()));
    }
    // A walk of exactly as many entries as the limit still gives up.
    walkSymbols(context, static_cast<int>(all.size()), &gaveUp);
    EXPECT_TRUE(gaveUp);
    kernel::resumeThread(static_cast<pid_t>(thread.tid()));
    park.release = 1;
}

// Frame records that loop, point into nothing or hold garbage end the walk quietly.
TEST_F(StackWalkTest, CorruptedChainsEndTheWalk) {
    uint64_t loop[2];
    loop[0] = reinterpret_cast<uint64_t>(&loop[0]);
    loop[1] = 0x401000;
    uint64_t intoNothing[2] = {0x10, 0x401000};
    uint64_t downwards[4];
    downwards[2] = reinterpret_cast<uint64_t>(&downwards[0]);
    downwards[3] = 0x401000;
    downwards[0] = reinterpret_cast<uint64_t>(&downwards[2]);
    downwards[1] = 0x401000;
    struct Case {
        const char* what;
        uint64_t rbp;
        std::size_t maxEntries;
    } cases[] = {
        {"record pointing at itself", reinterpret_cast<uint64_t>(&loop[0]), 3},
        {"record into unmapped memory", reinterpret_cast<uint64_t>(&intoNothing[0]), 3},
        {"records pointing back down", reinterpret_cast<uint64_t>(&downwards[2]), 4},
        {"rbp unmapped", 0x10, 1},
        {"rbp in the kernel half", 0xffffffff81000000ull, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRMachineContext context{};
        context.registers[16] = 0x1234;  // rip outside every image: no CFI
        context.registers[7] = reinterpret_cast<uint64_t>(&context);
        context.registers[6] = c.rbp;
        auto names = walkSymbols(context);
        EXPECT_GE(names.size(), 1u);
        EXPECT_LE(names.size(), c.maxEntries);
    }
}

__attribute__((noinline)) void recurse(int n, volatile int* release, std::atomic<bool>* arrived) {
    if (n > 0) {
        recurse(n - 1, release, arrived);
        __asm__ volatile("" ::: "memory");
        return;
    }
    *arrived = true;
    while (!*release) __asm__ volatile("pause");
}

TEST_F(StackWalkTest, StackOverflowProbeOfACrashedContext) {
    for (int depth : {100, 300}) {
        SCOPED_TRACE(depth);
        volatile int release = 0;
        std::atomic<bool> arrived{false};
        std::atomic<pid_t> tid{0};
        std::thread t([&] {
            tid = static_cast<pid_t>(crthread_self());
            recurse(depth, &release, &arrived);
        });
        while (!arrived) std::this_thread::yield();
        ASSERT_TRUE(kernel::suspendThread(tid, 20000));  // bound for a loaded machine
        CRMachineContext context;
        crmc_getContextForThread(static_cast<CRThread>(tid.load()), &context, true);
        kernel::resumeThread(tid);
        release = 1;
        t.join();
        EXPECT_EQ(context.isStackOverflow, depth > 150);
        EXPECT_GT(context.threadCount, 1);
    }
}

TEST(StackCursor, BacktraceListsAndTheSelfThreadForm) {
    uintptr_t list[] = {0x1000, 0x2000, 0x3000, 1, 0x4000};
    struct Case {
        const char* what;
        int count, skip;
        std::vector<uintptr_t> expected;
    } cases[] = {
        {"whole list up to an address below 2", 5, 0, {0x1000, 0x2000, 0x3000}},
        {"skip", 5, 2, {0x3000}},
        {"count cuts", 2, 0, {0x1000, 0x2000}},
        {"skip past the end", 2, 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRStackCursor cursor;
        crsc_initWithBacktrace(&cursor, list, c.count, c.skip);
        std::vector<uintptr_t> got;
        while (cursor.advanceCursor(&cursor)) got.push_back(cursor.stackEntry.address);
        EXPECT_EQ(got, c.expected);
    }
    CRStackCursor self;
    crsc_initSelfThread(&self, 0);
    ASSERT_TRUE(self.advanceCursor(&self));
    self.symbolicate(&self);
    ASSERT_NE(self.stackEntry.symbolName, nullptr);
    EXPECT_NE(std::string(self.stackEntry.symbolName).find("BacktraceListsAndTheSelfThreadForm"), std::string::npos)
        << self.stackEntry.symbolName;
}

TEST(CPU, RegisterTable) {
    CRMachineContext context{};
    for (int i = 0; i < CRMC_REGISTER_COUNT; ++i) context.registers[i] = 100 + i;
    context.exceptionState = {14, 6, 0xdead0};
    const char* names[] = {"rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp", "rsp", "r8",     "r9", "r10",
                           "r11", "r12", "r13", "r14", "r15", "rip", "rflags", "cs", "fs", "gs"};
    ASSERT_EQ(crcpu_numRegisters(), 21);
    for (int i = 0; i < 21; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(crcpu_registerName(i), names[i]);
        EXPECT_EQ(crcpu_registerValue(&context, i), 100u + i);
    }
    EXPECT_EQ(crcpu_registerName(21), nullptr);
    EXPECT_EQ(crcpu_registerValue(&context, 21), 0u);
    EXPECT_EQ(crcpu_registerName(-1), nullptr);
    EXPECT_EQ(crcpu_framePointer(&context), 106u);
    EXPECT_EQ(crcpu_stackPointer(&context), 107u);
    EXPECT_EQ(crcpu_instructionAddress(&context), 116u);
    EXPECT_EQ(crcpu_linkRegister(&context), 0u);
    EXPECT_EQ(crcpu_faultAddress(&context), 0xdead0u);
    ASSERT_EQ(crcpu_numExceptionRegisters(), 3);
    EXPECT_STREQ(crcpu_exceptionRegisterName(0), "trapno");
    EXPECT_STREQ(crcpu_exceptionRegisterName(1), "err");
    EXPECT_STREQ(crcpu_exceptionRegisterName(2), "cr2");
    EXPECT_EQ(crcpu_exceptionRegisterName(3), nullptr);
    EXPECT_EQ(crcpu_exceptionRegisterValue(&context, 0), 14u);
    EXPECT_EQ(crcpu_exceptionRegisterValue(&context, 2), 0xdead0u);
    EXPECT_EQ(crcpu_exceptionRegisterValue(&context, 3), 0u);
    EXPECT_EQ(crcpu_stackGrowDirection(), -1);
    // 47-bit addresses pass whole.
    EXPECT_EQ(crcpu_normaliseInstructionPointer(0x7fff12345678ull), 0x7fff12345678ull);
}

TEST(MachineContext, CallingThreadOutsideASignalHasNoRegisters) {
    CRMachineContext context;
    crmc_getContextForThread(crthread_self(), &context, false);
    EXPECT_TRUE(context.isCurrentThread);
    EXPECT_FALSE(crmc_canHaveCPUState(&context));
    EXPECT_FALSE(crmc_hasValidExceptionRegisters(&context));
    EXPECT_EQ(crcpu_instructionAddress(&context), 0u);
    EXPECT_EQ(crmc_getThreadCount(&context), 0);
}

}  // namespace
