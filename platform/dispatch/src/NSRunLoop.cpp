#include <platform_dispatch/NSRunLoop.h>

#include <platform_dispatch/NSTimer.h>
#include <platform_dispatch/RunLoopObserver.h>
#include <platform_dispatch/RunLoopSource.h>

#include "MainThread.h"
#include "ManualClockImpl.h"
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
    if (modes.size() == 1) {
        // Most items run in one mode (the common modes): one comparison or two.
        const NSRunLoopMode& only = *modes.begin();
        return only == mode || (isCommon(only) && isCommon(mode));
    }
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
    timer->attach(std::static_pointer_cast<NSRunLoop>(shared_from_this()),
                  isMain_ && dispatch_detail::manualClockActive());
    {
        std::lock_guard lock(m_);
        auto [it, added] = timers_.try_emplace(timer.get());
        auto& reg = it->second;
        if (added) reg.order = nextTimerOrder_++;
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

void NSRunLoop::addObserver(const std::shared_ptr<RunLoopObserver>& observer, const NSRunLoopMode& mode) {
    if (!observer) return;
    std::lock_guard lock(m_);
    auto& reg = observers_[observer.get()];
    reg.item = observer;
    reg.modes.insert(mode);
}

void NSRunLoop::removeObserver(const std::shared_ptr<RunLoopObserver>& observer, const NSRunLoopMode& mode) {
    if (!observer) return;
    std::lock_guard lock(m_);
    auto it = observers_.find(observer.get());
    if (it == observers_.end()) return;
    it->second.modes.erase(mode);
    if (it->second.modes.empty()) observers_.erase(it);
}

void NSRunLoop::notifyObservers(const NSRunLoopMode& mode, unsigned activity) {
    std::vector<std::shared_ptr<RunLoopObserver>> interested;
    {
        std::lock_guard lock(m_);
        if (observers_.empty()) return;
        for (auto it = observers_.begin(); it != observers_.end();) {
            auto& observer = it->second.item;
            if (!observer->isValid()) {
                it = observers_.erase(it);
                continue;
            }
            if ((observer->activities() & activity) && isActiveIn(it->second.modes, mode))
                interested.push_back(observer);
            ++it;
        }
    }
    std::stable_sort(interested.begin(), interested.end(),
                     [](auto& a, auto& b) { return a->order() < b->order(); });
    for (auto& observer : interested) observer->observe(static_cast<CFRunLoopActivity>(activity));
}

void NSRunLoop::moveTimersToClock(bool manual, Deadline realNow, Deadline manualNow) {
    std::vector<std::shared_ptr<NSTimer>> timers;
    {
        std::lock_guard lock(m_);
        for (auto& [key, reg] : timers_) timers.push_back(reg.item);
    }
    for (auto& timer : timers) timer->moveToClock(manual, realNow, manualNow);
    wakeUp();
}

std::optional<NSRunLoop::Deadline> NSRunLoop::nextManualTimerFire(const NSRunLoopMode& mode) {
    std::optional<Deadline> next;
    std::lock_guard lock(m_);
    for (auto& [key, reg] : timers_) {
        auto& timer = reg.item;
        if (!timer->isValid() || !timer->onManualClock() || !isActiveIn(reg.modes, mode)) continue;
        auto at = timer->nextFire();
        if (!next || at < *next) next = at;
    }
    return next;
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
    auto realNow = std::chrono::steady_clock::now();
    auto manualNow = isMain_ ? dispatch_detail::manualNow() : realNow;
    struct Due {
        std::chrono::steady_clock::time_point at;
        uint64_t order;
        std::shared_ptr<NSTimer> timer;
    };
    std::vector<Due> due;
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
                if (at <= (timer->onManualClock() ? manualNow : realNow))
                    due.push_back(Due{at, it->second.order, timer});
            }
            ++it;
        }
    }
    // By fire time, then in the order the timers were added: the map's
    // order (by address) says nothing about which came first.
    std::sort(due.begin(), due.end(),
              [](const Due& a, const Due& b) { return a.at != b.at ? a.at < b.at : a.order < b.order; });
    for (auto& d : due) d.timer->fireFromRunLoop(d.timer->onManualClock() ? manualNow : realNow);
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
    notifyObservers(mode, kCFRunLoopBeforeTimers);
    bool handled = fireTimers(mode);
    notifyObservers(mode, kCFRunLoopBeforeSources);
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
        // Manual-clock timers fire only when the clock is advanced.
        if (reg.item->isValid() && !reg.item->onManualClock() && isActiveIn(reg.modes, mode))
            limit = std::min(limit, reg.item->nextFire());
    return limit;
}

bool NSRunLoop::runModeUntil(const NSRunLoopMode& mode, Deadline deadline) {
    notifyObservers(mode, kCFRunLoopEntry);
    struct Exit {
        NSRunLoop* loop;
        const NSRunLoopMode& mode;
        ~Exit() { loop->notifyObservers(mode, kCFRunLoopExit); }
    } exit{this, mode};
    for (;;) {
        if (turn(mode)) return true;
        {
            std::lock_guard lock(m_);
            if (woken_) {
                woken_ = false;
                continue;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        notifyObservers(mode, kCFRunLoopBeforeWaiting);
        {
            std::unique_lock lock(m_);
            auto now = std::chrono::steady_clock::now();
            auto until = nextTimerDeadline(mode, deadline);
            if (until > now && !woken_) {
                if (until == Deadline::max())
                    cv_.wait(lock, [&] { return woken_; });
                else
                    cv_.wait_until(lock, until, [&] { return woken_; });
            }
            woken_ = false;
        }
        notifyObservers(mode, kCFRunLoopAfterWaiting);
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
