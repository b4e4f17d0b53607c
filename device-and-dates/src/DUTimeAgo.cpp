#include <device_and_dates/DUTimeAgo.h>

#include <cctype>
#include <cmath>
#include <limits>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSCalendar.h>
#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSStringFormat.h>

#include "DUStringsTable.h"

namespace {

struct UnitTexts {
    const char* shortPattern;
    const char* longPattern;
    const char* wordKey;
    const char* numericKey;
    bool dateUnit;  // follows the numeric-dates flag, else the numeric-times flag
};

constexpr UnitTexts kUnits[] = {
    {"%%d%@y", "%%d %@years ago", "Last year", "1 year ago", true},
    {"%%d%@M", "%%d %@months ago", "Last month", "1 month ago", true},
    {"%%d%@w", "%%d %@weeks ago", "Last week", "1 week ago", true},
    {"%%d%@d", "%%d %@days ago", "Yesterday", "1 day ago", true},
    {"%%d%@h", "%%d %@hours ago", "An hour ago", "1 hour ago", false},
    {"%%d%@m", "%%d %@minutes ago", "A minute ago", "1 minute ago", false},
    {"%%d%@s", "%%d %@seconds ago", "Just now", "1 second ago", false},
};

bool numericDates(DUTimeAgoFormat f) {
    return f == DUTimeAgoFormatLongNumericDatesAndTimes || f == DUTimeAgoFormatLongNumericDates;
}
bool numericTimes(DUTimeAgoFormat f) {
    return f == DUTimeAgoFormatLongNumericDatesAndTimes || f == DUTimeAgoFormatLongNumericTimes;
}

// Russian and Ukrainian in any regional variant: "ru", "ru-RU", "ru_RU", "uk", "uk-UA".
bool usesSlavicPluralRule(const std::string& localization) {
    std::string language = localization.substr(0, localization.find_first_of("-_"));
    for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return language == "ru" || language == "uk";
}

}  // namespace

namespace DUDate {

std::optional<std::string> timeAgoSinceDate(const NSDate& date) { return timeAgoSinceDate(date, NSDate::date()); }
std::optional<std::string> shortTimeAgoSinceDate(const NSDate& date) {
    return shortTimeAgoSinceDate(date, NSDate::date());
}
std::optional<std::string> weekTimeAgoSinceDate(const NSDate& date) {
    return weekTimeAgoSinceDate(date, NSDate::date());
}

std::optional<std::string> timeAgoSinceNow(const NSDate& self) { return timeAgoSinceDate(self, NSDate::date()); }
std::optional<std::string> shortTimeAgoSinceNow(const NSDate& self) {
    return shortTimeAgoSinceDate(self, NSDate::date());
}
std::optional<std::string> weekTimeAgoSinceNow(const NSDate& self) {
    return weekTimeAgoSinceDate(self, NSDate::date());
}

std::optional<std::string> timeAgoSinceDate(const NSDate& self, const NSDate& date, bool numericDates,
                                            bool numericTimes) {
    DUTimeAgoFormat format = DUTimeAgoFormatLong;
    if (numericDates && numericTimes) format = DUTimeAgoFormatLongNumericDatesAndTimes;
    else if (numericDates) format = DUTimeAgoFormatLongNumericDates;
    else if (numericTimes) format = DUTimeAgoFormatLongNumericTimes;
    return timeAgoSinceDate(self, date, format);
}

std::optional<std::string> shortTimeAgoSinceDate(const NSDate& self, const NSDate& date) {
    return timeAgoSinceDate(self, date, DUTimeAgoFormatShort);
}

std::optional<std::string> weekTimeAgoSinceDate(const NSDate& self, const NSDate& date) {
    return timeAgoSinceDate(self, date, DUTimeAgoFormatWeek);
}

std::optional<std::string> timeAgoSinceDate(const NSDate& self, const NSDate& date, DUTimeAgoFormat format) {
    NSCalendarPtr calendar = NSCalendar::currentCalendar();
    NSDate earliest = self.earlierDate(date);
    NSDate latest = earliest == self ? date : self;

    NSDateComponents diff =
        calendar->components(NSCalendarUnitHour | NSCalendarUnitMinute | NSCalendarUnitSecond, earliest, latest);
    if (diff.hour() <= 23) {
        if (diff.hour() >= 1) return localizedStringFor(self, format, DUTimeAgoUnitHours, diff.hour());
        if (diff.minute() >= 1) return localizedStringFor(self, format, DUTimeAgoUnitMinutes, diff.minute());
        return localizedStringFor(self, format, DUTimeAgoUnitSeconds, diff.second());
    }

    // A day or more: count calendar days between the starts of both days, so that any
    // midnight crossed counts as a whole day.
    NSDate earliestDay = calendar->startOfDayForDate(earliest);
    NSDate latestDay = calendar->startOfDayForDate(latest);
    diff = calendar->components(
        NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitWeekOfYear | NSCalendarUnitDay, earliestDay, latestDay);
    if (diff.year() >= 1) return localizedStringFor(self, format, DUTimeAgoUnitYears, diff.year());
    if (diff.month() >= 1) return localizedStringFor(self, format, DUTimeAgoUnitMonths, diff.month());
    if (diff.weekOfYear() >= 1) return localizedStringFor(self, format, DUTimeAgoUnitWeeks, diff.weekOfYear());
    return localizedStringFor(self, format, DUTimeAgoUnitDays, diff.day());
}

std::optional<std::string> localizedStringFor(const NSDate& self, DUTimeAgoFormat format, DUTimeAgoUnit unit,
                                              int64_t value) {
    if (unit > DUTimeAgoUnitSeconds) return std::nullopt;
    const UnitTexts& texts = kUnits[unit];
    if (format == DUTimeAgoFormatShort) return logicLocalizedStringFromFormat(texts.shortPattern, value);
    if (value < 2) {
        bool numeric = texts.dateUnit ? numericDates(format) : numericTimes(format);
        return du_detail::dateUtilsLocalizedString(numeric ? texts.numericKey : texts.wordKey);
    }
    if (unit == DUTimeAgoUnitDays && format == DUTimeAgoFormatWeek && value <= 7) {
        NSDateFormatter weekday;
        weekday.setDateFormat("EEE");
        return du_detail::dateUtilsLocalizedString(weekday.stringFromDate(self));
    }
    return logicLocalizedStringFromFormat(texts.longPattern, value);
}

std::optional<std::string> logicLocalizedStringFromFormat(const std::string& pattern, int64_t value) {
    std::string key = NSStringWithFormat(pattern, getLocaleFormatUnderscoresWithValue(static_cast<double>(value)));
    std::optional<std::string> text = du_detail::dateUtilsLocalizedString(key);
    if (!text) return std::nullopt;
    return NSStringWithFormat(*text, value);
}

std::string getLocaleFormatUnderscoresWithValue(double value) {
    NSBundlePtr main = NSBundle::mainBundle();
    std::vector<std::string> localizations = main ? main->preferredLocalizations() : std::vector<std::string>{};
    if (localizations.empty() || !usesSlavicPluralRule(localizations.front())) return "";
    // Values beyond 32 bits are clamped rather than converted with undefined behaviour.
    double floored = std::floor(value);
    if (!(floored >= std::numeric_limits<int32_t>::min())) floored = std::numeric_limits<int32_t>::min();
    if (floored > std::numeric_limits<int32_t>::max()) floored = std::numeric_limits<int32_t>::max();
    int32_t n = static_cast<int32_t>(floored);
    int32_t xy = n % 100;
    int32_t y = n % 10;
    if (y == 0 || y > 4 || (xy >= 11 && xy <= 14)) return "";
    if (y >= 2 && y <= 4 && !(xy >= 10 && xy <= 20)) return "_";
    if (y == 1 && xy != 11) return "__";
    return "";
}

}  // namespace DUDate
