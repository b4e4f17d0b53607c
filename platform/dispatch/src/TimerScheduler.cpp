#include "TimerScheduler.h"

#include <platform_kernel/ThreadSignalStack.h>

#include <platform_dispatch/DispatchTime.h>

#include <pthread.h>

#include <chrono>
#include <thread>

namespace dispatch_detail {

TimerScheduler& TimerScheduler::shared() {
    // Never destroyed: its thread outlives static destruction.
    static TimerScheduler* scheduler = new TimerScheduler();
    return *scheduler;
}

TimerScheduler::TimerScheduler() {
    std::thread([this] {
        kernel::installThreadSignalStack();
        loop();
    }).detach();
}

TimerScheduler::Id TimerScheduler::schedule(uint64_t deadline, std::function<void()> fn) {
    std::lock_guard lock(m_);
    Id id = nextId_++;
    bool earliest = entries_.empty() || deadline < entries_.begin()->first.first;
    entries_.emplace(std::make_pair(deadline, id), std::move(fn));
    deadlines_.emplace(id, deadline);
    if (earliest) cv_.notify_one();
    return id;
}

void TimerScheduler::cancel(Id id) {
    std::lock_guard lock(m_);
    auto it = deadlines_.find(id);
    if (it == deadlines_.end()) return;
    entries_.erase({it->second, id});
    deadlines_.erase(it);
}

void TimerScheduler::loop() {
    pthread_setname_np(pthread_self(), "dispatch-timers");
    std::unique_lock lock(m_);
    for (;;) {
        if (entries_.empty()) {
            cv_.wait(lock);
            continue;
        }
        uint64_t now = monotonicNow();
        auto first = entries_.begin();
        if (first->first.first > now) {
            cv_.wait_for(lock, std::chrono::nanoseconds(first->first.first - now));
            continue;
        }
        auto fn = std::move(first->second);
        deadlines_.erase(first->first.second);
        entries_.erase(first);
        lock.unlock();
        fn();
        fn = nullptr;
        lock.lock();
    }
}

}  // namespace dispatch_detail
