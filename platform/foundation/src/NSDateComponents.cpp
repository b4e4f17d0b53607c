#include <platform_foundation/NSDateComponents.h>

#include <platform_foundation/NSCalendar.h>
#include <platform_foundation/NSTimeZone.h>

NSInteger NSDateComponents::valueForComponent(NSCalendarUnit unit) const {
    switch (unit) {
        case NSCalendarUnitEra: return era_;
        case NSCalendarUnitYear: return year_;
        case NSCalendarUnitMonth: return month_;
        case NSCalendarUnitDay: return day_;
        case NSCalendarUnitHour: return hour_;
        case NSCalendarUnitMinute: return minute_;
        case NSCalendarUnitSecond: return second_;
        case NSCalendarUnitNanosecond: return nanosecond_;
        case NSCalendarUnitWeekday: return weekday_;
        case NSCalendarUnitWeekdayOrdinal: return weekdayOrdinal_;
        case NSCalendarUnitQuarter: return quarter_;
        case NSCalendarUnitWeekOfMonth: return weekOfMonth_;
        case NSCalendarUnitWeekOfYear: return weekOfYear_;
        case NSCalendarUnitYearForWeekOfYear: return yearForWeekOfYear_;
        default: return NSDateComponentUndefined;
    }
}

void NSDateComponents::setValue(NSInteger value, NSCalendarUnit unit) {
    switch (unit) {
        case NSCalendarUnitEra: era_ = value; break;
        case NSCalendarUnitYear: year_ = value; break;
        case NSCalendarUnitMonth: month_ = value; break;
        case NSCalendarUnitDay: day_ = value; break;
        case NSCalendarUnitHour: hour_ = value; break;
        case NSCalendarUnitMinute: minute_ = value; break;
        case NSCalendarUnitSecond: second_ = value; break;
        case NSCalendarUnitNanosecond: nanosecond_ = value; break;
        case NSCalendarUnitWeekday: weekday_ = value; break;
        case NSCalendarUnitWeekdayOrdinal: weekdayOrdinal_ = value; break;
        case NSCalendarUnitQuarter: quarter_ = value; break;
        case NSCalendarUnitWeekOfMonth: weekOfMonth_ = value; break;
        case NSCalendarUnitWeekOfYear: weekOfYear_ = value; break;
        case NSCalendarUnitYearForWeekOfYear: yearForWeekOfYear_ = value; break;
        default: break;
    }
}

std::optional<NSDate> NSDateComponents::date() const {
    if (!calendar_) return std::nullopt;
    return calendar_->dateFromComponents(*this);
}

bool NSDateComponents::operator==(const NSDateComponents& o) const {
    auto sameObject = [](const auto& a, const auto& b) { return a == b || (a && b && a->isEqual(*b)); };
    return era_ == o.era_ && year_ == o.year_ && month_ == o.month_ && day_ == o.day_ && hour_ == o.hour_ &&
           minute_ == o.minute_ && second_ == o.second_ && nanosecond_ == o.nanosecond_ && weekday_ == o.weekday_ &&
           weekdayOrdinal_ == o.weekdayOrdinal_ && quarter_ == o.quarter_ && weekOfMonth_ == o.weekOfMonth_ &&
           weekOfYear_ == o.weekOfYear_ && yearForWeekOfYear_ == o.yearForWeekOfYear_ &&
           leapMonth_ == o.leapMonth_ && sameObject(calendar_, o.calendar_) && sameObject(timeZone_, o.timeZone_);
}
