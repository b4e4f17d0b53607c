#include <platform_dispatch/NSRunLoop.h>

#include <platform_dispatch/NSTimer.h>
#include <platform_dispatch/RunLoopSource.h>

#include "MainThread.h"
#include "QueueImpl.h"
#include "RunLoopWake.h"

#include <algorithm>
#include <vector>

const NSRunLoopMode NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
const NSRunLoopMode NSRunLoopCommonModes = "kCFRunLoopCommonModes";

namespace {

std::chrono::steady_clock::time_point deadlineFor(const NSDate& date) {
    double left = date.timeIntervalSinceNow();
    auto now = std::chrono::steady_clock::now();
    // Far dates (distantFuture) would overflow the clock's range.
    if (left > 1e9) return std::chrono::steady_clock::time_point::max();
    if (left <= 0) return now;
    return now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(left));
}

// The main queue is not drained again by a run loop turn nested inside one
// of its blocks: that would run later blocks before the current one ended.
thread_local bool tlsDrainingMainQueue = false;

}  // namespace

namespace dispatch_detail {
void wakeMainRunLoop() { NSRunLoop::mainRunLoop()->wakeUp(); }
}  // namespace dispatch_detail

NSRunLoop::NSRunLoop(bool isMain) : isMain_(isMain) {}

std::shared_ptr<NSRunLoop> NSRunLoop::mainRunLoop() {
    // Never destroyed: other threads may wake it while the process exits.
    static auto* loop = new std::shared_ptr<NSRunLoop>(std::make_shared<NSRunLoop>(true));
    return *loop;
}

std::shared_ptr<NSRunLoop> NSRunLoop::currentRunLoop() {
    if (dispatch_detail::isMainThread()) return mainRunLoop();
    static thread_local std::shared_ptr<NSRunLoop> loop = std::make_shared<NSRunLoop>(false);
    return loop;
}

bool NSRunLoop::isCommon(const NSRunLoopMode& mode) { return mode == NSDefaultRunLoopMode || mode == NSRunLoopCommonModes; }

bool NSRunLoop::isActiveIn(const std::set<NSRunLoopMode>& modes, const NSRunLoopMode& mode) {
    if (modes.count(mode)) return true;
    return isCommon(mode) && (modes.count(NSRunLoopCommonModes) || modes.count(NSDefaultRunLoopMode));
}

void NSRunLoop::wakeUp() {
    std::lock_guard lock(m_);
    woken_ = true;
    cv_.notify_all();
}

void NSRunLoop::addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode) {
    if (!timer || !timer->isValid()) return;
    timer->attach(std::static_pointer_cast<NSRunLoop>(shared_from_this()));
    {
        std::lock_guard lock(m_);
        auto& reg = timers_[timer.get()];
        reg.item = timer;
        reg.modes.insert(mode);
    }
    wakeUp();
}

void NSRunLoop::addSource(const std::shared_ptr<RunLoopSource>& source, const NSRunLoopMode& mode) {
    if (!source) return;
    source->attach(std::static_pointer_cast<NSRunLoop>(shared_from_this()));
    {
        std::lock_guard lock(m_);
        auto& reg = sources_[source.get()];
        reg.item = source;
        reg.modes.insert(mode);
    }
    wakeUp();
}

void NSRunLoop::removeSource(const std::shared_ptr<RunLoopSource>& source, const NSRunLoopMode& mode) {
    if (!source) return;
    std::lock_guard lock(m_);
    auto it = sources_.find(source.get());
    if (it == sources_.end()) return;
    it->second.modes.erase(mode);
    if (it->second.modes.empty()) sources_.erase(it);
}

void NSRunLoop::performBlock(std::function<void()> block) {
    if (!block) return;
    {
        std::lock_guard lock(m_);
        blocks_.push_back(std::move(block));
    }
    wakeUp();
}

bool NSRunLoop::fireTimers(const NSRunLoopMode& mode) {
    auto now = std::chrono::steady_clock::now();
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::shared_ptr<NSTimer>>> due;
    {
        std::lock_guard lock(m_);
        for (auto it = timers_.begin(); it != timers_.end();) {
            auto& timer = it->second.item;
            if (!timer->isValid()) {
                it = timers_.erase(it);
                continue;
            }
            if (isActiveIn(it->second.modes, mode)) {
                auto at = timer->nextFire();
                if (at <= now) due.emplace_back(at, timer);
            }
            ++it;
        }
    }
    std::stable_sort(due.begin(), due.end(), [](auto& a, auto& b) { return a.first < b.first; });
    for (auto& [at, timer] : due) timer->fireFromRunLoop(now);
    return !due.empty();
}

bool NSRunLoop::runBlocks(const NSRunLoopMode& mode) {
    if (!isCommon(mode)) return false;
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_);
        batch.swap(blocks_);
    }
    for (auto& block : batch) block();
    return !batch.empty();
}

bool NSRunLoop::serveSources(const NSRunLoopMode& mode) {
    std::vector<std::shared_ptr<RunLoopSource>> ready;
    {
        std::lock_guard lock(m_);
        for (auto it = sources_.begin(); it != sources_.end();) {
            auto& source = it->second.item;
            if (!source->isValid()) {
                it = sources_.erase(it);
                continue;
            }
            if (isActiveIn(it->second.modes, mode) && source->takeSignal()) ready.push_back(source);
            ++it;
        }
    }
    for (auto& source : ready) source->perform();
    return !ready.empty();
}

bool NSRunLoop::turn(const NSRunLoopMode& mode) {
    bool handled = fireTimers(mode);
    handled |= runBlocks(mode);
    if (isMain_ && isCommon(mode) && !tlsDrainingMainQueue) {
        tlsDrainingMainQueue = true;
        struct Reset {
            ~Reset() { tlsDrainingMainQueue = false; }
        } reset;
        handled |= dispatch_detail::drainMainQueue();
    }
    handled |= serveSources(mode);
    return handled;
}

NSRunLoop::Deadline NSRunLoop::nextTimerDeadline(const NSRunLoopMode& mode, Deadline limit) {
    for (auto& [key, reg] : timers_)
        if (reg.item->isValid() && isActiveIn(reg.modes, mode)) limit = std::min(limit, reg.item->nextFire());
    return limit;
}

bool NSRunLoop::runModeUntil(const NSRunLoopMode& mode, Deadline deadline) {
    for (;;) {
        if (turn(mode)) return true;
        std::unique_lock lock(m_);
        if (woken_) {
            woken_ = false;
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        auto until = nextTimerDeadline(mode, deadline);
        if (until > now) {
            if (until == Deadline::max())
                cv_.wait(lock, [&] { return woken_; });
            else
                cv_.wait_until(lock, until, [&] { return woken_; });
        }
        woken_ = false;
    }
}

bool NSRunLoop::runMode(const NSRunLoopMode& mode, const NSDate& limitDate) {
    return runModeUntil(mode, deadlineFor(limitDate));
}

void NSRunLoop::runUntilDate(const NSDate& limitDate) {
    auto deadline = deadlineFor(limitDate);
    while (std::chrono::steady_clock::now() < deadline) runModeUntil(NSDefaultRunLoopMode, deadline);
}

bool NSRunLoop::hasInputs() {
    if (isMain_) return true;
    std::lock_guard lock(m_);
    for (auto& [key, reg] : timers_)
        if (reg.item->isValid()) return true;
    for (auto& [key, reg] : sources_)
        if (reg.item->isValid()) return true;
    return !blocks_.empty();
}

void NSRunLoop::run() {
    while (hasInputs()) runModeUntil(NSDefaultRunLoopMode, Deadline::max());
}
