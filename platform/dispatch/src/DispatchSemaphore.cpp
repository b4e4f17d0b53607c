#include <platform_dispatch/DispatchSemaphore.h>

#include "WorkerPool.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

struct dispatch_semaphore_s {
    std::mutex m;
    std::condition_variable cv;
    long value = 0;
    long waiters = 0;
};

dispatch_semaphore_t dispatch_semaphore_create(long value) {
    if (value < 0) return nullptr;
    auto s = std::make_shared<dispatch_semaphore_s>();
    s->value = value;
    return s;
}

long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout) {
    if (!semaphore) return 1;
    std::unique_lock lock(semaphore->m);
    if (semaphore->value > 0) {
        --semaphore->value;
        return 0;
    }
    if (timeout == DISPATCH_TIME_NOW) return 1;
    dispatch_detail::WorkerPool::BlockedScope blocked;
    ++semaphore->waiters;
    struct Done {
        long& waiters;
        ~Done() { --waiters; }
    } done{semaphore->waiters};
    auto available = [&] { return semaphore->value > 0; };
    if (timeout == DISPATCH_TIME_FOREVER) {
        semaphore->cv.wait(lock, available);
    } else {
        uint64_t deadline = dispatch_detail::resolve(timeout);
        while (!available()) {
            uint64_t now = dispatch_detail::monotonicNow();
            if (now >= deadline) return 1;
            semaphore->cv.wait_for(lock, std::chrono::nanoseconds(deadline - now));
        }
    }
    --semaphore->value;
    return 0;
}

long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore) {
    if (!semaphore) return 0;
    std::lock_guard lock(semaphore->m);
    ++semaphore->value;
    if (semaphore->waiters == 0) return 0;
    semaphore->cv.notify_one();
    return 1;
}
