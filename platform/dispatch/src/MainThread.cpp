#include "MainThread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace dispatch_detail {

namespace {

// Bumped in a forked child, whose only thread is the one that forked: every answer a
// thread kept from before the fork is stale there.
std::atomic<unsigned> forkGeneration{1};

void childAfterFork() { forkGeneration.fetch_add(1, std::memory_order_relaxed); }

struct ForkWatch {
    ForkWatch() { pthread_atfork(nullptr, nullptr, childAfterFork); }
};

}  // namespace

bool isMainThread() {
    // The initial thread's id is the process id: true from the first instruction on,
    // whoever touches the platform first, and in a forked child for the thread that
    // forked. A thread keeps its answer until the process forks.
    static ForkWatch watch;
    thread_local unsigned generation = 0;
    thread_local bool main = false;
    unsigned now = forkGeneration.load(std::memory_order_relaxed);
    if (generation != now) {
        main = syscall(SYS_gettid) == getpid();
        generation = now;
    }
    return main;
}

}  // namespace dispatch_detail
