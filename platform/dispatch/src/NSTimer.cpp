#include <platform_dispatch/NSTimer.h>

#include <platform_dispatch/NSRunLoop.h>

#include "ManualClockImpl.h"

namespace {

std::chrono::steady_clock::duration seconds(double s) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(s));
}

}  // namespace

NSTimer::NSTimer(NSTimeInterval interval, bool repeats, Block block, std::shared_ptr<NSObject> target,
                 Value userInfo)
    : interval_(interval > 0 ? interval : 0.0001),
      repeats_(repeats),
      userInfo_(std::move(userInfo)),
      block_(std::move(block)),
      target_(std::move(target)),
      fireTime_(Clock::now() + seconds(interval_)) {
    // Made while the manual clock runs, a timer counts from manual now: dated on the real clock
    // and moved over when added, it would fire early by the real time between the two.
    if (dispatch_detail::manualClockActive()) {
        fireTime_ = dispatch_detail::manualNow() + seconds(interval_);
        manual_ = true;
    }
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block) {
    return std::make_shared<NSTimer>(interval, repeats, std::move(block), nullptr, Value());
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, std::shared_ptr<NSObject> target,
                                                        Block selector, Value userInfo, bool repeats) {
    return std::make_shared<NSTimer>(interval, repeats, std::move(selector), std::move(target), std::move(userInfo));
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block) {
    auto timer = timerWithTimeInterval(interval, repeats, std::move(block));
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
    return timer;
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval,
                                                                 std::shared_ptr<NSObject> target, Block selector,
                                                                 Value userInfo, bool repeats) {
    auto timer = timerWithTimeInterval(interval, std::move(target), std::move(selector), std::move(userInfo), repeats);
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
    return timer;
}

void NSTimer::callBlock() {
    Block block;
    {
        std::lock_guard lock(m_);
        block = block_;  // a copy: the block may invalidate its own timer
    }
    if (block) block(std::static_pointer_cast<NSTimer>(shared_from_this()));
}

void NSTimer::fire() {
    if (!isValid()) return;
    callBlock();
    if (!repeats_) invalidate();
}

void NSTimer::fireFromRunLoop(Clock::time_point now) {
    if (!isValid()) return;
    if (repeats_) {
        // The next firing keeps the timer's cadence; missed ones are skipped.
        std::lock_guard lock(m_);
        auto step = seconds(interval_);
        fireTime_ += step;
        if (fireTime_ <= now) fireTime_ += step * ((now - fireTime_) / step + 1);
    }
    callBlock();
    if (!repeats_) {
        // Unless the block moved the fire date, a one-shot timer is done.
        std::unique_lock lock(m_);
        bool rearmed = fireTime_ > now;
        lock.unlock();
        if (!rearmed) invalidate();
    }
}

void NSTimer::invalidate() {
    Block block;
    std::shared_ptr<NSObject> target;
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard lock(m_);
        valid_.store(false);
        block.swap(block_);
        target.swap(target_);
        loop = loop_.lock();
    }
    // Released outside the lock: their destructors may touch this timer.
    // The loop looks again: it may have been waiting for this timer only.
    if (loop) loop->wakeUp();
}

NSDate NSTimer::fireDate() const {
    auto left = std::chrono::duration<double>(nextFire() - clockNow()).count();
    return NSDate::dateWithTimeIntervalSinceNow(left);
}

void NSTimer::setFireDate(const NSDate& date) {
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard lock(m_);
        fireTime_ = clockNow() + seconds(date.timeIntervalSinceNow());
        loop = loop_.lock();
    }
    if (loop) loop->wakeUp();
}

NSTimeInterval NSTimer::tolerance() const {
    std::lock_guard lock(m_);
    return tolerance_;
}

void NSTimer::setTolerance(NSTimeInterval tolerance) {
    std::lock_guard lock(m_);
    tolerance_ = tolerance > 0 ? tolerance : 0;
}

NSTimer::Clock::time_point NSTimer::nextFire() const {
    std::lock_guard lock(m_);
    return fireTime_;
}

void NSTimer::attach(const std::shared_ptr<NSRunLoop>& loop, bool manualClock) {
    {
        std::lock_guard lock(m_);
        loop_ = loop;
    }
    if (manualClock != manual_) moveToClock(manualClock, Clock::now(), dispatch_detail::manualNow());
}

void NSTimer::moveToClock(bool manual, Clock::time_point realNow, Clock::time_point manualNow) {
    std::lock_guard lock(m_);
    if (manual_ == manual) return;
    fireTime_ = manual ? manualNow + (fireTime_ - realNow) : realNow + (fireTime_ - manualNow);
    manual_ = manual;
}

NSTimer::Clock::time_point NSTimer::clockNow() const {
    return manual_ ? dispatch_detail::manualNow() : Clock::now();
}
