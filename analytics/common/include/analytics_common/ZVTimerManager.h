#pragma once
// Named repeating or one-shot timers on dispatch queues, and a presence test for optional
// modules. The timer table is guarded by the manager's lock; handlers run on the queue given
// when the timer was scheduled.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchSource.h>
#include <platform_runtime/ObjCDeclare.h>

class ZVTimerManager : public NSObject {
    NS_CLASS(ZVTimerManager, NSObject)
public:
    static std::shared_ptr<ZVTimerManager> sharedInstance();
    // Fires first after `interval` seconds, then every interval (cancelled after the first
    // run when not repeating). A name already scheduled is re-armed with the new interval
    // and action. Nothing for an empty name or action; a null queue is the default global one.
    void scheduledDispatchTimerWithName(const std::string& name, double interval, dispatch_queue_t queue,
                                        bool repeats, std::function<void()> action);
    void cancelTimerWithName(const std::string& name);
    bool existTimer(const std::string& name) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, dispatch_source_t> timerContainer_;
};

struct ZVModuleManager {
    // Whether an optional module is present and says it loaded ("loadModule" answering a
    // true number); "DevFingerPrint" asks for class "SecOpenSdk" instead.
    static bool loadModuleClass(const std::string& className);
};
