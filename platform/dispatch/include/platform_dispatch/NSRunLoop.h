#pragma once
// A thread's event loop: fires its timers, runs performed blocks, serves its
// input sources and, on the main thread, drains the main dispatch queue.

#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCDeclare.h>

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class NSTimer;
class RunLoopObserver;
class RunLoopSource;

using NSRunLoopMode = std::string;
// The mode a run loop runs in unless told otherwise.
extern const NSRunLoopMode NSDefaultRunLoopMode;
// Registering for this pseudo-mode makes a timer, source or block active in
// every common mode (the default mode is one).
extern const NSRunLoopMode NSRunLoopCommonModes;

class NSRunLoop : public NSObject {
    NS_CLASS(NSRunLoop, NSObject)

public:
    using Deadline = std::chrono::steady_clock::time_point;

    // The calling thread's run loop, made on first use; the main run loop on
    // the main thread (the process's initial thread).
    static std::shared_ptr<NSRunLoop> currentRunLoop();
    // The main thread's run loop, from any thread.
    static std::shared_ptr<NSRunLoop> mainRunLoop();

    // Runs in the default mode as long as the loop has something to wait
    // for: forever on the main run loop (the main queue is always there),
    // until its last timer and source are gone elsewhere.
    void run();
    // Runs in the default mode until `limitDate`.
    void runUntilDate(const NSDate& limitDate);
    // One turn in `mode`: handles what is due, else waits for the first
    // thing to handle until `limitDate`. True when something was handled,
    // false when the date passed first. Call on the loop's own thread.
    bool runMode(const NSRunLoopMode& mode, const NSDate& limitDate);
    // runMode with a deadline on the monotonic clock.
    bool runModeUntil(const NSRunLoopMode& mode, Deadline deadline);

    // The loop keeps the timer until it is invalidated; it fires on this
    // loop's thread while the loop runs in `mode`.
    void addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode);
    void addSource(const std::shared_ptr<RunLoopSource>& source, const NSRunLoopMode& mode);
    void removeSource(const std::shared_ptr<RunLoopSource>& source, const NSRunLoopMode& mode);
    // The loop calls the observer for its activities while it runs in `mode`.
    void addObserver(const std::shared_ptr<RunLoopObserver>& observer, const NSRunLoopMode& mode);
    void removeObserver(const std::shared_ptr<RunLoopObserver>& observer, const NSRunLoopMode& mode);
    // Runs `block` once on the loop's thread, in a common mode, on a later turn.
    void performBlock(std::function<void()> block);
    // Makes a waiting turn look again (used when its inputs change).
    void wakeUp();

    NSRunLoop(bool isMain);  // use currentRunLoop / mainRunLoop

private:
    friend class ManualClock;
    template <class T>
    struct Registration {
        std::shared_ptr<T> item;
        std::set<NSRunLoopMode> modes;
        // When the item was first added: timers due at the same instant fire
        // in this order.
        uint64_t order = 0;
    };

    static bool isActiveIn(const std::set<NSRunLoopMode>& modes, const NSRunLoopMode& mode);
    static bool isCommon(const NSRunLoopMode& mode);
    bool turn(const NSRunLoopMode& mode);
    bool fireTimers(const NSRunLoopMode& mode);
    bool runBlocks(const NSRunLoopMode& mode);
    bool serveSources(const NSRunLoopMode& mode);
    bool hasInputs();
    Deadline nextTimerDeadline(const NSRunLoopMode& mode, Deadline limit);
    void notifyObservers(const NSRunLoopMode& mode, unsigned activity);
    // The manual clock's side: moves the timers between real and manual
    // time, and asks for the earliest manual fire time.
    void moveTimersToClock(bool manual, Deadline realNow, Deadline manualNow);
    std::optional<Deadline> nextManualTimerFire(const NSRunLoopMode& mode);

    const bool isMain_;
    std::mutex m_;
    std::condition_variable cv_;
    bool woken_ = false;
    std::map<const NSTimer*, Registration<NSTimer>> timers_;
    uint64_t nextTimerOrder_ = 0;
    std::map<const RunLoopSource*, Registration<RunLoopSource>> sources_;
    std::map<const RunLoopObserver*, Registration<RunLoopObserver>> observers_;
    std::deque<std::function<void()>> blocks_;
};
