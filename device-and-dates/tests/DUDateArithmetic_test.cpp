#include <device_and_dates/DUDateArithmetic.h>
#include <device_and_dates/DUDateCalendar.h>

#include <gtest/gtest.h>

#include <functional>

#include "DUDateTestEnvironment.h"

namespace {

class DUDateArithmeticTest : public ::testing::Test {
protected:
    DUDateTestEnvironment env;  // Europe/Berlin: DST from 31 March 2024 02:00 to 27 October 2024 03:00
};

TEST_F(DUDateArithmeticTest, AddingAndSubtractingUnits) {
    using Op = std::function<NSDate(const NSDate&)>;
    struct Case {
        const char* name;
        NSDate from;
        Op op;
        NSDate expected;
    };
    const Case cases[] = {
        {"month from 31 Jan, leap year", env.at(2024, 1, 31, 9), [](auto& d) { return DUDate::dateByAddingMonths(d, 1); },
         env.at(2024, 2, 29, 9)},
        {"month from 31 Jan", env.at(2023, 1, 31, 9), [](auto& d) { return DUDate::dateByAddingMonths(d, 1); },
         env.at(2023, 2, 28, 9)},
        {"month back from 31 Mar", env.at(2024, 3, 31, 9), [](auto& d) { return DUDate::dateBySubtractingMonths(d, 1); },
         env.at(2024, 2, 29, 9)},
        {"year from 29 Feb", env.at(2024, 2, 29), [](auto& d) { return DUDate::dateByAddingYears(d, 1); },
         env.at(2025, 2, 28)},
        {"four years from 29 Feb", env.at(2024, 2, 29), [](auto& d) { return DUDate::dateByAddingYears(d, 4); },
         env.at(2028, 2, 29)},
        {"years back", env.at(2024, 5, 5), [](auto& d) { return DUDate::dateBySubtractingYears(d, 24); },
         env.at(2000, 5, 5)},
        {"day over the year end", env.at(2023, 12, 31, 18), [](auto& d) { return DUDate::dateByAddingDays(d, 1); },
         env.at(2024, 1, 1, 18)},
        {"day over 28 Feb, leap", env.at(2024, 2, 28, 7), [](auto& d) { return DUDate::dateByAddingDays(d, 2); },
         env.at(2024, 3, 1, 7)},
        {"days back over a month end", env.at(2024, 3, 1, 7), [](auto& d) { return DUDate::dateBySubtractingDays(d, 1); },
         env.at(2024, 2, 29, 7)},
        {"weeks", env.at(2024, 12, 20), [](auto& d) { return DUDate::dateByAddingWeeks(d, 2); }, env.at(2025, 1, 3)},
        {"weeks back", env.at(2025, 1, 3), [](auto& d) { return DUDate::dateBySubtractingWeeks(d, 2); },
         env.at(2024, 12, 20)},
        // A day keeps the wall-clock time over a DST change; hours do not.
        {"day over DST start", env.at(2024, 3, 30, 12), [](auto& d) { return DUDate::dateByAddingDays(d, 1); },
         env.at(2024, 3, 31, 12)},
        {"24 hours over DST start", env.at(2024, 3, 30, 12), [](auto& d) { return DUDate::dateByAddingHours(d, 24); },
         env.at(2024, 3, 31, 13)},
        {"day over DST end", env.at(2024, 10, 26, 12), [](auto& d) { return DUDate::dateByAddingDays(d, 1); },
         env.at(2024, 10, 27, 12)},
        {"day back over DST end", env.at(2024, 10, 27, 12), [](auto& d) { return DUDate::dateBySubtractingDays(d, 1); },
         env.at(2024, 10, 26, 12)},
        {"hours back", env.at(2024, 3, 31, 13), [](auto& d) { return DUDate::dateBySubtractingHours(d, 24); },
         env.at(2024, 3, 30, 12)},
        {"minutes", env.at(2024, 3, 13, 23, 50), [](auto& d) { return DUDate::dateByAddingMinutes(d, 15); },
         env.at(2024, 3, 14, 0, 5)},
        {"minutes back", env.at(2024, 3, 14, 0, 5), [](auto& d) { return DUDate::dateBySubtractingMinutes(d, 15); },
         env.at(2024, 3, 13, 23, 50)},
        {"seconds", env.at(2024, 3, 13, 23, 59, 59), [](auto& d) { return DUDate::dateByAddingSeconds(d, 2); },
         env.at(2024, 3, 14, 0, 0, 1)},
        {"seconds back", env.at(2024, 3, 14, 0, 0, 1), [](auto& d) { return DUDate::dateBySubtractingSeconds(d, 2); },
         env.at(2024, 3, 13, 23, 59, 59)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.op(c.from), c.expected);
    }
    EXPECT_EQ(env.at(2024, 3, 31, 12).timeIntervalSinceDate(env.at(2024, 3, 30, 12)), 23 * 3600);
}

TEST_F(DUDateArithmeticTest, CalendarDistances) {
    struct Case {
        const char* name;
        NSDate later, earlier;
        int64_t years, months, weeks, days;
    };
    const Case cases[] = {
        {"1 month 5 days", env.at(2024, 2, 15), env.at(2024, 1, 10), 0, 1, 5, 36},
        {"26 days", env.at(2024, 2, 5), env.at(2024, 1, 10), 0, 0, 3, 26},
        {"15 months", env.at(2025, 4, 10), env.at(2024, 1, 10), 1, 15, 65, 456},
        {"a year less a second", env.at(2025, 1, 10), env.at(2024, 1, 10, 0, 0, 1), 0, 11, 52, 365},
        {"a leap day", env.at(2024, 3, 1), env.at(2024, 2, 28), 0, 0, 0, 2},
        {"a day over DST start", env.at(2024, 3, 31, 12), env.at(2024, 3, 30, 12), 0, 0, 0, 1},
        {"same instant", env.at(2024, 3, 31, 12), env.at(2024, 3, 31, 12), 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DUDate::yearsFrom(c.later, c.earlier), c.years);
        EXPECT_EQ(DUDate::monthsFrom(c.later, c.earlier), c.months);
        EXPECT_EQ(DUDate::weeksFrom(c.later, c.earlier), c.weeks);
        EXPECT_EQ(DUDate::daysFrom(c.later, c.earlier), c.days);
        EXPECT_EQ(DUDate::yearsFrom(c.earlier, c.later), -c.years);
        EXPECT_EQ(DUDate::monthsFrom(c.earlier, c.later), -c.months);
        EXPECT_EQ(DUDate::weeksFrom(c.earlier, c.later), -c.weeks);
        EXPECT_EQ(DUDate::daysFrom(c.earlier, c.later), -c.days);
        EXPECT_EQ(DUDate::monthsLaterThan(c.later, c.earlier), c.months);
        EXPECT_EQ(DUDate::monthsEarlierThan(c.later, c.earlier), 0);
        EXPECT_EQ(DUDate::daysEarlierThan(c.earlier, c.later), c.days);
        EXPECT_EQ(DUDate::daysLaterThan(c.earlier, c.later), 0);
        EXPECT_EQ(DUDate::yearsEarlierThan(c.earlier, c.later), c.years);
        EXPECT_EQ(DUDate::weeksLaterThan(c.later, c.earlier), c.weeks);
    }
    // In another calendar's zone the same instants can be a different number of units apart:
    // over the DST start these are a month in Berlin and an hour short of one in Tokyo.
    NSCalendarPtr tokyo = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    tokyo->setTimeZone(NSTimeZone::timeZoneWithName("Asia/Tokyo"));
    NSDate march = env.at(2024, 3, 1, 1), april = env.at(2024, 4, 1, 1);
    EXPECT_EQ(DUDate::monthsFrom(april, march), 1);
    EXPECT_EQ(DUDate::monthsFrom(april, march, tokyo), 0);
    EXPECT_EQ(DUDate::daysFrom(april, march, tokyo), 30);
    EXPECT_EQ(DUDate::weeksFrom(april, march, tokyo), 4);
    EXPECT_EQ(DUDate::yearsFrom(env.at(2025, 3, 1, 1), march, tokyo), 1);
}

TEST_F(DUDateArithmeticTest, ElapsedTimeAgainstNow) {
    NSDate now = env.at(2024, 3, 13, 10);
    env.setNow(now);
    NSDate past = now.dateByAddingTimeInterval(-90 * 60);
    EXPECT_DOUBLE_EQ(DUDate::hoursAgo(past), 1.5);
    EXPECT_DOUBLE_EQ(DUDate::minutesAgo(past), 90);
    EXPECT_DOUBLE_EQ(DUDate::secondsAgo(past), 5400);
    EXPECT_DOUBLE_EQ(DUDate::hoursUntil(past), 0);
    EXPECT_DOUBLE_EQ(DUDate::hoursFrom(past, now), -1.5);
    EXPECT_DOUBLE_EQ(DUDate::minutesFrom(now, past), 90);
    EXPECT_DOUBLE_EQ(DUDate::secondsFrom(now, past), 5400);
    EXPECT_DOUBLE_EQ(DUDate::hoursEarlierThan(past, now), 1.5);
    EXPECT_DOUBLE_EQ(DUDate::minutesLaterThan(past, now), 0);
    EXPECT_DOUBLE_EQ(DUDate::secondsLaterThan(now, past), 5400);
    EXPECT_DOUBLE_EQ(DUDate::secondsEarlierThan(now, past), 0);

    NSDate future = now.dateByAddingTimeInterval(3 * 86400 + 3600);
    EXPECT_EQ(DUDate::daysAgo(future), 0);
    EXPECT_EQ(DUDate::daysUntil(future), 3);
    EXPECT_DOUBLE_EQ(DUDate::hoursUntil(future), 73);
    EXPECT_DOUBLE_EQ(DUDate::minutesUntil(future), 73 * 60);
    EXPECT_DOUBLE_EQ(DUDate::secondsUntil(future), 73 * 3600);
    EXPECT_EQ(DUDate::weeksUntil(env.at(2024, 3, 27, 10)), 2);
    EXPECT_EQ(DUDate::monthsUntil(env.at(2024, 6, 13, 10)), 3);
    EXPECT_EQ(DUDate::yearsUntil(env.at(2026, 3, 13, 9)), 1);

    NSDate longAgo = env.at(2021, 1, 1);
    EXPECT_EQ(DUDate::yearsAgo(longAgo), 3);
    EXPECT_EQ(DUDate::monthsAgo(longAgo), 38);
    EXPECT_EQ(DUDate::weeksAgo(env.at(2024, 3, 6, 10)), 1);
    EXPECT_EQ(DUDate::daysAgo(env.at(2024, 3, 6, 10)), 7);
    EXPECT_EQ(DUDate::yearsUntil(longAgo), 0);
}

TEST_F(DUDateArithmeticTest, Comparisons) {
    NSDate a = env.at(2024, 3, 13, 10), b = a.dateByAddingTimeInterval(0.5);
    struct Case {
        NSDate x, y;
        bool earlier, later, earlierOrEqual, laterOrEqual;
    };
    const Case cases[] = {{a, b, true, false, true, false}, {b, a, false, true, false, true}, {a, a, false, false, true, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(DUDate::isEarlierThan(c.x, c.y), c.earlier);
        EXPECT_EQ(DUDate::isLaterThan(c.x, c.y), c.later);
        EXPECT_EQ(DUDate::isEarlierThanOrEqualTo(c.x, c.y), c.earlierOrEqual);
        EXPECT_EQ(DUDate::isLaterThanOrEqualTo(c.x, c.y), c.laterOrEqual);
    }
}

}  // namespace
