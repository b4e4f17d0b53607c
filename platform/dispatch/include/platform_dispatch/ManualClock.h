#pragma once
// A clock that tests move by hand. While it is installed, the main run
// loop's timers, dispatch_after onto the main queue, the animation clock
// (mediaTime) and NSDate read it instead of real time; real time is the
// default. Other run loops and queues keep real time.
//
// Install, advance and uninstall on the main thread.

#include <platform_runtime/NSDate.h>

class ManualClock {
public:
    // Switches to manual time, starting at the current real time; timers
    // already on the main run loop keep their remaining intervals. Installing
    // twice changes nothing.
    static void install();
    // Back to real time; main-run-loop timers and pending main-queue
    // dispatch_afters keep their remaining intervals.
    static void uninstall();
    static bool isInstalled();

    // Moves time forward by `seconds` (negative counts as 0): fires the due
    // main-run-loop timers and main-queue dispatch_afters in time order, each
    // at its own time, draining the main queue and running the loop's
    // end-of-turn observers after each; then stops at the target time.
    // Throws std::logic_error when the clock is not installed or the caller
    // is not the main thread.
    static void advance(NSTimeInterval seconds);

    // Seconds on the main monotonic clock: manual time while installed.
    static double mediaTime();

    // Installs for the lifetime of the scope.
    struct Scope {
        Scope() { install(); }
        ~Scope() { uninstall(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };
};
