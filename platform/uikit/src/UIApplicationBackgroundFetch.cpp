// Background fetch: the driver that wakes the app for a fetch, the 30 s the
// delegate has to answer, and the record of each fetch's outcome.

#include <platform_uikit/UIApplication.h>

#include "DelegateOptional.h"

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSLog.h>
#include <platform_foundation/SystemRecords.h>

#include <atomic>
#include <cstdlib>
#include <string_view>

void UIApplicationDelegate::applicationPerformFetch(UIApplication&, std::function<void(UIBackgroundFetchResult)>) {
    uikit_detail::delegateLacksMethod();
}

UIBackgroundRefreshStatus UIApplication::backgroundRefreshStatusFromEnvironment() {
    const char* env = std::getenv(kBackgroundRefreshEnvironmentVariable);
    const std::string_view value = env ? env : "";
    if (value == "denied") return UIBackgroundRefreshStatusDenied;
    if (value == "restricted") return UIBackgroundRefreshStatusRestricted;
    if (!value.empty() && value != "available")
        NSLog("%s=%s is not available, denied or restricted; background refresh stays available",
              kBackgroundRefreshEnvironmentVariable, env);
    return UIBackgroundRefreshStatusAvailable;
}

namespace {

const char* outcomeName(UIBackgroundFetchResult result) {
    switch (result) {
        case UIBackgroundFetchResultNewData: return "new data";
        case UIBackgroundFetchResultNoData: return "no data";
        case UIBackgroundFetchResultFailed: return "failed";
    }
    return "failed";
}

// One fetch: ended once, by the completion or by the time limit.
struct FetchRun {
    uint64_t generation;
    double askedAt;
    std::atomic<bool> ended{false};
};

}  // namespace

bool UIApplication::simulateBackgroundFetch() {
    if (terminated_) return false;
    // The platform fetches only for an app in the background.
    simulateEnterBackground();
    auto delegate = delegate_;
    if (!delegate || fetchInterval_ == UIApplicationBackgroundFetchIntervalNever ||
        refreshStatus_ != UIBackgroundRefreshStatusAvailable)
        return false;
    std::weak_ptr<UIApplication> weak = std::static_pointer_cast<UIApplication>(shared_from_this());
    auto run = std::make_shared<FetchRun>();
    run->generation = ++fetchGeneration_;
    run->askedAt = NSDate::date().timeIntervalSince1970();

    // Main queue: keeps the outcome (unless a newer fetch began) and appends its record.
    auto record = [weak, run](std::optional<UIBackgroundFetchResult> result) {
        const char* outcome = result ? outcomeName(*result) : "expired";
        if (auto app = weak.lock(); app && app->fetchGeneration_ == run->generation) {
            app->lastFetchResult_ = result;
            app->lastFetchOutcome_ = outcome;
        }
        Value line = Value::mutableDictionary();
        line.setObject(outcome, "outcome");
        if (result) line.setObject(static_cast<int64_t>(*result), "result");
        line.setObject(run->askedAt, "asked");
        line.setObject(NSDate::date().timeIntervalSince1970(), "ended");
        (void)SystemRecords::append(kBackgroundFetchRecordsFile, line);
    };
    auto completion = [run, record](UIBackgroundFetchResult result) {
        if (run->ended.exchange(true)) {
            NSLog("Background fetch: the completion handler was called after the fetch ended; the call is ignored");
            return;
        }
        if (NSThread::isMainThread())
            record(result);
        else
            dispatch_async(dispatch_get_main_queue(), [record, result] { record(result); });
    };
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kBackgroundFetchTimeLimit * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [run, record] {
                       if (run->ended.exchange(true)) return;
                       NSLog("Background fetch: no completion within %g s; the fetch expired", kBackgroundFetchTimeLimit);
                       record(std::nullopt);
                   });
    const bool asked = uikit_detail::callOptional([&] { delegate->applicationPerformFetch(*this, completion); });
    if (!asked) run->ended = true;  // nothing to expire
    return asked;
}
