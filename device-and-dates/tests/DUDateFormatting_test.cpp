#include <device_and_dates/DUDateFormatting.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "DUDateTestEnvironment.h"

namespace {

// The system time zone read from TZ for the duration of a test.
class SystemZone {
public:
    explicit SystemZone(const char* name) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", name, 1);
        NSTimeZone::resetSystemTimeZone();
    }
    ~SystemZone() {
        if (old_) setenv("TZ", old_->c_str(), 1);
        else unsetenv("TZ");
        NSTimeZone::resetSystemTimeZone();
    }

private:
    std::optional<std::string> old_;
};

class DUDateFormattingTest : public ::testing::Test {
protected:
    DUDateTestEnvironment env{"Europe/Berlin", "en_US"};
    SystemZone systemZone{"Asia/Tokyo"};
    NSTimeZonePtr berlin = NSTimeZone::timeZoneWithName("Europe/Berlin");
    NSTimeZonePtr utc = NSTimeZone::timeZoneWithName("UTC");
    NSDate date = env.at(2024, 3, 13, 20, 5, 9);  // 14 March 04:05:09 in Tokyo
};

TEST_F(DUDateFormattingTest, Styles) {
    NSLocalePtr german = NSLocale::localeWithLocaleIdentifier("de_DE");
    struct Case {
        NSDateFormatterStyle style;
        const char* english;
        const char* germanText;
    };
    const Case cases[] = {
        {NSDateFormatterNoStyle, "", ""},
        {NSDateFormatterShortStyle, "3/13/24", "13.03.24"},
        {NSDateFormatterMediumStyle, "Mar 13, 2024", "13.03.2024"},
        {NSDateFormatterLongStyle, "March 13, 2024", "13. März 2024"},
        {NSDateFormatterFullStyle, "Wednesday, March 13, 2024", "Mittwoch, 13. März 2024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style));
        EXPECT_EQ(DUDate::formattedDateWithStyle(date, c.style, berlin), c.english);
        EXPECT_EQ(DUDate::formattedDateWithStyle(date, c.style, berlin, german), c.germanText);
    }
    // Without a zone the system zone (Tokyo) decides the day; without a locale the current one.
    EXPECT_EQ(DUDate::formattedDateWithStyle(date, NSDateFormatterMediumStyle), "Mar 14, 2024");
    EXPECT_EQ(DUDate::formattedDateWithStyle(date, NSDateFormatterMediumStyle, german), "14.03.2024");
}

TEST_F(DUDateFormattingTest, Patterns) {
    NSLocalePtr russian = NSLocale::localeWithLocaleIdentifier("ru_RU");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "yyyy-MM-dd HH:mm:ss", berlin), "2024-03-13 20:05:09");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "yyyy-MM-dd HH:mm:ss", utc), "2024-03-13 19:05:09");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "yyyy-MM-dd HH:mm"), "2024-03-14 04:05");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "EEEE", berlin, russian), "среда");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "EEEE", russian), "четверг");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "MMMM d", berlin), "March 13");
    EXPECT_EQ(DUDate::formattedDateWithFormat(date, "", berlin), "");
}

TEST_F(DUDateFormattingTest, Parsing) {
    EXPECT_EQ(DUDate::dateWithString("2024-03-13 20:05:09", "yyyy-MM-dd HH:mm:ss", berlin), date);
    EXPECT_EQ(DUDate::dateWithString("2024-03-14 04:05:09", "yyyy-MM-dd HH:mm:ss"), date);
    EXPECT_EQ(DUDate::dateWithString("13/03/2024", "yyyy-MM-dd", berlin), std::nullopt);
    EXPECT_EQ(DUDate::dateWithString("2024-02-30", "yyyy-MM-dd", berlin), std::nullopt);
    EXPECT_EQ(DUDate::dateWithString("", "yyyy-MM-dd", berlin), std::nullopt);
    EXPECT_EQ(DUDate::dateWithString("2024-03-13", "yyyy-MM-dd", utc), NSDate::dateWithTimeIntervalSince1970(1710288000));
}

// Each call reconfigures a shared formatter; calls with different settings from several
// threads must each get the text of their own settings.
TEST_F(DUDateFormattingTest, SharedFormattersDoNotMixSettingsAcrossThreads) {
    NSLocalePtr german = NSLocale::localeWithLocaleIdentifier("de_DE");
    NSLocalePtr english = NSLocale::localeWithLocaleIdentifier("en_US");
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                bool odd = (t + i) % 2 == 1;
                std::string styled = DUDate::formattedDateWithStyle(date, odd ? NSDateFormatterFullStyle
                                                                              : NSDateFormatterShortStyle,
                                                                    odd ? utc : berlin, odd ? german : english);
                if (styled != (odd ? "Mittwoch, 13. März 2024" : "3/13/24")) ++mismatches;
                std::string patterned =
                    DUDate::formattedDateWithFormat(date, odd ? "HH:mm" : "yyyy", odd ? utc : berlin, english);
                if (patterned != (odd ? "19:05" : "2024")) ++mismatches;
                auto parsed = DUDate::dateWithString(odd ? "2024-03-13 19:05:09" : "13.03.2024 20:05:09",
                                                     odd ? "yyyy-MM-dd HH:mm:ss" : "dd.MM.yyyy HH:mm:ss",
                                                     odd ? utc : berlin);
                if (parsed != date) ++mismatches;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
