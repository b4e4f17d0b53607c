#include <platform_runtime/NSDate.h>
#include <platform_runtime/CivilDate.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace {

std::mutex& clockMutex() {
    static std::mutex m;
    return m;
}

std::function<double()>& testClock() {
    static std::function<double()> clock;
    return clock;
}

// Lets NSDate::date() skip the mutex unless a test installed a clock.
std::atomic<bool> hasTestClock{false};

}  // namespace

NSTimeInterval NSDate::timeIntervalSinceReferenceDateNow() {
    if (hasTestClock.load(std::memory_order_acquire)) {
        std::function<double()> clock;
        {
            std::lock_guard<std::mutex> lock(clockMutex());
            clock = testClock();
        }
        // Called outside the lock, so a clock may itself read or replace the clock.
        if (clock) return clock();
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count() - NSTimeIntervalSince1970;
}

NSDate NSDate::date() { return NSDate(timeIntervalSinceReferenceDateNow()); }

NSDate NSDate::dateWithTimeIntervalSinceNow(NSTimeInterval t) { return NSDate(timeIntervalSinceReferenceDateNow() + t); }

NSTimeInterval NSDate::timeIntervalSinceNow() const { return interval_ - timeIntervalSinceReferenceDateNow(); }

NSDate NSDate::distantPast() { return NSDate(-63114076800.0); }

NSDate NSDate::distantFuture() { return NSDate(63113904000.0); }

void NSDate::setClockForTesting(std::function<double()> clock) {
    std::lock_guard<std::mutex> lock(clockMutex());
    hasTestClock.store(static_cast<bool>(clock), std::memory_order_release);
    testClock() = std::move(clock);
}

NSComparisonResult NSDate::compare(const NSDate& other) const {
    if (interval_ < other.interval_) return NSOrderedAscending;
    if (interval_ > other.interval_) return NSOrderedDescending;
    return NSOrderedSame;
}

std::string NSDate::description() const {
    double since1970 = std::floor(timeIntervalSince1970());
    if (!std::isfinite(since1970)) since1970 = 0;
    // Keep the year within four-ish digits so the arithmetic below cannot overflow.
    since1970 = std::fmax(std::fmin(since1970, 1e15), -1e15);
    const auto secs = static_cast<int64_t>(since1970);
    int64_t days = secs / 86400;
    int64_t rem = secs % 86400;
    if (rem < 0) rem += 86400, --days;
    int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d +0000", static_cast<long long>(y), m, d,
                  static_cast<int>(rem / 3600), static_cast<int>(rem / 60 % 60), static_cast<int>(rem % 60));
    return buf;
}
