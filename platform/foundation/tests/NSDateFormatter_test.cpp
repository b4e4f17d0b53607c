#include <platform_foundation/NSDateFormatter.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "DateTestSupport.h"

namespace {

class NSDateFormatterTest : public PinnedDefaultsTest {};

std::shared_ptr<NSDateFormatter> formatter(const char* locale, const char* zoneName, const std::string& pattern) {
    auto f = std::make_shared<NSDateFormatter>();
    f->setLocale(NSLocale::localeWithLocaleIdentifier(locale));
    if (zoneName) f->setTimeZone(zone(zoneName));
    f->setDateFormat(pattern);
    return f;
}

TEST_F(NSDateFormatterTest, Patterns) {
    const NSDate when = utc(2021, 3, 14, 8);  // 04:00 EDT, 11:00 in Moscow
    const NSDate withMillis = when.dateByAddingTimeInterval(0.123);
    struct Case {
        const char* locale;
        const char* zone;
        const char* pattern;
        NSDate date;
        const char* expected;
    } cases[] = {
        {"en_US_POSIX", "America/New_York", "yyyy-MM-dd'T'HH:mm:ssZ", when, "2021-03-14T04:00:00-0400"},
        {"en_US_POSIX", "America/New_York", "yyyy-MM-dd'T'HH:mm:ssZZZZZ", when, "2021-03-14T04:00:00-04:00"},
        {"en_US_POSIX", "UTC", "yyyy-MM-dd'T'HH:mm:ssZZZZZ", when, "2021-03-14T08:00:00Z"},
        {"en_US_POSIX", "America/New_York", "EEE, dd MMM yyyy HH:mm:ss zzz", when, "Sun, 14 Mar 2021 04:00:00 EDT"},
        {"en_US_POSIX", "Europe/Moscow", "yyyy-MM-dd HH:mm:ss.SSS ZZZ", withMillis, "2021-03-14 11:00:00.123 +0300"},
        {"en_US_POSIX", "UTC", "yyyy'-'MM'-'dd'T'HH':'mm':'ss'.'SSSSSS'Z'", withMillis, "2021-03-14T08:00:00.123000Z"},
        {"en_US_POSIX", "Europe/Moscow", "yyyyMMddHHmmss", when, "20210314110000"},
        {"en_US_POSIX", "UTC", "G QQQ 'week' w, 'day' D, h a", when, "AD Q1 week 12, day 73, 8 AM"},
        {"en_US_POSIX", "Asia/Kolkata", "HH:mm xxx", when, "13:30 +05:30"},
        {"ru_RU", "UTC", "d MMMM yyyy, EEEE", when, "14 марта 2021, воскресенье"},
        {"ru_RU", "UTC", "LLLL yyyy", when, "март 2021"},
        {"ru_RU", "UTC", "EEE", when, "вс"},
        {"zh_CN", "Asia/Shanghai", "yyyy/MM/dd HH:mm:ss", when, "2021/03/14 16:00:00"},
        {"en_US_POSIX", "UTC", "", when, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.pattern);
        auto f = formatter(c.locale, c.zone, c.pattern);
        EXPECT_EQ(f->stringFromDate(c.date), c.expected);
        EXPECT_EQ(f->dateFormat(), c.pattern);
    }
}

TEST_F(NSDateFormatterTest, Styles) {
    using S = NSDateFormatterStyle;
    const NSDate when = utc(2021, 3, 14, 15, 4, 5);
    struct Case {
        const char* locale;
        S date, time;
        const char* expected;
    } cases[] = {
        {"en_US_POSIX", NSDateFormatterNoStyle, NSDateFormatterNoStyle, ""},
        {"en_US_POSIX", NSDateFormatterShortStyle, NSDateFormatterNoStyle, "3/14/21"},
        {"en_US_POSIX", NSDateFormatterMediumStyle, NSDateFormatterNoStyle, "Mar 14, 2021"},
        {"en_US_POSIX", NSDateFormatterLongStyle, NSDateFormatterNoStyle, "March 14, 2021"},
        {"en_US_POSIX", NSDateFormatterFullStyle, NSDateFormatterNoStyle, "Sunday, March 14, 2021"},
        {"en_US_POSIX", NSDateFormatterNoStyle, NSDateFormatterShortStyle, "3:04\u202fPM"},
        {"en_US_POSIX", NSDateFormatterNoStyle, NSDateFormatterMediumStyle, "3:04:05\u202fPM"},
        {"en_US_POSIX", NSDateFormatterShortStyle, NSDateFormatterShortStyle, "3/14/21, 3:04\u202fPM"},
        {"ru_RU", NSDateFormatterShortStyle, NSDateFormatterNoStyle, "14.03.2021"},
        {"ru_RU", NSDateFormatterMediumStyle, NSDateFormatterNoStyle, "14 мар. 2021\u202fг."},
        {"ru_RU", NSDateFormatterLongStyle, NSDateFormatterNoStyle, "14 марта 2021\u202fг."},
        {"ru_RU", NSDateFormatterFullStyle, NSDateFormatterNoStyle, "воскресенье, 14 марта 2021\u202fг."},
        {"ru_RU", NSDateFormatterNoStyle, NSDateFormatterShortStyle, "15:04"},
        {"ru_RU", NSDateFormatterShortStyle, NSDateFormatterMediumStyle, "14.03.2021, 15:04:05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + std::to_string(c.date) + "/" + std::to_string(c.time));
        NSDateFormatter f;
        f.setLocale(NSLocale::localeWithLocaleIdentifier(c.locale));
        f.setTimeZone(zone("UTC"));
        f.setDateStyle(c.date);
        f.setTimeStyle(c.time);
        EXPECT_EQ(f.stringFromDate(when), c.expected);
        EXPECT_EQ(f.dateStyle(), c.date);
        EXPECT_EQ(f.timeStyle(), c.time);
    }
}

TEST_F(NSDateFormatterTest, PatternAndStylesReplaceEachOther) {
    NSDateFormatter f;
    f.setTimeZone(zone("UTC"));
    f.setDateFormat("yyyy");
    f.setDateStyle(NSDateFormatterShortStyle);
    EXPECT_EQ(f.dateFormat(), "M/d/yy");
    EXPECT_EQ(f.stringFromDate(utc(2021, 3, 14)), "3/14/21");
    f.setDateFormat("yyyy");
    EXPECT_EQ(f.stringFromDate(utc(2021, 3, 14)), "2021");
}

TEST_F(NSDateFormatterTest, ParsesToKnownInstants) {
    struct Case {
        const char* locale;
        const char* zone;  // nullptr: follow the default zone
        const char* pattern;
        const char* text;
        NSDate expected;
    } cases[] = {
        {"en_US_POSIX", nullptr, "yyyy-MM-dd'T'HHmmssZZZ", "2021-03-04T050607+0100", utc(2021, 3, 4, 4, 6, 7)},
        {"en_US_POSIX", nullptr, "yyyy-MM-dd'T'HHmmssZZZ", "2021-03-04T050607Z", utc(2021, 3, 4, 5, 6, 7)},
        {"en_US_POSIX", nullptr, "yyyy-MM-dd'T'HH:mm:ssZZZZZ", "2021-03-04T05:06:07-05:00", utc(2021, 3, 4, 10, 6, 7)},
        {"en_US_POSIX", "GMT", "yyyy'-'MM'-'dd'T'HH':'mm':'ss'.'SSSSSS'Z'", "2021-03-04T05:06:07.123456Z",
         utc(2021, 3, 4, 5, 6, 7).dateByAddingTimeInterval(0.123)},
        {"en_US_POSIX", "UTC", "EEE, dd MMM yyyy HH:mm:ss zzz", "Sun, 14 Mar 2021 04:00:00 EDT", utc(2021, 3, 14, 8)},
        {"en_US_POSIX", nullptr, "yyyy-MM-dd HH:mm", "2021-03-14 09:00", utc(2021, 3, 14)},  // Tokyo
        {"en_US_POSIX", "America/New_York", "yyyy-MM-dd HH:mm", "2021-11-07 01:30", utc(2021, 11, 7, 5, 30)},
        {"en_US_POSIX", "UTC", "MM/dd/yyyy", "02/29/2024", utc(2024, 2, 29)},
        {"en_US_POSIX", "UTC", "yy-MM-dd", "49-01-01", utc(2049, 1, 1)},
        {"en_US_POSIX", "UTC", "yy-MM-dd", "50-01-01", utc(1950, 1, 1)},
        {"ru_RU", "UTC", "d MMMM yyyy", "14 марта 2021", utc(2021, 3, 14)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " <- " + c.text);
        auto f = formatter(c.locale, c.zone, c.pattern);
        auto got = f->dateFromString(c.text);
        ASSERT_TRUE(got);
        EXPECT_NEAR(got->timeIntervalSince1970(), c.expected.timeIntervalSince1970(), 1e-6);
    }
}

TEST_F(NSDateFormatterTest, FormatThenParseRoundTrips) {
    struct Case {
        const char* locale;
        const char* zone;
        const char* pattern;
    } cases[] = {
        {"en_US_POSIX", "America/New_York", "yyyy-MM-dd'T'HH:mm:ssZ"},
        {"en_US_POSIX", "Europe/Moscow", "yyyy-MM-dd HH:mm:ss.SSS ZZZ"},
        {"en_US_POSIX", "UTC", "EEE, dd MMM yyyy HH:mm:ss zzz"},
        {"ru_RU", "Europe/Moscow", "d MMMM yyyy 'г.' HH:mm:ss"},
        {"ru_RU", "Europe/Moscow", "EEEE, d MMM y, HH:mm:ss"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.pattern);
        auto f = formatter(c.locale, c.zone, c.pattern);
        for (NSDate date : {utc(2021, 3, 14, 6, 59, 59), utc(2021, 11, 7, 5, 30), utc(1999, 12, 31, 23, 59, 58)}) {
            std::string text = f->stringFromDate(date);
            auto back = f->dateFromString(text);
            ASSERT_TRUE(back) << text;
            EXPECT_EQ(*back, date) << text;
        }
    }
}

TEST_F(NSDateFormatterTest, StylesParseToo) {
    NSDateFormatter f;
    f.setLocale(NSLocale::localeWithLocaleIdentifier("ru_RU"));
    f.setTimeZone(zone("UTC"));
    f.setDateStyle(NSDateFormatterMediumStyle);
    EXPECT_EQ(f.dateFromString("14 мар. 2021\u202fг."), utc(2021, 3, 14));
    f.setDateStyle(NSDateFormatterNoStyle);
    EXPECT_EQ(f.dateFromString("14 мар. 2021\u202fг."), std::nullopt);
}

TEST_F(NSDateFormatterTest, StrictParsingRejectsWhatDoesNotMatch) {
    struct Case {
        const char* pattern;
        const char* text;
    } cases[] = {
        {"yyyy-MM-dd", "2021-02-30"},
        {"yyyy-MM-dd", "2021-13-01"},
        {"yyyy-MM-dd", "2021-03-14x"},
        {"yyyy-MM-dd", ""},
        {"yyyy-MM-dd", "14/03/2021"},
        {"MM/dd/yyyy", "02/29/2023"},
        {"HH:mm", "12:60"},
        {"yyyy-MM-dd'T'HH:mm:ssZ", "2021-03-14T25:00:00+0000"},
        {"yyyy-MM-dd'T'HH:mm:ssZ", "2021-03-14T10:00:00"},
        {"EEE, dd MMM yyyy", "Xyz, 14 Mar 2021"},
    };
    for (const auto& c : cases) {
        auto f = formatter("en_US_POSIX", "UTC", c.pattern);
        EXPECT_FALSE(f->isLenient());
        EXPECT_EQ(f->dateFromString(c.text), std::nullopt) << c.pattern << " <- " << c.text;
    }
}

TEST_F(NSDateFormatterTest, LenientParsingCarriesOver) {
    auto f = formatter("en_US_POSIX", "UTC", "yyyy-MM-dd");
    f->setLenient(true);
    EXPECT_EQ(f->dateFromString("2021-02-30"), utc(2021, 3, 2));
    EXPECT_EQ(f->dateFromString("2021-03-14x"), std::nullopt);  // trailing text still fails
}

TEST_F(NSDateFormatterTest, UnsetLocaleAndZoneFollowTheDefaults) {
    NSDateFormatter f;
    f.setDateFormat("HH EEEE");
    EXPECT_EQ(f.timeZone()->name(), "Asia/Tokyo");
    EXPECT_EQ(f.locale()->localeIdentifier(), "en_US_POSIX");
    EXPECT_EQ(f.stringFromDate(utc(2021, 3, 14, 8)), "17 Sunday");

    NSTimeZone::setDefaultTimeZone(zone("Europe/Moscow"));
    NSLocale::setCurrentLocale(NSLocale::localeWithLocaleIdentifier("ru_RU"));
    EXPECT_EQ(f.stringFromDate(utc(2021, 3, 14, 8)), "11 воскресенье");

    f.setTimeZone(zone("UTC"));
    NSTimeZone::setDefaultTimeZone(zone("Asia/Tokyo"));
    EXPECT_EQ(f.stringFromDate(utc(2021, 3, 14, 8)), "08 воскресенье");
}

TEST_F(NSDateFormatterTest, CalendarWeekRulesApply) {
    auto f = formatter("en_US_POSIX", "UTC", "Y-'W'ww");
    EXPECT_EQ(f->stringFromDate(utc(2021, 1, 1)), "2021-W01");
    auto isoWeeks = gregorianIn("UTC", "ru_RU");  // Monday first, four-day first week
    f->setCalendar(isoWeeks);
    EXPECT_EQ(f->stringFromDate(utc(2021, 1, 1)), "2020-W53");
    EXPECT_EQ(f->calendar(), isoWeeks);
}

TEST_F(NSDateFormatterTest, LocalizedStringUsesCurrentLocaleAndDefaultZone) {
    NSLocale::setCurrentLocale(NSLocale::localeWithLocaleIdentifier("ru_RU"));
    NSTimeZone::setDefaultTimeZone(zone("Europe/Moscow"));
    EXPECT_EQ(NSDateFormatter::localizedStringFromDate(utc(2021, 3, 14, 8), NSDateFormatterShortStyle,
                                                       NSDateFormatterShortStyle),
              "14.03.2021, 11:00");
    EXPECT_EQ(NSDateFormatter::localizedStringFromDate(utc(2021, 3, 14, 8), NSDateFormatterNoStyle,
                                                       NSDateFormatterNoStyle),
              "");
}

TEST_F(NSDateFormatterTest, OneFormatterServesManyThreads) {
    auto f = formatter("en_US_POSIX", "America/New_York", "yyyy-MM-dd HH:mm:ss.SSS");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                NSDate date = utc(2021, 1, 1).dateByAddingTimeInterval((t * 1000 + i) * 3607.25);
                auto back = f->dateFromString(f->stringFromDate(date));
                if (!back || *back != date) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
