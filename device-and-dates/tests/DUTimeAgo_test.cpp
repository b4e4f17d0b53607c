#include <device_and_dates/DUDateCalendar.h>
#include <device_and_dates/DUTimeAgo.h>

#include <gtest/gtest.h>

#include "DUDateTestEnvironment.h"

namespace {

struct Span {
    NSDate then;
    NSDate now;
};

struct TextCase {
    const char* name;
    Span span;
    DUTimeAgoFormat format;
    const char* expected;
};

class DUTimeAgoTest : public ::testing::Test {
protected:
    DUDateTestEnvironment env;
    NSDate now = env.at(2024, 3, 13, 10, 0, 0);  // a Wednesday
    Span ago(NSTimeInterval seconds) const { return {now.dateByAddingTimeInterval(-seconds), now}; }
};

TEST_F(DUTimeAgoTest, EnglishTextsAtEveryBoundary) {
    const TextCase cases[] = {
        {"0s word", ago(0), DUTimeAgoFormatLong, "Just now"},
        {"1s word", ago(1), DUTimeAgoFormatLong, "Just now"},
        {"1s numeric times", ago(1), DUTimeAgoFormatLongNumericTimes, "1 second ago"},
        {"1s numeric both", ago(1), DUTimeAgoFormatLongNumericDatesAndTimes, "1 second ago"},
        {"1s numeric dates only", ago(1), DUTimeAgoFormatLongNumericDates, "Just now"},
        {"59s", ago(59), DUTimeAgoFormatLong, "59 seconds ago"},
        {"60s", ago(60), DUTimeAgoFormatLong, "A minute ago"},
        {"60s numeric", ago(60), DUTimeAgoFormatLongNumericTimes, "1 minute ago"},
        {"59m59s", ago(3599), DUTimeAgoFormatLong, "59 minutes ago"},
        {"1h", ago(3600), DUTimeAgoFormatLong, "An hour ago"},
        {"1h numeric", ago(3600), DUTimeAgoFormatLongNumericDatesAndTimes, "1 hour ago"},
        {"1h numeric dates only", ago(3600), DUTimeAgoFormatLongNumericDates, "An hour ago"},
        {"23h59m over midnight", ago(23 * 3600 + 59 * 60), DUTimeAgoFormatLong, "23 hours ago"},
        {"24h word", ago(24 * 3600), DUTimeAgoFormatLong, "Yesterday"},
        {"24h numeric dates", ago(24 * 3600), DUTimeAgoFormatLongNumericDates, "1 day ago"},
        {"24h numeric times only", ago(24 * 3600), DUTimeAgoFormatLongNumericTimes, "Yesterday"},
        {"30h over two midnights", {env.at(2024, 3, 11, 20), env.at(2024, 3, 13, 2)}, DUTimeAgoFormatLong,
         "2 days ago"},
        {"6 days", ago(6 * 86400), DUTimeAgoFormatLong, "6 days ago"},
        {"7 days", ago(7 * 86400), DUTimeAgoFormatLong, "Last week"},
        {"7 days numeric", ago(7 * 86400), DUTimeAgoFormatLongNumericDates, "1 week ago"},
        {"20 days", ago(20 * 86400), DUTimeAgoFormatLong, "2 weeks ago"},
        {"1 month 5 days", {env.at(2024, 1, 10, 9), env.at(2024, 2, 15, 9)}, DUTimeAgoFormatLong, "Last month"},
        {"1 month numeric", {env.at(2024, 1, 10, 9), env.at(2024, 2, 15, 9)}, DUTimeAgoFormatLongNumericDates,
         "1 month ago"},
        {"11 months", {env.at(2023, 4, 13, 10), now}, DUTimeAgoFormatLong, "11 months ago"},
        {"1 year", {env.at(2023, 3, 13, 10), now}, DUTimeAgoFormatLong, "Last year"},
        {"1 year numeric", {env.at(2023, 3, 13, 10), now}, DUTimeAgoFormatLongNumericDates, "1 year ago"},
        {"5 years", {env.at(2019, 1, 1, 10), now}, DUTimeAgoFormatLong, "5 years ago"},
        {"short 0s", ago(0), DUTimeAgoFormatShort, "0s"},
        {"short 1h", ago(3600), DUTimeAgoFormatShort, "1h"},
        {"short 45m", ago(45 * 60), DUTimeAgoFormatShort, "45m"},
        {"short 3d", ago(3 * 86400), DUTimeAgoFormatShort, "3d"},
        {"short 2w", ago(14 * 86400), DUTimeAgoFormatShort, "2w"},
        {"short 2M", {env.at(2024, 1, 13, 10), now}, DUTimeAgoFormatShort, "2M"},
        {"short 3y", {env.at(2021, 3, 13, 10), now}, DUTimeAgoFormatShort, "3y"},
        {"week 1 day", ago(86400), DUTimeAgoFormatWeek, "Yesterday"},
        {"week 3 days names the weekday", ago(3 * 86400), DUTimeAgoFormatWeek, "Sun"},
        {"week 6 days", ago(6 * 86400), DUTimeAgoFormatWeek, "Thu"},
        {"week 7 days is a week", ago(7 * 86400), DUTimeAgoFormatWeek, "Last week"},
        {"week hours", ago(5 * 3600), DUTimeAgoFormatWeek, "5 hours ago"},
        // Clocks go forward on 31 March: noon to noon is 23 hours.
        {"over the DST start", {env.at(2024, 3, 30, 12), env.at(2024, 3, 31, 12)}, DUTimeAgoFormatLong,
         "23 hours ago"},
        {"over the DST end", {env.at(2024, 10, 26, 12), env.at(2024, 10, 27, 12)}, DUTimeAgoFormatLong,
         "Yesterday"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DUDate::timeAgoSinceDate(c.span.then, c.span.now, c.format), c.expected);
        // A receiver later than the argument reads the same (the week format names the
        // receiver's weekday, so it is left out).
        if (c.format != DUTimeAgoFormatWeek) {
            EXPECT_EQ(DUDate::timeAgoSinceDate(c.span.now, c.span.then, c.format), c.expected);
        }
    }
}

TEST_F(DUTimeAgoTest, EntryPointsAgainstNowAndFlagsPickTheFormat) {
    env.setNow(now);
    NSDate then = now.dateByAddingTimeInterval(-3 * 3600);
    EXPECT_EQ(DUDate::timeAgoSinceNow(then), "3 hours ago");
    EXPECT_EQ(DUDate::timeAgoSinceDate(then), "3 hours ago");
    EXPECT_EQ(DUDate::shortTimeAgoSinceNow(then), "3h");
    EXPECT_EQ(DUDate::shortTimeAgoSinceDate(then), "3h");
    EXPECT_EQ(DUDate::weekTimeAgoSinceNow(then), "3 hours ago");
    EXPECT_EQ(DUDate::weekTimeAgoSinceDate(then), "3 hours ago");

    NSDate yesterday = now.dateByAddingTimeInterval(-86400);
    NSDate hourAgo = now.dateByAddingTimeInterval(-3600);
    EXPECT_EQ(DUDate::timeAgoSinceDate(yesterday, now, true), "1 day ago");
    EXPECT_EQ(DUDate::timeAgoSinceDate(hourAgo, now, true), "An hour ago");
    EXPECT_EQ(DUDate::timeAgoSinceDate(hourAgo, now, false, true), "1 hour ago");
    EXPECT_EQ(DUDate::timeAgoSinceDate(yesterday, now, false, true), "Yesterday");
    EXPECT_EQ(DUDate::timeAgoSinceDate(yesterday, now, true, true), "1 day ago");
}

TEST_F(DUTimeAgoTest, OneUnitTexts) {
    // The week format names the receiver's weekday for 2 to 7 days, whatever the count.
    EXPECT_EQ(DUDate::localizedStringFor(now, DUTimeAgoFormatWeek, DUTimeAgoUnitDays, 7), "Wed");
    EXPECT_EQ(DUDate::localizedStringFor(now, DUTimeAgoFormatWeek, DUTimeAgoUnitDays, 8), "8 days ago");
    EXPECT_EQ(DUDate::localizedStringFor(now, DUTimeAgoFormatLong, DUTimeAgoUnitDays, 0), "Yesterday");
    EXPECT_EQ(DUDate::localizedStringFor(now, DUTimeAgoFormatLong, DUTimeAgoUnitHours, -4), "An hour ago");
    EXPECT_EQ(DUDate::localizedStringFor(now, DUTimeAgoFormatShort, DUTimeAgoUnitHours, 1), "1h");
    EXPECT_EQ(DUDate::localizedStringFor(now, DUTimeAgoFormatLong, static_cast<DUTimeAgoUnit>(7), 3), std::nullopt);
}

struct PluralCase {
    double value;
    const char* suffix;
};

TEST(DUTimeAgoPlural, RussianAndUkrainianSuffixes) {
    const PluralCase cases[] = {{1, "__"}, {2, "_"},  {4, "_"},   {21, "__"}, {22, "_"}, {101, "__"},
                                {0, ""},   {5, ""},   {11, ""},   {12, ""},   {14, ""},  {20, ""},
                                {111, ""}, {112, ""}, {1.9, "__"}, {-1, ""},  {-2, ""}};
    // Localisations of the main bundle, each chosen by the matching preferred language.
    const std::pair<const char*, const char*> slavic[] = {{"ru-RU", "ru-RU"}, {"ru", "ru"}, {"uk", "uk"}};
    for (auto [language, localization] : slavic) {
        DUDateTestEnvironment env("Europe/Moscow", "ru_RU", {language}, {"en", localization});
        ASSERT_EQ(NSBundle::mainBundle()->preferredLocalizations().front(), localization);
        for (const PluralCase& c : cases) {
            SCOPED_TRACE(std::string(language) + " " + std::to_string(c.value));
            EXPECT_EQ(DUDate::getLocaleFormatUnderscoresWithValue(c.value), c.suffix);
        }
    }
    DUDateTestEnvironment english("Europe/Berlin", "en_US", {"en"}, {"en", "ru"});
    EXPECT_EQ(DUDate::getLocaleFormatUnderscoresWithValue(1), "");
    EXPECT_EQ(DUDate::getLocaleFormatUnderscoresWithValue(2), "");
}

TEST(DUTimeAgoPlural, RussianTexts) {
    // The app's own localisation is named plainly "ru".
    DUDateTestEnvironment env("Europe/Moscow", "ru_RU", {"ru-RU"}, {"en", "ru"});
    NSDate now = env.at(2024, 3, 13, 10);
    auto minutes = [&](int n) { return DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-60.0 * n), now); };
    auto hours = [&](int n) { return DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-3600.0 * n), now); };
    EXPECT_EQ(minutes(1), "Минуту назад");
    EXPECT_EQ(minutes(2), "2 минуты назад");
    EXPECT_EQ(minutes(5), "5 минут назад");
    EXPECT_EQ(minutes(11), "11 минут назад");
    EXPECT_EQ(minutes(21), "21 минуту назад");
    EXPECT_EQ(minutes(22), "22 минуты назад");
    EXPECT_EQ(minutes(59), "59 минут назад");
    EXPECT_EQ(hours(3), "3 часа назад");
    EXPECT_EQ(hours(21), "21 час назад");
    EXPECT_EQ(DUDate::timeAgoSinceDate(env.at(2003, 3, 13, 10), now), "21 год назад");
    EXPECT_EQ(DUDate::timeAgoSinceDate(env.at(2022, 3, 13, 10), now), "2 года назад");
    EXPECT_EQ(DUDate::timeAgoSinceDate(env.at(2012, 3, 13, 10), now), "12 лет назад");
    EXPECT_EQ(DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-86400), now), "Вчера");
    EXPECT_EQ(DUDate::shortTimeAgoSinceDate(now.dateByAddingTimeInterval(-5 * 3600), now), "5ч");
}

TEST(DUTimeAgoPlural, UkrainianTexts) {
    DUDateTestEnvironment env("Europe/Kyiv", "uk_UA", {"uk"}, {"en", "uk"});
    NSDate now = env.at(2024, 3, 13, 10);
    auto hours = [&](int n) { return DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-3600.0 * n), now); };
    EXPECT_EQ(hours(1), "Годину тому");
    EXPECT_EQ(hours(3), "3 години тому");
    EXPECT_EQ(hours(5), "5 годин тому");
    EXPECT_EQ(hours(21), "21 годину тому");
    EXPECT_EQ(DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-14 * 86400), now), "2 тижні тому");
}

TEST(DUTimeAgoStrings, MissingTranslationsAndMissingBundle) {
    // No German table: the development language answers.
    DUDateTestEnvironment env("Europe/Berlin", "de_DE", {"de"}, {"en", "de"});
    NSDate now = env.at(2024, 3, 13, 10);
    EXPECT_EQ(DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-7200), now), "2 hours ago");
    // A key the table lacks shows as itself, formatted.
    EXPECT_EQ(DUDate::logicLocalizedStringFromFormat("%%d %@fortnights", 3), "3 fortnights");

    NSBundle::registerBundleForClass("DUError", NSBundle::bundleWithPath(env.mainBundlePath()));
    EXPECT_EQ(DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-7200), now), std::nullopt);
    EXPECT_EQ(DUDate::timeAgoSinceDate(now.dateByAddingTimeInterval(-86400), now), std::nullopt);
}

TEST(DUDateCalendarTest, DefaultCalendarIdentifier) {
    DUDateTestEnvironment env;
    EXPECT_EQ(DUDate::defaultCalendarIdentifier(), NSCalendarIdentifierGregorian);
    DUDate::setDefaultCalendarIdentifier(std::nullopt);
    EXPECT_EQ(DUDate::defaultCalendarIdentifier(), std::nullopt);
    ASSERT_NE(DUDate::implicitCalendar(), nullptr);
    EXPECT_EQ(DUDate::implicitCalendar()->calendarIdentifier(), NSCalendarIdentifierGregorian);
    // An identifier without a calendar still leaves a working one.
    DUDate::setDefaultCalendarIdentifier("coptic-unknown");
    EXPECT_EQ(DUDate::defaultCalendarIdentifier(), "coptic-unknown");
    ASSERT_NE(DUDate::implicitCalendar(), nullptr);
}

}  // namespace
