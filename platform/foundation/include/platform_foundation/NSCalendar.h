#pragma once
// A calendar (Gregorian) in a time zone and locale: components of dates, dates from components,
// calendar arithmetic, differences, start of day, ordinality and ranges of units. Safe to share
// between threads.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <platform_foundation/NSCalendarUnit.h>
#include <platform_foundation/NSDateComponents.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSRange.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>

inline const std::string NSCalendarIdentifierGregorian = "gregorian";

class NSCalendar;
using NSCalendarPtr = std::shared_ptr<NSCalendar>;

class NSCalendar : public NSObject {
public:
    struct Impl;  // the ICU calendar behind it; defined in the library only

    // Nullptr for an identifier we do not support (only Gregorian is). The calendar starts in the
    // default time zone and the current locale.
    static NSCalendarPtr calendarWithIdentifier(const std::string& identifier);
    // The user's calendar: a new Gregorian one in the default zone and current locale, unless a
    // calendar was set (tests do), which is then returned itself.
    static NSCalendarPtr currentCalendar();
    static NSCalendarPtr autoupdatingCurrentCalendar() { return currentCalendar(); }
    static void setCurrentCalendar(NSCalendarPtr calendar);  // nullptr: back to the default

    // A Gregorian calendar; prefer calendarWithIdentifier.
    NSCalendar();
    ~NSCalendar() override;

    const std::string& calendarIdentifier() const { return NSCalendarIdentifierGregorian; }
    NSTimeZonePtr timeZone() const;
    void setTimeZone(NSTimeZonePtr zone);  // nullptr: the default time zone
    NSLocalePtr locale() const;
    void setLocale(NSLocalePtr locale);  // nullptr: the current locale
    // 1 = Sunday ... 7 = Saturday; follows the locale until set.
    NSUInteger firstWeekday() const;
    void setFirstWeekday(NSUInteger weekday);
    NSUInteger minimumDaysInFirstWeek() const;
    void setMinimumDaysInFirstWeek(NSUInteger days);
    // A new calendar with the same settings.
    NSCalendarPtr copy() const;

    NSDateComponents components(NSCalendarUnit units, const NSDate& date) const;
    NSInteger component(NSCalendarUnit unit, const NSDate& date) const;
    // Whole units from one date to the other, largest unit first (negative when `to` is earlier).
    NSDateComponents components(NSCalendarUnit units, const NSDate& from, const NSDate& to,
                                NSCalendarOptions options = NSCalendarOptionsNone) const;

    // Unset fields default to the first year, month and day; the components' time zone wins
    // over the calendar's. Out-of-range fields carry over (month 13 is January of the next year).
    std::optional<NSDate> dateFromComponents(const NSDateComponents& components) const;
    // Calendar arithmetic: a day keeps the wall-clock time across a DST change, 24 hours do not;
    // a month from January 31 is the last day of February.
    std::optional<NSDate> dateByAddingComponents(const NSDateComponents& components, const NSDate& date,
                                                 NSCalendarOptions options = NSCalendarOptionsNone) const;
    std::optional<NSDate> dateByAddingUnit(NSCalendarUnit unit, NSInteger value, const NSDate& date,
                                           NSCalendarOptions options = NSCalendarOptionsNone) const;

    // The first instant of the date's day (01:00 when the zone skips midnight).
    NSDate startOfDayForDate(const NSDate& date) const;
    // The position of the smaller unit inside the larger one, from 1 (day 1 of the month);
    // NSNotFound for a pair that does not nest.
    NSUInteger ordinalityOfUnit(NSCalendarUnit smaller, NSCalendarUnit larger, const NSDate& date) const;
    // The values the smaller unit takes inside the larger one around the date ({1, 29} for the
    // days of February 2024); {NSNotFound, NSNotFound} for a pair that does not nest.
    NSRange rangeOfUnit(NSCalendarUnit smaller, NSCalendarUnit larger, const NSDate& date) const;
    // The start and length of the unit (day, week, month...) containing the date.
    bool rangeOfUnit(NSCalendarUnit unit, NSDate* startDate, NSTimeInterval* interval, const NSDate& date) const;
    // Every value a unit can take in this calendar ({1, 31} for days), and the values it takes
    // in every case ({1, 28} for days).
    NSRange maximumRangeOfUnit(NSCalendarUnit unit) const;
    NSRange minimumRangeOfUnit(NSCalendarUnit unit) const;

    std::string className() const override { return "NSCalendar"; }
    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    mutable std::mutex mutex_;
    std::unique_ptr<Impl> impl_;
};
