#include <analytics_common/ZVTimerManager.h>

#include <platform_dispatch/DispatchTime.h>
#include <platform_runtime/ObjCRuntime.h>

std::shared_ptr<ZVTimerManager> ZVTimerManager::sharedInstance() {
    static const auto instance = std::make_shared<ZVTimerManager>();
    return instance;
}

void ZVTimerManager::scheduledDispatchTimerWithName(const std::string& name, double interval, dispatch_queue_t queue,
                                                    bool repeats, std::function<void()> action) {
    if (name.empty() || !action) return;
    if (!queue) queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    std::lock_guard lock(mutex_);
    dispatch_source_t& timer = timerContainer_[name];
    if (!timer) {
        timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue);
        dispatch_resume(timer);
    }
    const auto ns = static_cast<int64_t>(interval * 1e9);
    dispatch_source_set_timer(timer, dispatch_time(DISPATCH_TIME_NOW, ns), static_cast<uint64_t>(ns), 10000000ull);
    std::weak_ptr<ZVTimerManager> weak = std::static_pointer_cast<ZVTimerManager>(shared_from_this());
    dispatch_source_set_event_handler(timer, [weak, name, repeats, action = std::move(action)] {
        action();
        if (!repeats)
            if (auto self = weak.lock()) self->cancelTimerWithName(name);
    });
}

void ZVTimerManager::cancelTimerWithName(const std::string& name) {
    dispatch_source_t timer;
    {
        std::lock_guard lock(mutex_);
        auto it = timerContainer_.find(name);
        if (it == timerContainer_.end()) return;
        timer = std::move(it->second);
        timerContainer_.erase(it);
    }
    dispatch_source_cancel(timer);
}

bool ZVTimerManager::existTimer(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return timerContainer_.count(name) != 0;
}

bool ZVModuleManager::loadModuleClass(const std::string& className) {
    if (className.empty()) return false;
    if (className == "DevFingerPrint") {
        ObjCClass* cls = NSClassFromString("SecOpenSdk");
        return cls && cls->respondsToSelector("initToken:appKeyClient:callback:");
    }
    if (!NSClassFromString(className)) return false;
    auto answer = performClassSelector(className, "loadModule");
    return answer && answer->isNumber() && answer->boolValue();
}
