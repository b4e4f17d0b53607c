#include "ZVUploadQueues.h"

#include <mutex>
#include <vector>

namespace {
std::mutex gMutex;
std::vector<std::weak_ptr<NSOperationQueue>> gQueues;

std::vector<std::shared_ptr<NSOperationQueue>> known() {
    std::lock_guard lock(gMutex);
    std::vector<std::shared_ptr<NSOperationQueue>> out;
    for (const auto& weak : gQueues)
        if (auto queue = weak.lock()) out.push_back(std::move(queue));
    return out;
}
}  // namespace

void ZVUploadQueues::add(const std::shared_ptr<NSOperationQueue>& queue) {
    std::lock_guard lock(gMutex);
    std::erase_if(gQueues, [](const auto& weak) { return weak.expired(); });
    gQueues.push_back(queue);
}

bool ZVUploadQueues::waitUntilDrained(dispatch_time_t deadline) {
    for (;;) {
        const auto queues = known();
        bool drained = true;
        for (const auto& queue : queues) {
            if (queue->operationCount() == 0) continue;
            drained = false;
            if (!queue->waitUntilAllOperationsAreFinished(deadline)) return false;
        }
        if (drained) return true;
    }
}
