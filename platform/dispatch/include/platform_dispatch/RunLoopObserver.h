#pragma once
// An observer of a run loop's activities: called on the loop's thread when a
// turn enters, is about to fire timers or serve sources, is about to wait or
// has woken, and when the run call returns.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

enum CFRunLoopActivity : unsigned {
    kCFRunLoopEntry = 1u << 0,
    kCFRunLoopBeforeTimers = 1u << 1,
    kCFRunLoopBeforeSources = 1u << 2,
    kCFRunLoopBeforeWaiting = 1u << 5,
    kCFRunLoopAfterWaiting = 1u << 6,
    kCFRunLoopExit = 1u << 7,
    kCFRunLoopAllActivities = 0x0FFFFFFFu,
};

class RunLoopObserver {
public:
    using Callback = std::function<void(CFRunLoopActivity)>;

    // `activities` is a mask of CFRunLoopActivity. Observers of one loop are
    // called in ascending `order` (equal orders in the order they were
    // added). A non-repeating observer is invalidated after its first call.
    RunLoopObserver(unsigned activities, bool repeats, int64_t order, Callback callback);

    // The callback never runs again; the loops drop the observer.
    void invalidate();
    bool isValid() const { return valid_.load(); }
    unsigned activities() const { return activities_; }
    int64_t order() const { return order_; }

private:
    friend class NSRunLoop;
    void observe(CFRunLoopActivity activity);

    const unsigned activities_;
    const bool repeats_;
    const int64_t order_;
    std::atomic<bool> valid_{true};
    std::mutex m_;
    Callback callback_;
};
