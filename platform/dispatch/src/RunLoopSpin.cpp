#include <platform_dispatch/RunLoopSpin.h>

#include <platform_dispatch/NSRunLoop.h>

#include <algorithm>
#include <chrono>

bool spinMainRunLoopUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(std::max(0.0, timeoutSeconds)));
    auto loop = NSRunLoop::currentRunLoop();
    for (;;) {
        if (condition()) return true;
        auto now = Clock::now();
        if (now >= deadline) return false;
        // Short turns: the condition may change on another thread without
        // anything reaching this loop.
        loop->runModeUntil(NSDefaultRunLoopMode, std::min(deadline, now + std::chrono::milliseconds(5)));
    }
}
