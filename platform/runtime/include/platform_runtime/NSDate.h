#pragma once
// A point in time: seconds since 2001-01-01 00:00:00 UTC, with an injectable clock for tests.

#include <functional>
#include <string>

#include <platform_runtime/NSComparisonResult.h>

using NSTimeInterval = double;

// Seconds between 1970-01-01 and 2001-01-01 (UTC).
inline constexpr NSTimeInterval NSTimeIntervalSince1970 = 978307200.0;

class NSDate {
public:
    NSDate() = default;  // the reference date itself
    explicit NSDate(NSTimeInterval sinceReferenceDate) : interval_(sinceReferenceDate) {}

    // Now, read through the current clock (the system clock unless a test set one).
    static NSDate date();
    static NSDate dateWithTimeIntervalSinceReferenceDate(NSTimeInterval t) { return NSDate(t); }
    static NSDate dateWithTimeIntervalSince1970(NSTimeInterval t) { return NSDate(t - NSTimeIntervalSince1970); }
    static NSDate dateWithTimeIntervalSinceNow(NSTimeInterval t);
    static NSDate distantPast();    // year 1 (Julian); prints as 0000-12-30 00:00:00 +0000
    static NSDate distantFuture();  // 4001-01-01 00:00:00 UTC
    // Current time in seconds since the reference date.
    static NSTimeInterval timeIntervalSinceReferenceDateNow();

    // The clock answers seconds since the reference date. Pass nullptr to reset.
    static void setClockForTesting(std::function<double()> clock);
    static void resetClockForTesting() { setClockForTesting(nullptr); }

    NSTimeInterval timeIntervalSinceReferenceDate() const { return interval_; }
    NSTimeInterval timeIntervalSince1970() const { return interval_ + NSTimeIntervalSince1970; }
    NSTimeInterval timeIntervalSinceDate(const NSDate& other) const { return interval_ - other.interval_; }
    NSTimeInterval timeIntervalSinceNow() const;
    NSDate dateByAddingTimeInterval(NSTimeInterval t) const { return NSDate(interval_ + t); }

    NSComparisonResult compare(const NSDate& other) const;
    bool isEqualToDate(const NSDate& other) const { return interval_ == other.interval_; }
    NSDate earlierDate(const NSDate& other) const { return other.interval_ < interval_ ? other : *this; }
    NSDate laterDate(const NSDate& other) const { return other.interval_ > interval_ ? other : *this; }

    bool operator==(const NSDate& o) const { return interval_ == o.interval_; }
    bool operator!=(const NSDate& o) const { return interval_ != o.interval_; }
    bool operator<(const NSDate& o) const { return interval_ < o.interval_; }
    bool operator<=(const NSDate& o) const { return interval_ <= o.interval_; }
    bool operator>(const NSDate& o) const { return interval_ > o.interval_; }
    bool operator>=(const NSDate& o) const { return interval_ >= o.interval_; }

    // "YYYY-MM-DD hh:mm:ss +0000" (UTC, whole seconds rounded down).
    std::string description() const;

private:
    NSTimeInterval interval_ = 0;
};
