#include <platform_foundation/NSTimeZone.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "DateTestSupport.h"

namespace {

struct OffsetCase {
    const char* name;
    NSDate date;
    NSInteger seconds;
    const char* abbreviation;
    bool dst;
};

TEST(NSTimeZoneTest, OffsetsAndAbbreviationsAtFixedDates) {
    const OffsetCase cases[] = {
        {"America/New_York", utc(2021, 1, 15), -5 * 3600, "EST", false},
        {"America/New_York", utc(2021, 7, 15), -4 * 3600, "EDT", true},
        {"America/New_York", utc(2021, 3, 14, 6, 59, 59), -5 * 3600, "EST", false},  // last second before the change
        {"America/New_York", utc(2021, 3, 14, 7), -4 * 3600, "EDT", true},
        {"America/New_York", utc(2021, 11, 7, 5, 59, 59), -4 * 3600, "EDT", true},
        {"America/New_York", utc(2021, 11, 7, 6), -5 * 3600, "EST", false},
        {"Europe/Moscow", utc(2021, 7, 15), 3 * 3600, "GMT+3", false},
        {"Europe/Moscow", utc(2010, 7, 15), 4 * 3600, "GMT+4", true},  // Moscow still had summer time then
        {"Asia/Kolkata", utc(2021, 7, 15), 5 * 3600 + 1800, "GMT+5:30", false},
        {"UTC", utc(2021, 7, 15), 0, "UTC", false},
        {"GMT", utc(2021, 7, 15), 0, "GMT", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at " + c.date.description());
        auto z = NSTimeZone::timeZoneWithName(c.name);
        ASSERT_TRUE(z);
        EXPECT_EQ(z->name(), c.name);
        EXPECT_EQ(z->secondsFromGMTForDate(c.date), c.seconds);
        EXPECT_EQ(z->abbreviationForDate(c.date), c.abbreviation);
        EXPECT_EQ(z->isDaylightSavingTimeForDate(c.date), c.dst);
        EXPECT_EQ(z->daylightSavingTimeOffsetForDate(c.date), c.dst ? 3600.0 : 0.0);
    }
}

TEST(NSTimeZoneTest, UnknownNamesGiveNothing) {
    for (const char* name : {"", "Mars/Olympus_Mons", "Europe/", "europe/moscow_x"})
        EXPECT_EQ(NSTimeZone::timeZoneWithName(name), nullptr) << name;
}

TEST(NSTimeZoneTest, FixedOffsetsFromGMT) {
    struct Case {
        NSInteger seconds;
        std::optional<std::string> name;
        const char* abbreviation;
    } cases[] = {
        {0, "GMT", "GMT"},
        {5400, "GMT+0130", "GMT+1:30"},
        {-3600, "GMT-0100", "GMT-1"},
        {-(12 * 3600 + 2700), "GMT-1245", "GMT-12:45"},
        {18 * 3600, "GMT+1800", "GMT+18"},
        {18 * 3600 + 1, std::nullopt, ""},
        {-19 * 3600, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        auto z = NSTimeZone::timeZoneForSecondsFromGMT(c.seconds);
        if (!c.name) {
            EXPECT_EQ(z, nullptr) << c.seconds;
            continue;
        }
        ASSERT_TRUE(z) << c.seconds;
        EXPECT_EQ(z->name(), *c.name);
        EXPECT_EQ(z->secondsFromGMTForDate(utc(2021, 7, 1)), c.seconds);
        EXPECT_EQ(z->secondsFromGMT(), c.seconds);
        EXPECT_EQ(z->abbreviationForDate(utc(2021, 7, 1)), c.abbreviation);
        EXPECT_FALSE(z->isDaylightSavingTime());
    }
}

TEST(NSTimeZoneTest, EqualityByNameAndRules) {
    auto a = NSTimeZone::timeZoneWithName("Europe/Moscow");
    auto b = NSTimeZone::timeZoneWithName("Europe/Moscow");
    auto other = NSTimeZone::timeZoneWithName("Europe/Istanbul");  // same offset today, other name and history
    EXPECT_TRUE(a->isEqualToTimeZone(*b));
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*other));
    EXPECT_FALSE(a->isEqual(NSObject()));
    EXPECT_TRUE(NSTimeZone::timeZoneForSecondsFromGMT(3600)->isEqual(*NSTimeZone::timeZoneForSecondsFromGMT(3600)));
    EXPECT_NE(a->description().find("Europe/Moscow"), std::string::npos);
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class NSTimeZoneDefaultsTest : public ::testing::Test {
protected:
    void TearDown() override {
        NSTimeZone::setDefaultTimeZone(nullptr);
        NSTimeZone::resetSystemTimeZone();
    }
};

TEST_F(NSTimeZoneDefaultsTest, SystemZoneHonoursTZ) {
    struct Case {
        const char* tz;
        const char* name;
    } cases[] = {
        {"Europe/Moscow", "Europe/Moscow"},
        {":Asia/Tokyo", "Asia/Tokyo"},
        {"/usr/share/zoneinfo/America/New_York", "America/New_York"},
        {"", "GMT"},
    };
    for (const auto& c : cases) {
        ScopedEnv env("TZ", c.tz);
        NSTimeZone::resetSystemTimeZone();
        EXPECT_EQ(NSTimeZone::systemTimeZone()->name(), c.name) << "TZ=" << c.tz;
    }
}

TEST_F(NSTimeZoneDefaultsTest, SystemZoneIsCachedUntilReset) {
    ScopedEnv env("TZ", "Europe/Moscow");
    NSTimeZone::resetSystemTimeZone();
    auto first = NSTimeZone::systemTimeZone();
    setenv("TZ", "Asia/Tokyo", 1);
    EXPECT_EQ(NSTimeZone::systemTimeZone(), first);
    NSTimeZone::resetSystemTimeZone();
    EXPECT_EQ(NSTimeZone::systemTimeZone()->name(), "Asia/Tokyo");
}

TEST_F(NSTimeZoneDefaultsTest, DefaultZoneIsSettableAndLocalFollowsIt) {
    ScopedEnv env("TZ", "Europe/Moscow");
    NSTimeZone::resetSystemTimeZone();
    EXPECT_EQ(NSTimeZone::defaultTimeZone()->name(), "Europe/Moscow");
    NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("America/New_York"));
    EXPECT_EQ(NSTimeZone::defaultTimeZone()->name(), "America/New_York");
    EXPECT_EQ(NSTimeZone::localTimeZone()->name(), "America/New_York");
    EXPECT_EQ(NSTimeZone::systemTimeZone()->name(), "Europe/Moscow");
    NSTimeZone::setDefaultTimeZone(nullptr);
    EXPECT_EQ(NSTimeZone::defaultTimeZone()->name(), "Europe/Moscow");
}

}  // namespace
