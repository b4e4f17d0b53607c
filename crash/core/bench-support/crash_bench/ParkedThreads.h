// Benchmark fixture: a process with many threads parked some frames deep, so a report of all
// threads has the size and shape of a busy app's.
//
// Threads: parkThreads() may be called from any thread, once per process; it returns when
// every thread is parked. Lifetime: the threads stay parked until the process exits (they are
// detached and never released), so the synchronisation they wait on is never destroyed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace crash_bench {

namespace detail {
inline std::mutex& parkMutex() {
    static auto* m = new std::mutex;
    return *m;
}
inline std::atomic<int>& parkedCount() {
    static auto* n = new std::atomic<int>{0};
    return *n;
}
// Never set; a flag rather than a constant so the parked frames are an ordinary recursion.
inline std::atomic<bool>& released() {
    static auto* r = new std::atomic<bool>{false};
    return *r;
}
__attribute__((noinline)) inline int descend(int depth) {
    if (depth == 0) {
        std::unique_lock lock(parkMutex());
        static auto* never = new std::condition_variable;
        parkedCount()++;
        never->wait(lock, [] { return released().load(); });
        return 0;
    }
    volatile int keep = depth;  // keeps each frame a real frame
    return descend(depth - 1) + keep;
}
}  // namespace detail

// Starts `threads` threads, each parked `depth` frames down, and waits until all are parked.
inline void parkThreads(int threads, int depth) {
    const int target = detail::parkedCount().load() + threads;
    for (int i = 0; i < threads; ++i) std::thread([depth] { detail::descend(depth); }).detach();
    while (detail::parkedCount().load() < target) std::this_thread::yield();
}

}  // namespace crash_bench
