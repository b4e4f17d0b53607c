#pragma once
// Calendar components of dates (year, weekday, day of year...), leap years, day tests (today,
// tomorrow, weekend) and dates built from components. See DUDateCalendar.h for the naming scheme.

#include <cstdint>
#include <optional>

#include <platform_foundation/NSCalendar.h>
#include <platform_runtime/NSDate.h>

enum DUDateComponent : uint64_t {
    DUDateComponentEra = 0,
    DUDateComponentYear = 1,
    DUDateComponentMonth = 2,
    DUDateComponentDay = 3,
    DUDateComponentHour = 4,
    DUDateComponentMinute = 5,
    DUDateComponentSecond = 6,
    DUDateComponentWeekday = 7,
    DUDateComponentWeekdayOrdinal = 8,
    DUDateComponentQuarter = 9,
    DUDateComponentWeekOfMonth = 10,
    DUDateComponentWeekOfYear = 11,
    DUDateComponentYearForWeekOfYear = 12,
    DUDateComponentDayOfYear = 13,
};

namespace DUDate {

// One component of the date in the calendar (the implicit one when null); 0 for an unknown type.
int64_t componentForDate(const NSDate& date, DUDateComponent type, const NSCalendarPtr& calendar = nullptr);

int64_t era(const NSDate& self);
int64_t year(const NSDate& self);
int64_t month(const NSDate& self);
int64_t day(const NSDate& self);
int64_t hour(const NSDate& self);
int64_t minute(const NSDate& self);
int64_t second(const NSDate& self);
int64_t weekday(const NSDate& self);
int64_t weekdayOrdinal(const NSDate& self);
int64_t quarter(const NSDate& self);
int64_t weekOfMonth(const NSDate& self);
int64_t weekOfYear(const NSDate& self);
int64_t yearForWeekOfYear(const NSDate& self);
int64_t dayOfYear(const NSDate& self);

int64_t eraWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t yearWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t monthWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t dayWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t hourWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t minuteWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t secondWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t weekdayWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t weekdayOrdinalWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t quarterWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t weekOfMonthWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t weekOfYearWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t yearForWeekOfYearWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);
int64_t dayOfYearWithCalendar(const NSDate& self, const NSCalendarPtr& calendar);

// Days of the date's month in the platform's current calendar.
int64_t daysInMonth(const NSDate& self);
int64_t daysInYear(const NSDate& self);
bool isInLeapYear(const NSDate& self);
// The Gregorian rule: divisible by 400, or by 4 and not by 100.
bool isLeapYear(int64_t year);

// Day tests in the platform's current calendar, against the current instant.
bool isToday(const NSDate& self);
bool isTomorrow(const NSDate& self);
bool isYesterday(const NSDate& self);
// Whether both dates fall on the same calendar day (era, year, month and day).
bool isSameDay(const NSDate& self, const NSDate& date);
bool isWeekend(const NSDate& self);

// Dates from components in the implicit calendar; nothing when the calendar cannot build one.
std::optional<NSDate> dateWithYear(int64_t year, int64_t month, int64_t day);
std::optional<NSDate> dateWithYear(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                                   int64_t second);

}  // namespace DUDate
