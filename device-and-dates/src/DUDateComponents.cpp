#include <device_and_dates/DUDateArithmetic.h>
#include <device_and_dates/DUDateCalendar.h>
#include <device_and_dates/DUDateComponents.h>

namespace {

constexpr NSCalendarUnit kAllComponents =
    NSCalendarUnitEra | NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour |
    NSCalendarUnitMinute | NSCalendarUnitSecond | NSCalendarUnitWeekday | NSCalendarUnitWeekdayOrdinal |
    NSCalendarUnitQuarter | NSCalendarUnitWeekOfMonth | NSCalendarUnitWeekOfYear;

// Era, year, month and day: what makes two instants the same calendar day.
struct Day {
    NSInteger era, year, month, day;
    bool operator==(const Day&) const = default;
};

Day dayOf(const NSCalendar& calendar, const NSDate& date) {
    NSDateComponents c = calendar.components(
        NSCalendarUnitEra | NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay, date);
    return {c.era(), c.year(), c.month(), c.day()};
}

}  // namespace

namespace DUDate {

int64_t componentForDate(const NSDate& date, DUDateComponent type, const NSCalendarPtr& calendar) {
    NSCalendarPtr cal = calendar ? calendar : implicitCalendar();
    NSCalendarUnit units = kAllComponents;
    if (type == DUDateComponentYearForWeekOfYear) units |= NSCalendarUnitYearForWeekOfYear;
    NSDateComponents c = cal->components(units, date);
    switch (type) {
    case DUDateComponentEra: return c.era();
    case DUDateComponentYear: return c.year();
    case DUDateComponentMonth: return c.month();
    case DUDateComponentDay: return c.day();
    case DUDateComponentHour: return c.hour();
    case DUDateComponentMinute: return c.minute();
    case DUDateComponentSecond: return c.second();
    case DUDateComponentWeekday: return c.weekday();
    case DUDateComponentWeekdayOrdinal: return c.weekdayOrdinal();
    case DUDateComponentQuarter: return c.quarter();
    case DUDateComponentWeekOfMonth: return c.weekOfMonth();
    case DUDateComponentWeekOfYear: return c.weekOfYear();
    case DUDateComponentYearForWeekOfYear: return c.yearForWeekOfYear();
    case DUDateComponentDayOfYear:
        return static_cast<int64_t>(cal->ordinalityOfUnit(NSCalendarUnitDay, NSCalendarUnitYear, date));
    }
    return 0;
}

int64_t era(const NSDate& self) { return componentForDate(self, DUDateComponentEra); }
int64_t year(const NSDate& self) { return componentForDate(self, DUDateComponentYear); }
int64_t month(const NSDate& self) { return componentForDate(self, DUDateComponentMonth); }
int64_t day(const NSDate& self) { return componentForDate(self, DUDateComponentDay); }
int64_t hour(const NSDate& self) { return componentForDate(self, DUDateComponentHour); }
int64_t minute(const NSDate& self) { return componentForDate(self, DUDateComponentMinute); }
int64_t second(const NSDate& self) { return componentForDate(self, DUDateComponentSecond); }
int64_t weekday(const NSDate& self) { return componentForDate(self, DUDateComponentWeekday); }
int64_t weekdayOrdinal(const NSDate& self) { return componentForDate(self, DUDateComponentWeekdayOrdinal); }
int64_t quarter(const NSDate& self) { return componentForDate(self, DUDateComponentQuarter); }
int64_t weekOfMonth(const NSDate& self) { return componentForDate(self, DUDateComponentWeekOfMonth); }
int64_t weekOfYear(const NSDate& self) { return componentForDate(self, DUDateComponentWeekOfYear); }
int64_t yearForWeekOfYear(const NSDate& self) { return componentForDate(self, DUDateComponentYearForWeekOfYear); }
int64_t dayOfYear(const NSDate& self) { return componentForDate(self, DUDateComponentDayOfYear); }

int64_t eraWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentEra, c); }
int64_t yearWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentYear, c); }
int64_t monthWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentMonth, c); }
int64_t dayWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentDay, c); }
int64_t hourWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentHour, c); }
int64_t minuteWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentMinute, c); }
int64_t secondWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentSecond, c); }
int64_t weekdayWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentWeekday, c); }
int64_t weekdayOrdinalWithCalendar(const NSDate& self, const NSCalendarPtr& c) {
    return componentForDate(self, DUDateComponentWeekdayOrdinal, c);
}
int64_t quarterWithCalendar(const NSDate& self, const NSCalendarPtr& c) { return componentForDate(self, DUDateComponentQuarter, c); }
int64_t weekOfMonthWithCalendar(const NSDate& self, const NSCalendarPtr& c) {
    return componentForDate(self, DUDateComponentWeekOfMonth, c);
}
int64_t weekOfYearWithCalendar(const NSDate& self, const NSCalendarPtr& c) {
    return componentForDate(self, DUDateComponentWeekOfYear, c);
}
int64_t yearForWeekOfYearWithCalendar(const NSDate& self, const NSCalendarPtr& c) {
    return componentForDate(self, DUDateComponentYearForWeekOfYear, c);
}
int64_t dayOfYearWithCalendar(const NSDate& self, const NSCalendarPtr& c) {
    return componentForDate(self, DUDateComponentDayOfYear, c);
}

int64_t daysInMonth(const NSDate& self) {
    return static_cast<int64_t>(
        NSCalendar::currentCalendar()->rangeOfUnit(NSCalendarUnitDay, NSCalendarUnitMonth, self).length);
}

int64_t daysInYear(const NSDate& self) { return isInLeapYear(self) ? 366 : 365; }

bool isInLeapYear(const NSDate& self) { return isLeapYear(year(self)); }

bool isLeapYear(int64_t year) { return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0); }

bool isToday(const NSDate& self) { return isSameDay(self, NSDate::date()); }

bool isTomorrow(const NSDate& self) { return isSameDay(self, dateByAddingDays(NSDate::date(), 1)); }

bool isYesterday(const NSDate& self) { return isSameDay(self, dateBySubtractingDays(NSDate::date(), 1)); }

bool isSameDay(const NSDate& self, const NSDate& date) {
    NSCalendarPtr calendar = NSCalendar::currentCalendar();
    return dayOf(*calendar, self) == dayOf(*calendar, date);
}

bool isWeekend(const NSDate& self) {
    NSCalendarPtr calendar = NSCalendar::currentCalendar();
    NSRange weekdays = calendar->maximumRangeOfUnit(NSCalendarUnitWeekday);
    NSInteger weekday = calendar->component(NSCalendarUnitWeekday, self);
    return weekday == static_cast<NSInteger>(weekdays.location) || weekday == static_cast<NSInteger>(weekdays.length);
}

std::optional<NSDate> dateWithYear(int64_t year, int64_t month, int64_t day) {
    return dateWithYear(year, month, day, 0, 0, 0);
}

std::optional<NSDate> dateWithYear(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                                   int64_t second) {
    NSDateComponents c;
    c.setYear(year);
    c.setMonth(month);
    c.setDay(day);
    c.setHour(hour);
    c.setMinute(minute);
    c.setSecond(second);
    return implicitCalendar()->dateFromComponents(c);
}

}  // namespace DUDate
