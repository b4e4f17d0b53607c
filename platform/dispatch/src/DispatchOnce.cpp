#include <platform_dispatch/DispatchOnce.h>

#include "WorkerPool.h"

#include <atomic>

namespace {
constexpr long kUnused = 0;
constexpr long kRunning = 1;
constexpr long kDone = 2;
}  // namespace

void dispatch_once(dispatch_once_t* token, const std::function<void()>& block) {
    std::atomic_ref<long> state(*token);
    if (state.load(std::memory_order_acquire) == kDone) return;
    for (;;) {
        long expected = kUnused;
        if (state.compare_exchange_strong(expected, kRunning, std::memory_order_acq_rel)) {
            try {
                block();
            } catch (...) {
                state.store(kUnused, std::memory_order_release);
                state.notify_all();
                throw;
            }
            state.store(kDone, std::memory_order_release);
            state.notify_all();
            return;
        }
        if (expected == kDone) return;
        dispatch_detail::WorkerPool::BlockedScope blocked;
        state.wait(kRunning, std::memory_order_acquire);
        if (state.load(std::memory_order_acquire) == kDone) return;
    }
}
