#pragma once
// A set of calendar fields (year, month, day, week, ...) where each may be unset; used both as
// the components of a date and as amounts to add or differences between dates.

#include <memory>
#include <optional>

#include <platform_foundation/NSCalendarUnit.h>
#include <platform_foundation/NSRange.h>
#include <platform_runtime/NSDate.h>

class NSCalendar;
class NSTimeZone;

// The value of a field that is not set.
inline constexpr NSInteger NSDateComponentUndefined = NSIntegerMax;

class NSDateComponents {
public:
    NSInteger era() const { return era_; }
    NSInteger year() const { return year_; }
    NSInteger month() const { return month_; }
    NSInteger day() const { return day_; }
    NSInteger hour() const { return hour_; }
    NSInteger minute() const { return minute_; }
    NSInteger second() const { return second_; }
    NSInteger nanosecond() const { return nanosecond_; }
    NSInteger weekday() const { return weekday_; }
    NSInteger weekdayOrdinal() const { return weekdayOrdinal_; }
    NSInteger quarter() const { return quarter_; }
    NSInteger weekOfMonth() const { return weekOfMonth_; }
    NSInteger weekOfYear() const { return weekOfYear_; }
    NSInteger yearForWeekOfYear() const { return yearForWeekOfYear_; }
    bool isLeapMonth() const { return leapMonth_; }

    void setEra(NSInteger v) { era_ = v; }
    void setYear(NSInteger v) { year_ = v; }
    void setMonth(NSInteger v) { month_ = v; }
    void setDay(NSInteger v) { day_ = v; }
    void setHour(NSInteger v) { hour_ = v; }
    void setMinute(NSInteger v) { minute_ = v; }
    void setSecond(NSInteger v) { second_ = v; }
    void setNanosecond(NSInteger v) { nanosecond_ = v; }
    void setWeekday(NSInteger v) { weekday_ = v; }
    void setWeekdayOrdinal(NSInteger v) { weekdayOrdinal_ = v; }
    void setQuarter(NSInteger v) { quarter_ = v; }
    void setWeekOfMonth(NSInteger v) { weekOfMonth_ = v; }
    void setWeekOfYear(NSInteger v) { weekOfYear_ = v; }
    void setYearForWeekOfYear(NSInteger v) { yearForWeekOfYear_ = v; }
    void setLeapMonth(bool v) { leapMonth_ = v; }

    // The field of one unit (NSDateComponentUndefined when unset or not a single field unit).
    NSInteger valueForComponent(NSCalendarUnit unit) const;
    void setValue(NSInteger value, NSCalendarUnit unit);

    const std::shared_ptr<NSCalendar>& calendar() const { return calendar_; }
    void setCalendar(std::shared_ptr<NSCalendar> calendar) { calendar_ = std::move(calendar); }
    const std::shared_ptr<NSTimeZone>& timeZone() const { return timeZone_; }
    void setTimeZone(std::shared_ptr<NSTimeZone> zone) { timeZone_ = std::move(zone); }

    // The date these components name in their calendar (and time zone, when set); nothing
    // without a calendar.
    std::optional<NSDate> date() const;

    bool operator==(const NSDateComponents& other) const;

private:
    NSInteger era_ = NSDateComponentUndefined;
    NSInteger year_ = NSDateComponentUndefined;
    NSInteger month_ = NSDateComponentUndefined;
    NSInteger day_ = NSDateComponentUndefined;
    NSInteger hour_ = NSDateComponentUndefined;
    NSInteger minute_ = NSDateComponentUndefined;
    NSInteger second_ = NSDateComponentUndefined;
    NSInteger nanosecond_ = NSDateComponentUndefined;
    NSInteger weekday_ = NSDateComponentUndefined;
    NSInteger weekdayOrdinal_ = NSDateComponentUndefined;
    NSInteger quarter_ = NSDateComponentUndefined;
    NSInteger weekOfMonth_ = NSDateComponentUndefined;
    NSInteger weekOfYear_ = NSDateComponentUndefined;
    NSInteger yearForWeekOfYear_ = NSDateComponentUndefined;
    bool leapMonth_ = false;
    std::shared_ptr<NSCalendar> calendar_;
    std::shared_ptr<NSTimeZone> timeZone_;
};
