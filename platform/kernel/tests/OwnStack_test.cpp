#include <platform_kernel/OwnStack.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <execinfo.h>
#include <thread>
#include <vector>

namespace {

struct Capture {
    std::vector<uintptr_t> own;
    std::vector<uintptr_t> runtime;  // backtrace(3) from the same frame
    uintptr_t returnAddress = 0;     // where the capturing function returns to
};

// Takes both lists from one frame; each starts inside this function, so the lists are
// compared from their second entry on.
__attribute__((noinline)) Capture captureHere() {
    Capture c;
    c.own.resize(128);
    c.own.resize(static_cast<std::size_t>(kernel::captureOwnReturnAddresses(c.own.data(), 128)));
    void* frames[128];
    int n = backtrace(frames, 128);
    for (int i = 0; i < n; ++i) c.runtime.push_back(reinterpret_cast<uintptr_t>(frames[i]));
    c.returnAddress = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    asm volatile("" ::: "memory");
    return c;
}

__attribute__((noinline)) Capture recurse(int depth) {
    volatile char pad[64 * (depth % 3 + 1)];  // frames of different sizes
    pad[0] = static_cast<char>(depth);
    Capture c = depth == 0 ? captureHere() : recurse(depth - 1);
    asm volatile("" ::: "memory");
    return c;
}

void expectSameCallers(const Capture& c) {
    ASSERT_GE(c.own.size(), 2u);
    ASSERT_GE(c.runtime.size(), 2u);
    EXPECT_EQ(c.own[1], c.returnAddress);
    // backtrace(3) starts one frame deeper when a sanitizer's runtime interposes it: its list
    // is taken from the capturing function's caller on, found in its first three entries.
    std::size_t callerAt = 1;
    while (callerAt < 3 && callerAt < c.runtime.size() && c.runtime[callerAt] != c.returnAddress) ++callerAt;
    ASSERT_LT(callerAt, c.runtime.size());
    std::vector<uintptr_t> own(c.own.begin() + 1, c.own.end());
    std::vector<uintptr_t> runtime(c.runtime.begin() + static_cast<std::ptrdiff_t>(callerAt), c.runtime.end());
    EXPECT_EQ(own, runtime);
}

TEST(OwnStack, AgreesWithTheRuntimeUnwinderAtEveryDepth) {
    for (int depth : {0, 1, 7, 40}) {
        SCOPED_TRACE(depth);
        // The second capture from the same code runs on cached rules.
        for (int round = 0; round < 2; ++round) expectSameCallers(recurse(depth));
    }
}

TEST(OwnStack, AgreesOnAnotherThread) {
    Capture c;
    std::thread([&] { c = recurse(5); }).join();
    expectSameCallers(c);
}

TEST(OwnStack, StopsAtTheLimit) {
    uintptr_t out[3] = {};
    EXPECT_EQ(kernel::captureOwnReturnAddresses(out, 3), 3);
    EXPECT_EQ(kernel::captureOwnReturnAddresses(out, 0), 0);
}

// On an alternate signal stack the words are not on the thread's stack: they are read
// safely, and the walk still starts with the handler's own callers.
uintptr_t gSignalOwn[128];
int gSignalCount = 0;
uintptr_t gSignalReturn = 0;

__attribute__((noinline)) void captureInHandler() {
    gSignalCount = kernel::captureOwnReturnAddresses(gSignalOwn, 128);
    gSignalReturn = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    asm volatile("" ::: "memory");
}

void onSignal(int) { captureInHandler(); }

TEST(OwnStack, WalksFromAnAlternateSignalStack) {
    std::vector<unsigned char> altStack(64 * 1024);
    stack_t stack{};
    stack.ss_sp = altStack.data();
    stack.ss_size = altStack.size();
    stack_t previousStack{};
    ASSERT_EQ(sigaltstack(&stack, &previousStack), 0);
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR2, &action, &previous), 0);
    raise(SIGUSR2);
    sigaction(SIGUSR2, &previous, nullptr);
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(previousStack.ss_flags & SS_DISABLE ? &off : &previousStack, nullptr);

    ASSERT_GE(gSignalCount, 2);
    EXPECT_EQ(gSignalOwn[1], gSignalReturn);
    for (int i = 0; i < gSignalCount; ++i) EXPECT_GE(gSignalOwn[i], 2u) << i;
}

}  // namespace
