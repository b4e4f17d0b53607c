#include <platform_uikit/UIApplication.h>

#include <map>

#include <platform_dispatch/DispatchQueue.h>

namespace {
std::mutex taskMutex;
uint64_t nextTask = 1;
std::map<uint64_t, std::function<void()>> openTasks;
}  // namespace

uint64_t UIApplication::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    std::lock_guard lock(taskMutex);
    const uint64_t id = nextTask++;
    openTasks[id] = std::move(handler);
    return id;
}

void UIApplication::endBackgroundTask(uint64_t identifier) {
    std::lock_guard lock(taskMutex);
    openTasks.erase(identifier);
}

std::size_t UIApplication::openBackgroundTaskCount() const {
    std::lock_guard lock(taskMutex);
    return openTasks.size();
}

void UIApplication::expireBackgroundTasksForTesting() {
    std::map<uint64_t, std::function<void()>> expiring;
    {
        std::lock_guard lock(taskMutex);
        expiring = openTasks;
    }
    for (auto& [id, handler] : expiring)
        if (handler) dispatch_async(dispatch_get_main_queue(), handler);
}
