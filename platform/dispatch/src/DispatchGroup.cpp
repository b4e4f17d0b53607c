#include <platform_dispatch/DispatchGroup.h>

#include "WorkerPool.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

struct dispatch_group_s {
    std::mutex m;
    std::condition_variable cv;
    long count = 0;
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> notifications;
};

dispatch_group_t dispatch_group_create() { return std::make_shared<dispatch_group_s>(); }

void dispatch_group_enter(const dispatch_group_t& group) {
    if (!group) return;
    std::lock_guard lock(group->m);
    ++group->count;
}

void dispatch_group_leave(const dispatch_group_t& group) {
    if (!group) return;
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> ready;
    {
        std::lock_guard lock(group->m);
        if (group->count == 0) return;
        if (--group->count > 0) return;
        ready.swap(group->notifications);
        group->cv.notify_all();
    }
    for (auto& [queue, block] : ready) dispatch_async(queue, std::move(block));
}

void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block) {
    if (!group || !queue || !block) return;
    dispatch_group_enter(group);
    dispatch_async(queue, [group, block = std::move(block)] {
        struct Leave {
            const dispatch_group_t& group;
            ~Leave() { dispatch_group_leave(group); }
        } leave{group};
        block();
    });
}

void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block) {
    if (!group || !queue || !block) return;
    {
        std::lock_guard lock(group->m);
        if (group->count > 0) {
            group->notifications.emplace_back(queue, std::move(block));
            return;
        }
    }
    dispatch_async(queue, std::move(block));
}

long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout) {
    if (!group) return 0;
    dispatch_detail::WorkerPool::BlockedScope blocked;
    std::unique_lock lock(group->m);
    auto empty = [&] { return group->count == 0; };
    if (timeout == DISPATCH_TIME_FOREVER) {
        group->cv.wait(lock, empty);
        return 0;
    }
    uint64_t deadline = dispatch_detail::resolve(timeout);
    while (!empty()) {
        uint64_t now = dispatch_detail::monotonicNow();
        if (now >= deadline) return 1;
        group->cv.wait_for(lock, std::chrono::nanoseconds(deadline - now));
    }
    return 0;
}
