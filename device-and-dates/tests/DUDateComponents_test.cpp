#include <device_and_dates/DUDateArithmetic.h>
#include <device_and_dates/DUDateCalendar.h>
#include <device_and_dates/DUDateComponents.h>

#include <gtest/gtest.h>

#include "DUDateTestEnvironment.h"

namespace {

class DUDateComponentsTest : public ::testing::Test {
protected:
    DUDateTestEnvironment env;  // Berlin, en_US (weeks start on Sunday)
};

TEST_F(DUDateComponentsTest, EachComponentOfADate) {
    NSDate date = env.at(2024, 3, 13, 14, 25, 36);  // a Wednesday
    const std::pair<DUDateComponent, int64_t> expected[] = {
        {DUDateComponentEra, 1},         {DUDateComponentYear, 2024},         {DUDateComponentMonth, 3},
        {DUDateComponentDay, 13},        {DUDateComponentHour, 14},           {DUDateComponentMinute, 25},
        {DUDateComponentSecond, 36},     {DUDateComponentWeekday, 4},         {DUDateComponentWeekdayOrdinal, 2},
        {DUDateComponentQuarter, 1},     {DUDateComponentWeekOfMonth, 3},     {DUDateComponentWeekOfYear, 11},
        {DUDateComponentYearForWeekOfYear, 2024}, {DUDateComponentDayOfYear, 73},
    };
    for (auto [type, value] : expected) {
        SCOPED_TRACE(static_cast<int>(type));
        EXPECT_EQ(DUDate::componentForDate(date, type), value);
    }
    EXPECT_EQ(DUDate::componentForDate(date, static_cast<DUDateComponent>(14)), 0);

    EXPECT_EQ(DUDate::era(date), 1);
    EXPECT_EQ(DUDate::year(date), 2024);
    EXPECT_EQ(DUDate::month(date), 3);
    EXPECT_EQ(DUDate::day(date), 13);
    EXPECT_EQ(DUDate::hour(date), 14);
    EXPECT_EQ(DUDate::minute(date), 25);
    EXPECT_EQ(DUDate::second(date), 36);
    EXPECT_EQ(DUDate::weekday(date), 4);
    EXPECT_EQ(DUDate::weekdayOrdinal(date), 2);
    EXPECT_EQ(DUDate::quarter(date), 1);
    EXPECT_EQ(DUDate::weekOfMonth(date), 3);
    EXPECT_EQ(DUDate::weekOfYear(date), 11);
    EXPECT_EQ(DUDate::yearForWeekOfYear(date), 2024);
    EXPECT_EQ(DUDate::dayOfYear(date), 73);
    EXPECT_EQ(DUDate::dayOfYear(env.at(2024, 1, 1)), 1);
    EXPECT_EQ(DUDate::dayOfYear(env.at(2024, 12, 31, 23, 59)), 366);
    // 30 December 2024 belongs to the first week of 2025.
    EXPECT_EQ(DUDate::yearForWeekOfYear(env.at(2024, 12, 30)), 2025);
}

TEST_F(DUDateComponentsTest, ComponentsInAGivenCalendar) {
    NSCalendarPtr tokyo = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    tokyo->setTimeZone(NSTimeZone::timeZoneWithName("Asia/Tokyo"));
    NSDate date = env.at(2024, 3, 13, 20, 5, 0);  // 04:05 on the 14th in Tokyo
    EXPECT_EQ(DUDate::hourWithCalendar(date, tokyo), 4);
    EXPECT_EQ(DUDate::dayWithCalendar(date, tokyo), 14);
    EXPECT_EQ(DUDate::weekdayWithCalendar(date, tokyo), 5);
    EXPECT_EQ(DUDate::dayOfYearWithCalendar(date, tokyo), 74);
    EXPECT_EQ(DUDate::minuteWithCalendar(date, tokyo), 5);
    EXPECT_EQ(DUDate::yearWithCalendar(date, tokyo), 2024);
    EXPECT_EQ(DUDate::monthWithCalendar(date, tokyo), 3);
    EXPECT_EQ(DUDate::eraWithCalendar(date, tokyo), 1);
    EXPECT_EQ(DUDate::secondWithCalendar(date, tokyo), 0);
    EXPECT_EQ(DUDate::quarterWithCalendar(date, tokyo), 1);
    EXPECT_EQ(DUDate::weekdayOrdinalWithCalendar(date, tokyo), 2);
    EXPECT_EQ(DUDate::weekOfMonthWithCalendar(date, tokyo), 3);
    EXPECT_EQ(DUDate::weekOfYearWithCalendar(date, tokyo), 11);
    EXPECT_EQ(DUDate::yearForWeekOfYearWithCalendar(date, tokyo), 2024);
    // The implicit calendar follows the default identifier's calendar, here Berlin.
    EXPECT_EQ(DUDate::hour(date), 20);
}

TEST_F(DUDateComponentsTest, LeapYearsAndMonthLengths) {
    const std::pair<int64_t, bool> years[] = {{2000, true}, {2024, true}, {1900, false}, {2023, false}, {2100, false}};
    for (auto [year, leap] : years) {
        SCOPED_TRACE(year);
        EXPECT_EQ(DUDate::isLeapYear(year), leap);
        NSDate inYear = env.at(year, 6, 1);
        EXPECT_EQ(DUDate::isInLeapYear(inYear), leap);
        EXPECT_EQ(DUDate::daysInYear(inYear), leap ? 366 : 365);
        EXPECT_EQ(DUDate::daysInMonth(env.at(year, 2, 10)), leap ? 29 : 28);
    }
    EXPECT_EQ(DUDate::daysInMonth(env.at(2024, 1, 31)), 31);
    EXPECT_EQ(DUDate::daysInMonth(env.at(2024, 4, 1)), 30);
}

TEST_F(DUDateComponentsTest, DayTests) {
    env.setNow(env.at(2024, 3, 13, 10));
    struct Case {
        NSDate date;
        bool today, tomorrow, yesterday;
    };
    const Case cases[] = {
        {env.at(2024, 3, 13, 0, 0, 0), true, false, false},
        {env.at(2024, 3, 13, 23, 59, 59), true, false, false},
        {env.at(2024, 3, 14, 23, 30), false, true, false},
        {env.at(2024, 3, 15, 0, 0), false, false, false},
        {env.at(2024, 3, 12, 0, 0), false, false, true},
        {env.at(2024, 3, 11, 23, 59), false, false, false},
        {env.at(2023, 3, 13, 10), false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date.description());
        EXPECT_EQ(DUDate::isToday(c.date), c.today);
        EXPECT_EQ(DUDate::isTomorrow(c.date), c.tomorrow);
        EXPECT_EQ(DUDate::isYesterday(c.date), c.yesterday);
    }
    EXPECT_TRUE(DUDate::isSameDay(env.at(2024, 3, 13, 0, 0, 1), env.at(2024, 3, 13, 23, 59)));
    EXPECT_FALSE(DUDate::isSameDay(env.at(2024, 3, 13, 23, 59), env.at(2024, 3, 14, 0, 0)));

    EXPECT_TRUE(DUDate::isWeekend(env.at(2024, 3, 16, 12)));   // Saturday
    EXPECT_TRUE(DUDate::isWeekend(env.at(2024, 3, 17, 12)));   // Sunday
    EXPECT_FALSE(DUDate::isWeekend(env.at(2024, 3, 18, 12)));  // Monday
    EXPECT_FALSE(DUDate::isWeekend(env.at(2024, 3, 15, 23, 59)));
}

TEST_F(DUDateComponentsTest, DatesFromComponents) {
    EXPECT_EQ(DUDate::dateWithYear(2024, 3, 13), env.at(2024, 3, 13));
    EXPECT_EQ(DUDate::dateWithYear(2024, 3, 13, 14, 25, 36), env.at(2024, 3, 13, 14, 25, 36));
    // Out-of-range fields carry over.
    EXPECT_EQ(DUDate::dateWithYear(2023, 13, 1), env.at(2024, 1, 1));
    // In the zone-less sense the implicit calendar's zone decides the instant.
    DUDate::implicitCalendar()->setTimeZone(NSTimeZone::timeZoneWithName("UTC"));
    EXPECT_EQ(DUDate::dateWithYear(2001, 1, 1), NSDate(0));
}

}  // namespace
