#pragma once
// Relative "time ago" texts for dates (three hours ago, "Yesterday", "5d", a weekday name),
// localised through the "DateUtils" strings table of DateUtils.bundle with plural forms.

#include <cstdint>
#include <optional>
#include <string>

#include <platform_runtime/NSDate.h>

enum DUTimeAgoFormat : uint64_t {
    DUTimeAgoFormatLong = 0,
    DUTimeAgoFormatLongNumericDatesAndTimes = 1,
    DUTimeAgoFormatLongNumericDates = 2,
    DUTimeAgoFormatLongNumericTimes = 3,
    DUTimeAgoFormatShort = 4,
    DUTimeAgoFormatWeek = 5,
};

enum DUTimeAgoUnit : uint64_t {
    DUTimeAgoUnitYears = 0,
    DUTimeAgoUnitMonths = 1,
    DUTimeAgoUnitWeeks = 2,
    DUTimeAgoUnitDays = 3,
    DUTimeAgoUnitHours = 4,
    DUTimeAgoUnitMinutes = 5,
    DUTimeAgoUnitSeconds = 6,
};

// Every text is nothing when DateUtils.bundle cannot be found. Spans are measured in the
// platform's current calendar; a date after the other one reads as the reverse order.
namespace DUDate {

// Class-level forms: the date against now.
std::optional<std::string> timeAgoSinceDate(const NSDate& date);
std::optional<std::string> shortTimeAgoSinceDate(const NSDate& date);
std::optional<std::string> weekTimeAgoSinceDate(const NSDate& date);

std::optional<std::string> timeAgoSinceNow(const NSDate& self);
std::optional<std::string> shortTimeAgoSinceNow(const NSDate& self);
std::optional<std::string> weekTimeAgoSinceNow(const NSDate& self);

std::optional<std::string> timeAgoSinceDate(const NSDate& self, const NSDate& date, bool numericDates = false,
                                            bool numericTimes = false);
std::optional<std::string> shortTimeAgoSinceDate(const NSDate& self, const NSDate& date);
std::optional<std::string> weekTimeAgoSinceDate(const NSDate& self, const NSDate& date);
std::optional<std::string> timeAgoSinceDate(const NSDate& self, const NSDate& date, DUTimeAgoFormat format);

// The text of one unit and value; nothing for a unit outside 0 to 6. The week format names
// the receiver's weekday for 2 to 7 days.
std::optional<std::string> localizedStringFor(const NSDate& self, DUTimeAgoFormat format, DUTimeAgoUnit unit,
                                              int64_t value);
// Looks up the pattern ("%%d %@days ago") with the plural suffix of the value in place of
// "%@", then formats the entry found (or the key) with the value.
std::optional<std::string> logicLocalizedStringFromFormat(const std::string& pattern, int64_t value);
// The plural-form suffix for Russian and Ukrainian localisations of the main bundle: "__" for
// the one form (1, 21, 101), "_" for the few form (2-4, 22-24), "" otherwise and in other languages.
std::string getLocaleFormatUnderscoresWithValue(double value);

}  // namespace DUDate
