#include <platform_foundation/Synchronized.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

struct Monitor {
    std::condition_variable released;
    std::thread::id owner;
    int depth = 0;  // recursion depth of the owner
    int users = 0;  // entries not yet exited, holders and waiters together
};

// One table mutex guards every monitor's bookkeeping; the sections themselves run unlocked.
std::mutex gTableMutex;
std::unordered_map<const void*, std::unique_ptr<Monitor>>& table() {
    static auto* t = new std::unordered_map<const void*, std::unique_ptr<Monitor>>();  // outlives static destructors
    return *t;
}

}  // namespace

int objc_sync_enter(const void* obj) {
    if (!obj) return OBJC_SYNC_SUCCESS;
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(gTableMutex);
    auto& slot = table()[obj];
    if (!slot) slot = std::make_unique<Monitor>();
    Monitor* m = slot.get();
    ++m->users;
    if (m->depth > 0 && m->owner == self) {
        ++m->depth;
        return OBJC_SYNC_SUCCESS;
    }
    m->released.wait(lock, [m] { return m->depth == 0; });
    m->owner = self;
    m->depth = 1;
    return OBJC_SYNC_SUCCESS;
}

int objc_sync_exit(const void* obj) {
    if (!obj) return OBJC_SYNC_SUCCESS;
    std::unique_lock lock(gTableMutex);
    auto it = table().find(obj);
    if (it == table().end()) return OBJC_SYNC_NOT_OWNING_THREAD_ERROR;
    Monitor* m = it->second.get();
    if (m->depth == 0 || m->owner != std::this_thread::get_id()) return OBJC_SYNC_NOT_OWNING_THREAD_ERROR;
    --m->users;
    if (--m->depth > 0) return OBJC_SYNC_SUCCESS;
    m->owner = std::thread::id();
    if (m->users == 0) {
        table().erase(it);
    } else {
        m->released.notify_one();
    }
    return OBJC_SYNC_SUCCESS;
}
