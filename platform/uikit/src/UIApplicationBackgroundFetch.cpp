// Background fetch: the driver that wakes the app for a fetch, and the
// record of what the delegate's completion reported.

#include <platform_uikit/UIApplication.h>

#include "DelegateOptional.h"

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSLog.h>

#include <atomic>

void UIApplicationDelegate::applicationPerformFetch(UIApplication&, std::function<void(UIBackgroundFetchResult)>) {
    uikit_detail::delegateLacksMethod();
}

bool UIApplication::simulateBackgroundFetch() {
    if (terminated_) return false;
    // The platform fetches only for an app in the background.
    simulateEnterBackground();
    auto delegate = delegate_;
    if (!delegate || fetchInterval_ == UIApplicationBackgroundFetchIntervalNever ||
        refreshStatus_ != UIBackgroundRefreshStatusAvailable)
        return false;
    std::weak_ptr<UIApplication> weak = std::static_pointer_cast<UIApplication>(shared_from_this());
    const uint64_t generation = ++fetchGeneration_;
    auto called = std::make_shared<std::atomic<bool>>(false);
    auto completion = [weak, generation, called](UIBackgroundFetchResult result) {
        if (called->exchange(true)) {
            NSLog("Background fetch: the completion handler was called more than once; the call is ignored");
            return;
        }
        auto record = [weak, generation, result] {
            auto app = weak.lock();
            if (app && app->fetchGeneration_ == generation) app->lastFetchResult_ = result;
        };
        if (NSThread::isMainThread())
            record();
        else
            dispatch_async(dispatch_get_main_queue(), record);
    };
    return uikit_detail::callOptional([&] { delegate->applicationPerformFetch(*this, completion); });
}
