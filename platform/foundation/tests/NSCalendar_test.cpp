#include <platform_foundation/NSCalendar.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "DateTestSupport.h"

namespace {

constexpr NSCalendarUnit kAllFields = NSCalendarUnitEra | NSCalendarUnitYear | NSCalendarUnitMonth |
                                      NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute |
                                      NSCalendarUnitSecond | NSCalendarUnitWeekday | NSCalendarUnitWeekdayOrdinal |
                                      NSCalendarUnitQuarter | NSCalendarUnitWeekOfMonth | NSCalendarUnitWeekOfYear |
                                      NSCalendarUnitYearForWeekOfYear;

class NSCalendarTest : public PinnedDefaultsTest {};

// ---------------------------------------------------------------------------------------------
// Components of a date

struct ComponentsCase {
    const char* what;
    const char* zone;
    const char* locale;
    NSDate date;
    NSInteger year, month, day, hour, minute, weekday, weekdayOrdinal, quarter, weekOfMonth, weekOfYear,
        yearForWeekOfYear;
};

TEST_F(NSCalendarTest, ComponentsOfFixedDates) {
    const ComponentsCase cases[] = {
        {"New York, first day of DST", "America/New_York", "en_US", utc(2021, 3, 14, 8), 2021, 3, 14, 4, 0, 1, 2, 1,
         3, 12, 2021},
        {"last days of a year belong to week 1 of the next", "UTC", "en_US", utc(2021, 12, 31, 12), 2021, 12, 31, 12,
         0, 6, 5, 4, 5, 1, 2022},
        {"Monday-first weeks of four days: Jan 1 is in week 53", "UTC", "ru_RU", utc(2021, 1, 1, 12), 2021, 1, 1, 12,
         0, 6, 1, 1, 0, 53, 2020},
        {"Moscow is already on the next day", "Europe/Moscow", "en_US", utc(2021, 3, 14, 21, 30), 2021, 3, 15, 0, 30,
         2, 3, 1, 3, 12, 2021},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto cal = gregorianIn(c.zone, c.locale);
        NSDateComponents got = cal->components(kAllFields, c.date);
        EXPECT_EQ(got.era(), 1);
        EXPECT_EQ(got.year(), c.year);
        EXPECT_EQ(got.month(), c.month);
        EXPECT_EQ(got.day(), c.day);
        EXPECT_EQ(got.hour(), c.hour);
        EXPECT_EQ(got.minute(), c.minute);
        EXPECT_EQ(got.second(), 0);
        EXPECT_EQ(got.weekday(), c.weekday);
        EXPECT_EQ(got.weekdayOrdinal(), c.weekdayOrdinal);
        EXPECT_EQ(got.quarter(), c.quarter);
        EXPECT_EQ(got.weekOfMonth(), c.weekOfMonth);
        EXPECT_EQ(got.weekOfYear(), c.weekOfYear);
        EXPECT_EQ(got.yearForWeekOfYear(), c.yearForWeekOfYear);
        EXPECT_EQ(got.nanosecond(), NSDateComponentUndefined);
    }
}

TEST_F(NSCalendarTest, OnlyRequestedComponentsAreSet) {
    auto cal = gregorianIn("UTC");
    NSDateComponents got = cal->components(NSCalendarUnitYear | NSCalendarUnitSecond, utc(2021, 5, 6, 7, 8, 9));
    EXPECT_EQ(got.year(), 2021);
    EXPECT_EQ(got.second(), 9);
    EXPECT_EQ(got.month(), NSDateComponentUndefined);
    EXPECT_EQ(got.day(), NSDateComponentUndefined);
    EXPECT_EQ(got.valueForComponent(NSCalendarUnitWeekday), NSDateComponentUndefined);
    EXPECT_EQ(got.calendar(), nullptr);
    EXPECT_EQ(got.timeZone(), nullptr);
    EXPECT_EQ(NSDateComponentUndefined, INT64_MAX);
}

TEST_F(NSCalendarTest, NanosecondCalendarAndTimeZoneUnits) {
    auto cal = gregorianIn("Europe/Moscow");
    NSDate date = utc(2021, 5, 6, 7, 8, 9).dateByAddingTimeInterval(0.25);
    NSDateComponents got = cal->components(
        NSCalendarUnitSecond | NSCalendarUnitNanosecond | NSCalendarUnitCalendar | NSCalendarUnitTimeZone, date);
    EXPECT_EQ(got.second(), 9);
    EXPECT_EQ(got.nanosecond(), 250000000);
    EXPECT_EQ(got.calendar(), cal);
    ASSERT_TRUE(got.timeZone());
    EXPECT_EQ(got.timeZone()->name(), "Europe/Moscow");
    EXPECT_EQ(cal->component(NSCalendarUnitHour, date), 10);
    EXPECT_EQ(cal->component(NSCalendarUnitHour | NSCalendarUnitDay, date), NSDateComponentUndefined);
}

TEST_F(NSCalendarTest, OldUnitNamesAreTheSameUnits) {
    auto cal = gregorianIn("UTC");
    NSDate date = utc(2021, 3, 17, 12);
    EXPECT_EQ(cal->components(NSYearCalendarUnit | NSMonthCalendarUnit | NSDayCalendarUnit | NSWeekdayCalendarUnit,
                              date),
              cal->components(NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitWeekday,
                              date));
    EXPECT_EQ(cal->component(NSWeekCalendarUnit, date), cal->component(NSCalendarUnitWeekOfYear, date));
}

// ---------------------------------------------------------------------------------------------
// Adding

struct AddCase {
    const char* what;
    NSDate from;
    NSCalendarUnit unit;
    NSInteger value;
    NSDate expected;
};

TEST_F(NSCalendarTest, AddingOneUnitInNewYork) {
    // New York: EST is UTC-5, EDT (from 2021-03-14 02:00 to 2021-11-07 02:00) UTC-4.
    const AddCase cases[] = {
        {"Jan 31 + 1 month pins to Feb 28", utc(2021, 1, 31, 17), NSCalendarUnitMonth, 1, utc(2021, 2, 28, 17)},
        {"Jan 31 + 1 month in a leap year", utc(2024, 1, 31, 17), NSCalendarUnitMonth, 1, utc(2024, 2, 29, 17)},
        {"Mar 31 - 1 month", utc(2021, 3, 31, 16), NSCalendarUnitMonth, -1, utc(2021, 2, 28, 17)},
        {"Feb 29 + 1 year pins to Feb 28", utc(2024, 2, 29, 17), NSCalendarUnitYear, 1, utc(2025, 2, 28, 17)},
        {"Feb 29 + 4 years", utc(2024, 2, 29, 17), NSCalendarUnitYear, 4, utc(2028, 2, 29, 17)},
        {"Dec 31 + 1 day", utc(2021, 12, 31, 17), NSCalendarUnitDay, 1, utc(2022, 1, 1, 17)},
        {"a day across spring-forward keeps noon", utc(2021, 3, 13, 17), NSCalendarUnitDay, 1, utc(2021, 3, 14, 16)},
        {"24 hours across spring-forward", utc(2021, 3, 13, 17), NSCalendarUnitHour, 24, utc(2021, 3, 14, 17)},
        {"a day across fall-back keeps noon", utc(2021, 11, 6, 16), NSCalendarUnitDay, 1, utc(2021, 11, 7, 17)},
        {"24 hours across fall-back", utc(2021, 11, 6, 16), NSCalendarUnitHour, 24, utc(2021, 11, 7, 16)},
        {"a day back across spring-forward", utc(2021, 3, 14, 16), NSCalendarUnitDay, -1, utc(2021, 3, 13, 17)},
        {"a week of the year is seven calendar days", utc(2021, 3, 10, 17), NSCalendarUnitWeekOfYear, 1,
         utc(2021, 3, 17, 16)},
        {"a quarter is three months", utc(2021, 1, 31, 17), NSCalendarUnitQuarter, 1, utc(2021, 4, 30, 16)},
        {"minus one second crosses the year", utc(2022, 1, 1, 5), NSCalendarUnitSecond, -1,
         utc(2022, 1, 1, 4, 59, 59)},
        {"90 minutes", utc(2021, 6, 1, 12), NSCalendarUnitMinute, 90, utc(2021, 6, 1, 13, 30)},
        {"zero changes nothing", utc(2021, 6, 1, 12), NSCalendarUnitMonth, 0, utc(2021, 6, 1, 12)},
    };
    auto cal = gregorianIn("America/New_York");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto got = cal->dateByAddingUnit(c.unit, c.value, c.from);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->timeIntervalSince1970(), c.expected.timeIntervalSince1970());
    }
}

TEST_F(NSCalendarTest, AddingSeveralComponentsGoesFromLargestToSmallest) {
    auto cal = gregorianIn("America/New_York");
    NSDateComponents monthAndDay;
    monthAndDay.setMonth(1);
    monthAndDay.setDay(1);
    // Jan 31 -> Feb 28 -> Mar 1, not Jan 31 -> Feb 1 -> Mar 1 by luck.
    EXPECT_EQ(cal->dateByAddingComponents(monthAndDay, utc(2021, 1, 31, 17)), utc(2021, 3, 1, 17));

    NSDateComponents mixed;
    mixed.setYear(1);
    mixed.setHour(-2);
    mixed.setNanosecond(500000000);
    NSDate from = utc(2020, 2, 29, 17).dateByAddingTimeInterval(0.25);
    EXPECT_EQ(cal->dateByAddingComponents(mixed, from), utc(2021, 2, 28, 15).dateByAddingTimeInterval(0.75));
}

TEST_F(NSCalendarTest, WrapOptionRollsWithoutCarrying) {
    auto cal = gregorianIn("America/New_York");
    NSDate lateJan31 = utc(2021, 2, 1, 4);  // Jan 31 23:00 EST
    EXPECT_EQ(cal->dateByAddingUnit(NSCalendarUnitHour, 2, lateJan31, NSCalendarWrapComponents),
              utc(2021, 1, 31, 6));  // Jan 31 01:00 EST
    EXPECT_EQ(cal->dateByAddingUnit(NSCalendarUnitHour, 2, lateJan31), utc(2021, 2, 1, 6));
    EXPECT_EQ(cal->dateByAddingUnit(NSCalendarUnitMonth, 11, utc(2021, 3, 1, 17), NSCalendarWrapComponents),
              utc(2021, 2, 1, 17));
}

TEST_F(NSCalendarTest, AddingSomethingThatIsNotOneUnitGivesNothing) {
    auto cal = gregorianIn("UTC");
    EXPECT_FALSE(cal->dateByAddingUnit(NSCalendarUnitYear | NSCalendarUnitMonth, 1, utc(2021, 1, 1)));
    EXPECT_FALSE(cal->dateByAddingUnit(NSCalendarUnitTimeZone, 1, utc(2021, 1, 1)));
    NSDateComponents huge;
    huge.setQuarter(INT32_MAX);
    EXPECT_FALSE(cal->dateByAddingComponents(huge, utc(2021, 1, 1)));
}

// ---------------------------------------------------------------------------------------------
// Dates from components

NSDateComponents ymd(NSInteger y, NSInteger m, NSInteger d, NSInteger hour = NSDateComponentUndefined,
                     NSInteger minute = NSDateComponentUndefined) {
    NSDateComponents c;
    c.setYear(y);
    c.setMonth(m);
    c.setDay(d);
    c.setHour(hour);
    c.setMinute(minute);
    return c;
}

TEST_F(NSCalendarTest, DateFromComponentsInNewYork) {
    auto cal = gregorianIn("America/New_York");
    struct Case {
        const char* what;
        NSDateComponents components;
        NSDate expected;
    };
    NSDateComponents moscowDay = ymd(2021, 3, 14);
    moscowDay.setTimeZone(zone("Europe/Moscow"));
    NSDateComponents dayAndWeek = ymd(2021, 3, 14);
    dayAndWeek.setWeekOfYear(40);
    NSDateComponents thanksgiving;
    thanksgiving.setYear(2021);
    thanksgiving.setMonth(11);
    thanksgiving.setWeekday(5);
    thanksgiving.setWeekdayOrdinal(4);
    NSDateComponents withNanos = ymd(2021, 6, 1, 12);
    withNanos.setNanosecond(500000000);
    const Case cases[] = {
        {"midnight of a day", ymd(2021, 3, 14), utc(2021, 3, 14, 5)},
        {"a skipped wall time moves past the gap", ymd(2021, 3, 14, 2, 30), utc(2021, 3, 14, 7, 30)},
        {"a repeated wall time takes the first one", ymd(2021, 11, 7, 1, 30), utc(2021, 11, 7, 5, 30)},
        {"month 13 is January of the next year", ymd(2021, 13, 1), utc(2022, 1, 1, 5)},
        {"day 0 is the last day of the month before", ymd(2024, 3, 0), utc(2024, 2, 29, 5)},
        {"the components' zone wins over the calendar's", moscowDay, utc(2021, 3, 13, 21)},
        {"a day of month wins over a week of year", dayAndWeek, utc(2021, 3, 14, 5)},
        {"fourth Thursday of November", thanksgiving, utc(2021, 11, 25, 5)},
        {"nanoseconds are kept", withNanos, utc(2021, 6, 1, 16).dateByAddingTimeInterval(0.5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto got = cal->dateFromComponents(c.components);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->timeIntervalSince1970(), c.expected.timeIntervalSince1970());
    }
}

TEST_F(NSCalendarTest, WeekBasedDateFromComponents) {
    auto cal = gregorianIn("UTC");
    cal->setFirstWeekday(2);
    cal->setMinimumDaysInFirstWeek(4);
    NSDateComponents c;
    c.setYearForWeekOfYear(2020);
    c.setWeekOfYear(53);
    c.setWeekday(6);
    EXPECT_EQ(cal->dateFromComponents(c), utc(2021, 1, 1));
}

TEST_F(NSCalendarTest, ComponentsRebuildTheSameDate) {
    auto cal = gregorianIn("America/New_York");
    // (The second pass of a repeated hour cannot come back: its components name the first pass.)
    for (NSDate date : {utc(2021, 3, 14, 6, 59, 59), utc(2021, 3, 14, 7), utc(2021, 11, 7, 5, 30),
                        utc(2021, 11, 7, 7), utc(2024, 2, 29, 23, 59, 59), utc(1999, 12, 31, 12)}) {
        SCOPED_TRACE(date.description());
        NSDateComponents c = cal->components(kAllFields | NSCalendarUnitTimeZone, date);
        EXPECT_EQ(cal->dateFromComponents(c), date);
        c.setCalendar(cal);
        EXPECT_EQ(c.date(), date);
    }
}

TEST_F(NSCalendarTest, ComponentsWithoutCalendarHaveNoDate) {
    EXPECT_FALSE(ymd(2021, 1, 1).date());
}

// ---------------------------------------------------------------------------------------------
// Differences

struct DifferenceCase {
    const char* what;
    const char* zone;
    NSDate from, to;
    NSCalendarUnit units;
    NSInteger year, month, week, day, hour, minute, second;
};

TEST_F(NSCalendarTest, DifferencesInWholeUnits) {
    constexpr NSInteger U = NSDateComponentUndefined;
    const DifferenceCase cases[] = {
        {"a month and five days", "UTC", utc(2021, 1, 10), utc(2021, 2, 15), NSCalendarUnitMonth | NSCalendarUnitDay,
         U, 1, U, 5, U, U, U},
        {"backwards is negative", "UTC", utc(2021, 2, 15), utc(2021, 1, 10), NSCalendarUnitMonth | NSCalendarUnitDay,
         U, -1, U, -5, U, U, U},
        {"less than a month", "UTC", utc(2021, 1, 10), utc(2021, 2, 5), NSCalendarUnitMonth, U, 0, U, U, U, U, U},
        {"fifteen months", "UTC", utc(2021, 1, 10), utc(2022, 4, 10), NSCalendarUnitMonth, U, 15, U, U, U, U, U},
        {"a year and three months", "UTC", utc(2021, 1, 10), utc(2022, 4, 10), NSCalendarUnitYear | NSCalendarUnitMonth,
         1, 3, U, U, U, U, U},
        {"a year less a second", "UTC", utc(2020, 6, 1), utc(2021, 5, 31, 23, 59, 59), NSCalendarUnitYear, 0, U, U, U,
         U, U, U},
        {"Jan 31 to Feb 28 is the month that adding gives", "UTC", utc(2021, 1, 31), utc(2021, 2, 28),
         NSCalendarUnitMonth | NSCalendarUnitDay, U, 1, U, 0, U, U, U},
        {"two weeks and a day", "UTC", utc(2021, 3, 1), utc(2021, 3, 16), NSCalendarUnitWeekOfYear | NSCalendarUnitDay,
         U, U, 2, 1, U, U, U},
        {"under a day across midnight", "UTC", utc(2021, 1, 1, 12), utc(2021, 1, 2, 11, 59),
         NSCalendarUnitHour | NSCalendarUnitMinute | NSCalendarUnitSecond, U, U, U, U, 23, 59, 0},
        {"noon to noon over spring-forward is one day", "America/New_York", utc(2021, 3, 13, 17), utc(2021, 3, 14, 16),
         NSCalendarUnitDay | NSCalendarUnitHour, U, U, U, 1, 0, U, U},
        {"which is 23 hours", "America/New_York", utc(2021, 3, 13, 17), utc(2021, 3, 14, 16), NSCalendarUnitHour, U,
         U, U, U, 23, U, U},
        {"noon to noon over fall-back is 25 hours", "America/New_York", utc(2021, 11, 6, 16), utc(2021, 11, 7, 17),
         NSCalendarUnitHour, U, U, U, U, 25, U, U},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSDateComponents got = gregorianIn(c.zone)->components(c.units, c.from, c.to);
        EXPECT_EQ(got.year(), c.year);
        EXPECT_EQ(got.month(), c.month);
        EXPECT_EQ(got.weekOfYear(), c.week);
        EXPECT_EQ(got.day(), c.day);
        EXPECT_EQ(got.hour(), c.hour);
        EXPECT_EQ(got.minute(), c.minute);
        EXPECT_EQ(got.second(), c.second);
    }
}

TEST_F(NSCalendarTest, DifferenceKeepsFractionsInNanoseconds) {
    auto cal = gregorianIn("UTC");
    NSDate base = utc(2021, 1, 1);
    NSDateComponents got = cal->components(NSCalendarUnitSecond | NSCalendarUnitNanosecond,
                                           base.dateByAddingTimeInterval(0.25), base.dateByAddingTimeInterval(1.75));
    EXPECT_EQ(got.second(), 1);
    EXPECT_EQ(got.nanosecond(), 500000000);
}

TEST_F(NSCalendarTest, DifferenceThenAddingGetsBack) {
    auto cal = gregorianIn("America/New_York");
    NSCalendarUnit units = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour |
                           NSCalendarUnitMinute | NSCalendarUnitSecond;
    NSDate from = utc(2019, 10, 31, 15, 10, 5);
    for (NSDate to : {utc(2021, 3, 14, 8), utc(2021, 11, 7, 6, 30), utc(2017, 2, 28, 23, 59, 59)}) {
        NSDateComponents diff = cal->components(units, from, to);
        EXPECT_EQ(cal->dateByAddingComponents(diff, from), to) << to.description();
    }
}

// ---------------------------------------------------------------------------------------------
// Start of day, ranges and ordinality

TEST_F(NSCalendarTest, StartOfDay) {
    struct Case {
        const char* what;
        const char* zone;
        NSDate date, expected;
    } cases[] = {
        {"after spring-forward", "America/New_York", utc(2021, 3, 14, 19), utc(2021, 3, 14, 5)},
        {"after fall-back", "America/New_York", utc(2021, 11, 7, 20), utc(2021, 11, 7, 4)},
        {"a second before midnight", "America/New_York", utc(2021, 1, 1, 4, 59, 59), utc(2020, 12, 31, 5)},
        {"midnight itself", "America/New_York", utc(2021, 1, 1, 5), utc(2021, 1, 1, 5)},
        {"a zone that skips midnight starts the day at 01:00", "America/Sao_Paulo", utc(2018, 11, 4, 12),
         utc(2018, 11, 4, 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(gregorianIn(c.zone)->startOfDayForDate(c.date), c.expected);
    }
}

TEST_F(NSCalendarTest, RangeOfUnitGivesStartAndLength) {
    struct Case {
        const char* what;
        const char* zone;
        NSUInteger firstWeekday;
        NSCalendarUnit unit;
        NSDate date, start;
        NSTimeInterval length;
    } cases[] = {
        {"spring-forward day is 23 hours", "America/New_York", 1, NSCalendarUnitDay, utc(2021, 3, 14, 19),
         utc(2021, 3, 14, 5), 23 * 3600},
        {"fall-back day is 25 hours", "America/New_York", 1, NSCalendarUnitDay, utc(2021, 11, 7, 20),
         utc(2021, 11, 7, 4), 25 * 3600},
        {"day without midnight", "America/Sao_Paulo", 1, NSCalendarUnitDay, utc(2018, 11, 4, 12), utc(2018, 11, 4, 3),
         23 * 3600},
        {"week from Sunday", "UTC", 1, NSCalendarUnitWeekOfYear, utc(2021, 3, 17, 12), utc(2021, 3, 14), 7 * 86400},
        {"week from Monday", "UTC", 2, NSCalendarUnitWeekOfMonth, utc(2021, 3, 17, 12), utc(2021, 3, 15), 7 * 86400},
        {"leap February", "UTC", 1, NSCalendarUnitMonth, utc(2024, 2, 10, 12), utc(2024, 2, 1), 29 * 86400},
        {"third quarter", "UTC", 1, NSCalendarUnitQuarter, utc(2021, 8, 15), utc(2021, 7, 1), 92 * 86400},
        {"leap year", "UTC", 1, NSCalendarUnitYear, utc(2024, 7, 1), utc(2024, 1, 1), 366 * 86400},
        {"repeated hour, first pass", "America/New_York", 1, NSCalendarUnitHour, utc(2021, 11, 7, 5, 30),
         utc(2021, 11, 7, 5), 3600},
        {"repeated hour, second pass", "America/New_York", 1, NSCalendarUnitHour, utc(2021, 11, 7, 6, 30),
         utc(2021, 11, 7, 6), 3600},
        {"minute", "UTC", 1, NSCalendarUnitMinute, utc(2021, 1, 1, 10, 20, 30), utc(2021, 1, 1, 10, 20), 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto cal = gregorianIn(c.zone);
        cal->setFirstWeekday(c.firstWeekday);
        NSDate start;
        NSTimeInterval length = 0;
        ASSERT_TRUE(cal->rangeOfUnit(c.unit, &start, &length, c.date));
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(length, c.length);
    }
}

TEST_F(NSCalendarTest, RangeOfSecondDropsTheFraction) {
    NSDate start;
    NSTimeInterval length = 0;
    NSDate date = utc(2021, 1, 1, 10, 20, 30).dateByAddingTimeInterval(0.5);
    ASSERT_TRUE(gregorianIn("UTC")->rangeOfUnit(NSCalendarUnitSecond, &start, &length, date));
    EXPECT_EQ(start, utc(2021, 1, 1, 10, 20, 30));
    EXPECT_EQ(length, 1);
    EXPECT_FALSE(gregorianIn("UTC")->rangeOfUnit(NSCalendarUnitEra, &start, &length, date));
}

TEST_F(NSCalendarTest, Ordinality) {
    const NSUInteger notFound = static_cast<NSUInteger>(NSNotFound);
    struct Case {
        NSCalendarUnit smaller, larger;
        NSUInteger firstWeekday;
        NSDate date;
        NSUInteger expected;
    } cases[] = {
        {NSCalendarUnitDay, NSCalendarUnitMonth, 1, utc(2024, 2, 29, 12), 29},
        {NSCalendarUnitDay, NSCalendarUnitYear, 1, utc(2021, 1, 1), 1},
        {NSCalendarUnitDay, NSCalendarUnitYear, 1, utc(2024, 12, 31, 23), 366},
        {NSCalendarUnitDay, NSCalendarUnitWeekOfYear, 1, utc(2021, 3, 17), 4},  // Wednesday, weeks from Sunday
        {NSCalendarUnitDay, NSCalendarUnitWeekOfYear, 2, utc(2021, 3, 17), 3},  // weeks from Monday
        {NSCalendarUnitWeekday, NSCalendarUnitMonth, 1, utc(2021, 3, 17), 3},  // third Wednesday
        {NSCalendarUnitMonth, NSCalendarUnitYear, 1, utc(2021, 8, 15), 8},
        {NSCalendarUnitMonth, NSCalendarUnitQuarter, 1, utc(2021, 8, 15), 2},
        {NSCalendarUnitQuarter, NSCalendarUnitYear, 1, utc(2021, 8, 15), 3},
        {NSCalendarUnitWeekOfYear, NSCalendarUnitYear, 1, utc(2021, 3, 14), 12},
        {NSCalendarUnitWeekOfMonth, NSCalendarUnitMonth, 1, utc(2021, 3, 14), 3},
        {NSCalendarUnitHour, NSCalendarUnitDay, 1, utc(2021, 3, 14, 0, 59), 1},
        {NSCalendarUnitHour, NSCalendarUnitDay, 1, utc(2021, 3, 14, 23), 24},
        {NSCalendarUnitMinute, NSCalendarUnitHour, 1, utc(2021, 3, 14, 23), 1},
        {NSCalendarUnitYear, NSCalendarUnitDay, 1, utc(2021, 3, 14), notFound},
    };
    for (const auto& c : cases) {
        auto cal = gregorianIn("UTC");
        cal->setFirstWeekday(c.firstWeekday);
        EXPECT_EQ(cal->ordinalityOfUnit(c.smaller, c.larger, c.date), c.expected)
            << c.smaller << " in " << c.larger << " at " << c.date.description();
    }
}

TEST_F(NSCalendarTest, RangeOfSmallerUnitInLarger) {
    const NSRange none{static_cast<NSUInteger>(NSNotFound), static_cast<NSUInteger>(NSNotFound)};
    struct Case {
        NSCalendarUnit smaller, larger;
        NSDate date;
        NSRange expected;
    } cases[] = {
        {NSCalendarUnitDay, NSCalendarUnitMonth, utc(2024, 2, 10), NSMakeRange(1, 29)},
        {NSCalendarUnitDay, NSCalendarUnitMonth, utc(2023, 2, 10), NSMakeRange(1, 28)},
        {NSCalendarUnitDay, NSCalendarUnitMonth, utc(2021, 4, 10), NSMakeRange(1, 30)},
        {NSCalendarUnitDay, NSCalendarUnitYear, utc(2024, 5, 1), NSMakeRange(1, 366)},
        {NSCalendarUnitDay, NSCalendarUnitYear, utc(2023, 5, 1), NSMakeRange(1, 365)},
        {NSCalendarUnitMonth, NSCalendarUnitYear, utc(2023, 5, 1), NSMakeRange(1, 12)},
        {NSCalendarUnitHour, NSCalendarUnitDay, utc(2021, 3, 14, 12), NSMakeRange(0, 24)},
        {NSCalendarUnitWeekOfMonth, NSCalendarUnitMonth, utc(2021, 3, 14), NSMakeRange(1, 5)},
        {NSCalendarUnitWeekday, NSCalendarUnitWeekOfYear, utc(2021, 3, 14), NSMakeRange(1, 7)},
        {NSCalendarUnitDay, NSCalendarUnitWeekOfMonth, utc(2021, 3, 31), NSMakeRange(28, 4)},  // Sun 28 .. Wed 31
        {NSCalendarUnitDay, NSCalendarUnitHour, utc(2021, 3, 14), none},
    };
    auto cal = gregorianIn("America/New_York");
    for (const auto& c : cases) {
        NSRange got = cal->rangeOfUnit(c.smaller, c.larger, c.date.dateByAddingTimeInterval(12 * 3600));
        EXPECT_EQ(got, c.expected) << c.smaller << " in " << c.larger << " at " << c.date.description() << ": {"
                                   << got.location << ", " << got.length << "}";
    }
}

TEST_F(NSCalendarTest, MaximumAndMinimumRanges) {
    auto cal = gregorianIn("UTC");
    EXPECT_EQ(cal->maximumRangeOfUnit(NSCalendarUnitWeekday), NSMakeRange(1, 7));
    EXPECT_EQ(cal->maximumRangeOfUnit(NSCalendarUnitDay), NSMakeRange(1, 31));
    EXPECT_EQ(cal->minimumRangeOfUnit(NSCalendarUnitDay), NSMakeRange(1, 28));
    EXPECT_EQ(cal->maximumRangeOfUnit(NSCalendarUnitMonth), NSMakeRange(1, 12));
    EXPECT_EQ(cal->maximumRangeOfUnit(NSCalendarUnitHour), NSMakeRange(0, 24));
    EXPECT_EQ(cal->maximumRangeOfUnit(NSCalendarUnitQuarter), NSMakeRange(1, 4));
    EXPECT_EQ(cal->maximumRangeOfUnit(NSCalendarUnitTimeZone).location, static_cast<NSUInteger>(NSNotFound));
}

// ---------------------------------------------------------------------------------------------
// Settings and shared calendars

TEST_F(NSCalendarTest, NewCalendarsFollowTheDefaults) {
    auto cal = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal->calendarIdentifier(), "gregorian");
    EXPECT_EQ(cal->timeZone()->name(), "Asia/Tokyo");
    EXPECT_EQ(cal->locale()->localeIdentifier(), "en_US_POSIX");
    EXPECT_EQ(NSCalendar::calendarWithIdentifier("hebrew"), nullptr);

    cal->setTimeZone(zone("UTC"));
    cal->setTimeZone(nullptr);
    EXPECT_EQ(cal->timeZone()->name(), "Asia/Tokyo");
}

TEST_F(NSCalendarTest, CurrentCalendarCanBeSet) {
    auto fresh = NSCalendar::currentCalendar();
    EXPECT_EQ(fresh->timeZone()->name(), "Asia/Tokyo");
    EXPECT_NE(NSCalendar::currentCalendar(), fresh);  // a new one each time by default

    auto fixed = gregorianIn("Europe/Moscow");
    NSCalendar::setCurrentCalendar(fixed);
    EXPECT_EQ(NSCalendar::currentCalendar(), fixed);
    NSCalendar::setCurrentCalendar(nullptr);
    EXPECT_NE(NSCalendar::currentCalendar(), fixed);
}

TEST_F(NSCalendarTest, FirstWeekdayFollowsLocaleUntilSet) {
    auto cal = gregorianIn("UTC", "en_US");
    EXPECT_EQ(cal->firstWeekday(), 1u);
    EXPECT_EQ(cal->minimumDaysInFirstWeek(), 1u);
    cal->setLocale(NSLocale::localeWithLocaleIdentifier("ru_RU"));
    EXPECT_EQ(cal->firstWeekday(), 2u);
    cal->setFirstWeekday(7);
    cal->setFirstWeekday(0);  // ignored
    cal->setFirstWeekday(8);  // ignored
    EXPECT_EQ(cal->firstWeekday(), 7u);
    cal->setLocale(NSLocale::localeWithLocaleIdentifier("en_US"));
    EXPECT_EQ(cal->firstWeekday(), 7u);
}

TEST_F(NSCalendarTest, CopyIsEqualAndIndependent) {
    auto cal = gregorianIn("Europe/Moscow", "ru_RU");
    cal->setFirstWeekday(4);
    auto copy = cal->copy();
    EXPECT_TRUE(copy->isEqual(*cal));
    EXPECT_EQ(copy->firstWeekday(), 4u);
    copy->setTimeZone(zone("UTC"));
    EXPECT_FALSE(copy->isEqual(*cal));
    EXPECT_EQ(cal->timeZone()->name(), "Europe/Moscow");
}

TEST_F(NSCalendarTest, OneCalendarServesManyThreads) {
    auto cal = gregorianIn("America/New_York");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                int day = (i + t * 7) % 365;
                NSDate date = utc(2021, 1, 1, 17).dateByAddingTimeInterval(day * 86400.0);
                if (cal->ordinalityOfUnit(NSCalendarUnitDay, NSCalendarUnitYear, date) != NSUInteger(day + 1)) ++wrong;
                auto next = cal->dateByAddingUnit(NSCalendarUnitDay, 1, date);
                if (!next || cal->component(NSCalendarUnitHour, *next) != cal->component(NSCalendarUnitHour, date))
                    ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
