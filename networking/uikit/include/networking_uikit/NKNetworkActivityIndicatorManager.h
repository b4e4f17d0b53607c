#pragma once
// Drives the status bar's network activity indicator from the session manager's task
// notifications: counts running requests and shows the indicator only for activity that
// outlasts the activation delay, keeping it shown across gaps shorter than the completion
// delay. Off until enabled. An installed callback replaces the status-bar call.
//
// The counters may be moved from any thread (guarded by a recursive lock); state evaluation
// and the timers run on the main queue / main run loop. setEnabled acts on the caller's thread.

#include <functional>
#include <memory>
#include <mutex>

#include <platform_dispatch/NSTimer.h>
#include <platform_foundation/NSNotification.h>
#include <platform_runtime/ObjCDeclare.h>

enum NKNetworkActivityManagerState : int64_t {
    NKNetworkActivityManagerStateNotActive = 0,
    NKNetworkActivityManagerStateDelayingStart = 1,
    NKNetworkActivityManagerStateActive = 2,
    NKNetworkActivityManagerStateDelayingEnd = 3,
};

class NKNetworkActivityIndicatorManager : public NSObject {
    NS_CLASS(NKNetworkActivityIndicatorManager, NSObject)
public:
    using Ptr = std::shared_ptr<NKNetworkActivityIndicatorManager>;

    static Ptr sharedManager();
    // A manager registered for the task notifications (until it is destroyed).
    static Ptr create();
    ~NKNetworkActivityIndicatorManager() override;

    bool isEnabled() const;
    // Disabling also returns to state 0 (hides at once, stops both timers).
    void setEnabled(bool enabled);
    bool isNetworkActivityIndicatorVisible() const;
    bool isNetworkActivityOccurring() const;
    int64_t activityCount() const;
    NKNetworkActivityManagerState currentState() const;

    double activationDelay() const;
    void setActivationDelay(double seconds);
    double completionDelay() const;
    void setCompletionDelay(double seconds);

    void setNetworkingActivityActionWithBlock(std::function<void(bool visible)> block);

    void incrementActivityCount();
    void decrementActivityCount();

    std::string className() const override { return "NKNetworkActivityIndicatorManager"; }

    NKNetworkActivityIndicatorManager() = default;

private:
    void networkRequestDidStart(const NSNotification& notification);
    void networkRequestDidFinish(const NSNotification& notification);
    void setNetworkActivityIndicatorVisible(bool visible);
    void setCurrentState(NKNetworkActivityManagerState state);
    void updateCurrentStateForNetworkActivityChange();
    void startActivationDelayTimer();
    void startCompletionDelayTimer();
    void invalidateActivationDelayTimer();
    void invalidateCompletionDelayTimer();
    void scheduleStateUpdate();

    mutable std::recursive_mutex mutex_;
    bool enabled_ = false;
    bool visible_ = false;
    double activationDelay_ = 1.0;
    double completionDelay_ = 0.17;
    int64_t activityCount_ = 0;
    std::shared_ptr<NSTimer> activationDelayTimer_;
    std::shared_ptr<NSTimer> completionDelayTimer_;
    std::function<void(bool)> networkActivityActionBlock_;
    NKNetworkActivityManagerState currentState_ = NKNetworkActivityManagerStateNotActive;
    std::shared_ptr<NSObject> observer_;
};
