#pragma once
// Fixed instants and a pinned default time zone for the calendar, time-zone and formatter tests,
// so that no result depends on the machine's zone or locale.

#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include <platform_foundation/NSCalendar.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSDate.h>

// The instant of a UTC wall-clock time.
inline NSDate utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(timegm(&tm)));
}

inline NSTimeZonePtr zone(const std::string& name) {
    auto z = NSTimeZone::timeZoneWithName(name);
    if (!z) ADD_FAILURE() << "unknown zone " << name;
    return z;
}

inline NSCalendarPtr gregorianIn(const std::string& zoneName, const std::string& localeId = "en_US") {
    auto cal = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    cal->setTimeZone(zone(zoneName));
    cal->setLocale(NSLocale::localeWithLocaleIdentifier(localeId));
    return cal;
}

// Pins the process-wide defaults to a zone far from UTC and a known locale for each test and
// puts them back afterwards.
class PinnedDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSTimeZone::setDefaultTimeZone(zone("Asia/Tokyo"));
        NSLocale::setCurrentLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
    }
    void TearDown() override {
        NSTimeZone::setDefaultTimeZone(nullptr);
        NSLocale::setCurrentLocale(nullptr);
        NSCalendar::setCurrentCalendar(nullptr);
    }
};
