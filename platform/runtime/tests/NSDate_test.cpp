#include <platform_runtime/NSDate.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

namespace {

// Every test leaves the system clock in place for the next one.
class NSDateTest : public testing::Test {
protected:
    void TearDown() override { NSDate::resetClockForTesting(); }
};

TEST_F(NSDateTest, NowComesFromTheInjectedClock) {
    double now = 1000;
    NSDate::setClockForTesting([&] { return now; });
    EXPECT_EQ(NSDate::date().timeIntervalSinceReferenceDate(), 1000);
    now = 1060.5;
    EXPECT_EQ(NSDate::date().timeIntervalSinceReferenceDate(), 1060.5);
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceNow(-60).timeIntervalSinceReferenceDate(), 1000.5);
    EXPECT_EQ(NSDate(2000).timeIntervalSinceNow(), 939.5);
}

TEST_F(NSDateTest, SystemClockAfterReset) {
    NSDate::setClockForTesting([] { return 0.0; });
    NSDate::resetClockForTesting();
    const double unixNow =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(NSDate::date().timeIntervalSince1970(), unixNow, 5.0);
}

TEST_F(NSDateTest, EpochConversions) {
    const NSDate unixEpoch = NSDate::dateWithTimeIntervalSince1970(0);
    EXPECT_EQ(unixEpoch.timeIntervalSinceReferenceDate(), -978307200.0);
    EXPECT_EQ(unixEpoch.timeIntervalSince1970(), 0);
    EXPECT_EQ(NSDate().timeIntervalSince1970(), 978307200.0);
    EXPECT_EQ(NSDate(10).timeIntervalSinceDate(NSDate(4)), 6);
    EXPECT_EQ(NSDate(10).dateByAddingTimeInterval(-2.5), NSDate(7.5));
}

TEST_F(NSDateTest, Ordering) {
    const NSDate a(1), b(2);
    EXPECT_EQ(a.compare(b), NSOrderedAscending);
    EXPECT_EQ(b.compare(a), NSOrderedDescending);
    EXPECT_EQ(a.compare(NSDate(1)), NSOrderedSame);
    EXPECT_EQ(a.earlierDate(b), a);
    EXPECT_EQ(b.earlierDate(a), a);
    EXPECT_EQ(a.laterDate(b), b);
    EXPECT_TRUE(a < b && a <= b && b > a && b >= a && a != b);
    EXPECT_TRUE(a.isEqualToDate(NSDate(1)));
    EXPECT_LT(NSDate::distantPast(), NSDate::dateWithTimeIntervalSince1970(-1e10));
    EXPECT_GT(NSDate::distantFuture(), NSDate::dateWithTimeIntervalSince1970(1e10));
}

TEST_F(NSDateTest, DescriptionIsUtc) {
    const std::pair<double, const char*> cases[] = {
        {0, "1970-01-01 00:00:00 +0000"},
        {978307200, "2001-01-01 00:00:00 +0000"},
        {978307199.9, "2000-12-31 23:59:59 +0000"},  // fractions round down
        {951782400, "2000-02-29 00:00:00 +0000"},    // leap day of a 400-year
        {4107542399, "2100-02-28 23:59:59 +0000"},   // 2100 is not a leap year
        {4107542400, "2100-03-01 00:00:00 +0000"},
        {-1, "1969-12-31 23:59:59 +0000"},
        {-2208988800, "1900-01-01 00:00:00 +0000"},
        {1700000000, "2023-11-14 22:13:20 +0000"},
    };
    for (const auto& [since1970, text] : cases) {
        EXPECT_EQ(NSDate::dateWithTimeIntervalSince1970(since1970).description(), text) << since1970;
    }
    EXPECT_EQ(NSDate::distantFuture().description(), "4001-01-01 00:00:00 +0000");
    EXPECT_EQ(NSDate::distantPast().description(), "0000-12-30 00:00:00 +0000");
    // Not-a-number and infinite intervals do not crash.
    EXPECT_FALSE(NSDate(std::nan("")).description().empty());
    EXPECT_FALSE(NSDate(INFINITY).description().empty());
}

}  // namespace
