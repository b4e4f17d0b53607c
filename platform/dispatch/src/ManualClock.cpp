#include <platform_dispatch/ManualClock.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>

#include "MainThread.h"
#include "ManualClockImpl.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;
using dispatch_detail::SteadyTime;

// Turns one drain may take before it gives up on work that keeps
// re-submitting itself at the same instant.
constexpr int kMaxDrainTurns = 100000;

struct State {
    std::mutex m;
    bool active = false;
    SteadyTime now;
    SteadyTime steadyBase;        // manual time at install
    NSTimeInterval dateBase = 0;  // NSDate at install
    uint64_t nextSeq = 0;
    std::map<std::pair<SteadyTime, uint64_t>, std::function<void()>> afters;
};

State& state() {
    static auto* s = new State();  // never destroyed: timers may ask at exit
    return *s;
}

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

void requireMainThread(const char* what) {
    if (!dispatch_detail::isMainThread())
        throw std::logic_error(std::string("ManualClock::") + what + " called off the main thread");
}

void drainMain() {
    auto loop = NSRunLoop::mainRunLoop();
    for (int i = 0; i < kMaxDrainTurns; ++i)
        if (!loop->runModeUntil(NSDefaultRunLoopMode, Clock::now())) return;
}

}  // namespace

namespace dispatch_detail {

bool manualClockActive() {
    auto& s = state();
    std::lock_guard lock(s.m);
    return s.active;
}

SteadyTime manualNow() {
    auto& s = state();
    std::lock_guard lock(s.m);
    return s.active ? s.now : Clock::now();
}

bool scheduleManualMainAfter(uint64_t delayNs, std::function<void()> block) {
    auto& s = state();
    {
        std::lock_guard lock(s.m);
        if (!s.active) return false;
        if (delayNs > 0) {
            auto at = s.now + std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(delayNs));
            s.afters.emplace(std::make_pair(at, s.nextSeq++), std::move(block));
            return true;
        }
    }
    dispatch_async(dispatch_get_main_queue(), std::move(block));
    return true;
}

}  // namespace dispatch_detail

void ManualClock::install() {
    requireMainThread("install");
    auto& s = state();
    SteadyTime now;
    {
        std::lock_guard lock(s.m);
        if (s.active) return;
        s.active = true;
        s.now = s.steadyBase = now = Clock::now();
        s.dateBase = NSDate::timeIntervalSinceReferenceDateNow();
    }
    NSDate::setClockForTesting([] {
        auto& st = state();
        std::lock_guard lock(st.m);
        return st.dateBase + std::chrono::duration<double>(st.now - st.steadyBase).count();
    });
    NSRunLoop::mainRunLoop()->moveTimersToClock(true, now, now);
}

void ManualClock::uninstall() {
    requireMainThread("uninstall");
    auto& s = state();
    SteadyTime manual;
    decltype(s.afters) afters;
    {
        std::lock_guard lock(s.m);
        if (!s.active) return;
        s.active = false;
        manual = s.now;
        afters.swap(s.afters);
    }
    NSDate::resetClockForTesting();
    NSRunLoop::mainRunLoop()->moveTimersToClock(false, Clock::now(), manual);
    for (auto& [key, block] : afters) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(key.first - manual).count();
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, left), dispatch_get_main_queue(), std::move(block));
    }
}

bool ManualClock::isInstalled() { return dispatch_detail::manualClockActive(); }

void ManualClock::advance(NSTimeInterval secs) {
    requireMainThread("advance");
    auto& s = state();
    SteadyTime target;
    {
        std::lock_guard lock(s.m);
        if (!s.active) throw std::logic_error("ManualClock::advance without an installed manual clock");
        target = s.now + seconds(std::max(0.0, secs));
    }
    auto loop = NSRunLoop::mainRunLoop();
    drainMain();
    for (int round = 0; round < kMaxDrainTurns; ++round) {
        std::optional<SteadyTime> next = loop->nextManualTimerFire(NSDefaultRunLoopMode);
        std::vector<std::function<void()>> due;
        {
            std::lock_guard lock(s.m);
            if (!s.afters.empty() && (!next || s.afters.begin()->first.first < *next))
                next = s.afters.begin()->first.first;
            if (!next || *next > target) break;
            s.now = std::max(s.now, *next);
            while (!s.afters.empty() && s.afters.begin()->first.first <= s.now) {
                due.push_back(std::move(s.afters.begin()->second));
                s.afters.erase(s.afters.begin());
            }
        }
        for (auto& block : due) dispatch_async(dispatch_get_main_queue(), std::move(block));
        drainMain();
    }
    {
        std::lock_guard lock(s.m);
        s.now = std::max(s.now, target);
    }
    drainMain();
}

double ManualClock::mediaTime() {
    return std::chrono::duration<double>(dispatch_detail::manualNow().time_since_epoch()).count();
}
