#pragma once
// A timer that calls its block on the run loop it was added to, once or
// repeatedly, while that loop runs in one of the timer's modes.

#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

class NSRunLoop;

class NSTimer : public NSObject {
    NS_CLASS(NSTimer, NSObject)

public:
    using Block = std::function<void(const std::shared_ptr<NSTimer>&)>;

    // A timer not yet on any run loop; add it with NSRunLoop::addTimer.
    // An interval of 0 or less is taken as 0.1 ms.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block);
    // Target/selector style: `selector` is called with the timer; the timer
    // keeps `target` alive until it is invalidated.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(NSTimeInterval interval, std::shared_ptr<NSObject> target,
                                                          Block selector, Value userInfo, bool repeats);
    // The same, already added to the current run loop in the default mode.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats,
                                                                   Block block);
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval,
                                                                   std::shared_ptr<NSObject> target, Block selector,
                                                                   Value userInfo, bool repeats);

    // Calls the block now; a one-shot timer is invalidated by it, a
    // repeating one keeps its schedule. Nothing once invalid.
    void fire();
    // Stops the timer for good and releases its block and target.
    void invalidate();
    bool isValid() const { return valid_.load(); }

    NSDate fireDate() const;
    // Moves the next firing; a date in the past fires on the next turn.
    void setFireDate(const NSDate& date);
    NSTimeInterval timeInterval() const { return repeats_ ? interval_ : 0; }
    // How late the timer may fire; it never fires early.
    NSTimeInterval tolerance() const;
    void setTolerance(NSTimeInterval tolerance);
    const Value& userInfo() const { return userInfo_; }

    NSTimer(NSTimeInterval interval, bool repeats, Block block, std::shared_ptr<NSObject> target, Value userInfo);

private:
    friend class NSRunLoop;
    using Clock = std::chrono::steady_clock;

    Clock::time_point nextFire() const;
    // Called by the run loop when the fire time passed.
    void fireFromRunLoop(Clock::time_point now);
    void attach(const std::shared_ptr<NSRunLoop>& loop, bool manualClock);
    // Re-expresses the fire time on the other clock, keeping what is left.
    void moveToClock(bool manual, Clock::time_point realNow, Clock::time_point manualNow);
    bool onManualClock() const { return manual_.load(); }
    Clock::time_point clockNow() const;
    void callBlock();

    const NSTimeInterval interval_;
    const bool repeats_;
    const Value userInfo_;
    std::atomic<bool> valid_{true};
    mutable std::mutex m_;
    Block block_;
    std::shared_ptr<NSObject> target_;
    Clock::time_point fireTime_;
    NSTimeInterval tolerance_ = 0;
    std::weak_ptr<NSRunLoop> loop_;
    std::atomic<bool> manual_{false};  // fireTime_ counts on the manual clock
};
