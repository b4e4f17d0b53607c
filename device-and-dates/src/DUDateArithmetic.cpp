#include <device_and_dates/DUDateArithmetic.h>
#include <device_and_dates/DUDateCalendar.h>

namespace {

NSDate adding(const NSDate& date, NSCalendarUnit unit, int64_t amount) {
    NSDateComponents c;
    c.setValue(amount, unit);
    return DUDate::implicitCalendar()->dateByAddingComponents(c, date).value_or(date);
}

// Whole units between the two dates, counted from the earlier one, signed by the receiver's side.
int64_t unitsFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar, NSCalendarUnit unit) {
    NSCalendarPtr cal = calendar ? calendar : DUDate::implicitCalendar();
    NSDate earliest = self.earlierDate(date);
    NSDate latest = earliest == self ? date : self;
    int64_t difference = 0;
    if (unit == NSCalendarUnitMonth) {
        NSDateComponents c = cal->components(NSCalendarUnitYear | NSCalendarUnitMonth, earliest, latest);
        difference = c.month() + 12 * c.year();
    } else {
        difference = cal->components(unit, earliest, latest).valueForComponent(unit);
    }
    return earliest == self ? -difference : difference;
}

template <class T>
T positive(T value) { return value > 0 ? value : T(0); }

}  // namespace

namespace DUDate {

NSDate dateByAddingYears(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitYear, n); }
NSDate dateByAddingMonths(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitMonth, n); }
NSDate dateByAddingWeeks(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitWeekOfYear, n); }
NSDate dateByAddingDays(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitDay, n); }
NSDate dateByAddingHours(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitHour, n); }
NSDate dateByAddingMinutes(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitMinute, n); }
NSDate dateByAddingSeconds(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitSecond, n); }
NSDate dateBySubtractingYears(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitYear, -n); }
NSDate dateBySubtractingMonths(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitMonth, -n); }
NSDate dateBySubtractingWeeks(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitWeekOfYear, -n); }
NSDate dateBySubtractingDays(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitDay, -n); }
NSDate dateBySubtractingHours(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitHour, -n); }
NSDate dateBySubtractingMinutes(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitMinute, -n); }
NSDate dateBySubtractingSeconds(const NSDate& self, int64_t n) { return adding(self, NSCalendarUnitSecond, -n); }

int64_t yearsFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar) {
    return unitsFrom(self, date, calendar, NSCalendarUnitYear);
}
int64_t monthsFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar) {
    return unitsFrom(self, date, calendar, NSCalendarUnitMonth);
}
int64_t weeksFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar) {
    return unitsFrom(self, date, calendar, NSCalendarUnitWeekOfYear);
}
int64_t daysFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar) {
    return unitsFrom(self, date, calendar, NSCalendarUnitDay);
}
double hoursFrom(const NSDate& self, const NSDate& date) { return self.timeIntervalSinceDate(date) / 3600; }
double minutesFrom(const NSDate& self, const NSDate& date) { return self.timeIntervalSinceDate(date) / 60; }
double secondsFrom(const NSDate& self, const NSDate& date) { return self.timeIntervalSinceDate(date); }

int64_t yearsEarlierThan(const NSDate& self, const NSDate& date) { return positive(-yearsFrom(self, date)); }
int64_t monthsEarlierThan(const NSDate& self, const NSDate& date) { return positive(-monthsFrom(self, date)); }
int64_t weeksEarlierThan(const NSDate& self, const NSDate& date) { return positive(-weeksFrom(self, date)); }
int64_t daysEarlierThan(const NSDate& self, const NSDate& date) { return positive(-daysFrom(self, date)); }
double hoursEarlierThan(const NSDate& self, const NSDate& date) { return positive(-hoursFrom(self, date)); }
double minutesEarlierThan(const NSDate& self, const NSDate& date) { return positive(-minutesFrom(self, date)); }
double secondsEarlierThan(const NSDate& self, const NSDate& date) { return positive(-secondsFrom(self, date)); }

int64_t yearsLaterThan(const NSDate& self, const NSDate& date) { return positive(yearsFrom(self, date)); }
int64_t monthsLaterThan(const NSDate& self, const NSDate& date) { return positive(monthsFrom(self, date)); }
int64_t weeksLaterThan(const NSDate& self, const NSDate& date) { return positive(weeksFrom(self, date)); }
int64_t daysLaterThan(const NSDate& self, const NSDate& date) { return positive(daysFrom(self, date)); }
double hoursLaterThan(const NSDate& self, const NSDate& date) { return positive(hoursFrom(self, date)); }
double minutesLaterThan(const NSDate& self, const NSDate& date) { return positive(minutesFrom(self, date)); }
double secondsLaterThan(const NSDate& self, const NSDate& date) { return positive(secondsFrom(self, date)); }

int64_t yearsAgo(const NSDate& self) { return yearsEarlierThan(self, NSDate::date()); }
int64_t monthsAgo(const NSDate& self) { return monthsEarlierThan(self, NSDate::date()); }
int64_t weeksAgo(const NSDate& self) { return weeksEarlierThan(self, NSDate::date()); }
int64_t daysAgo(const NSDate& self) { return daysEarlierThan(self, NSDate::date()); }
double hoursAgo(const NSDate& self) { return hoursEarlierThan(self, NSDate::date()); }
double minutesAgo(const NSDate& self) { return minutesEarlierThan(self, NSDate::date()); }
double secondsAgo(const NSDate& self) { return secondsEarlierThan(self, NSDate::date()); }

int64_t yearsUntil(const NSDate& self) { return yearsLaterThan(self, NSDate::date()); }
int64_t monthsUntil(const NSDate& self) { return monthsLaterThan(self, NSDate::date()); }
int64_t weeksUntil(const NSDate& self) { return weeksLaterThan(self, NSDate::date()); }
int64_t daysUntil(const NSDate& self) { return daysLaterThan(self, NSDate::date()); }
double hoursUntil(const NSDate& self) { return hoursLaterThan(self, NSDate::date()); }
double minutesUntil(const NSDate& self) { return minutesLaterThan(self, NSDate::date()); }
double secondsUntil(const NSDate& self) { return secondsLaterThan(self, NSDate::date()); }

bool isEarlierThan(const NSDate& self, const NSDate& date) { return self.timeIntervalSince1970() < date.timeIntervalSince1970(); }
bool isLaterThan(const NSDate& self, const NSDate& date) { return self.timeIntervalSince1970() > date.timeIntervalSince1970(); }
bool isEarlierThanOrEqualTo(const NSDate& self, const NSDate& date) {
    return self.timeIntervalSince1970() <= date.timeIntervalSince1970();
}
bool isLaterThanOrEqualTo(const NSDate& self, const NSDate& date) {
    return self.timeIntervalSince1970() >= date.timeIntervalSince1970();
}

}  // namespace DUDate
