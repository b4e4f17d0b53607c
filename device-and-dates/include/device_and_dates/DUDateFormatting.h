#pragma once
// Dates as text by date style or pattern, and dates parsed from text by pattern, through shared
// formatters that are safe to use from several threads. See DUDateCalendar.h for the naming scheme.

#include <optional>
#include <string>

#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSDate.h>

namespace DUDate {

// Parses the whole text by the pattern, in the zone (the system zone when null); nothing when
// the text does not match.
std::optional<NSDate> dateWithString(const std::string& string, const std::string& formatString,
                                     const NSTimeZonePtr& timeZone = nullptr);

// The date part only (the time style stays none), so style none gives the empty text. A null
// zone means the system time zone, a null locale the current locale.
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style);
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style, const NSTimeZonePtr& timeZone);
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style, const NSLocalePtr& locale);
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style, const NSTimeZonePtr& timeZone,
                                   const NSLocalePtr& locale);

std::string formattedDateWithFormat(const NSDate& self, const std::string& format);
std::string formattedDateWithFormat(const NSDate& self, const std::string& format, const NSTimeZonePtr& timeZone);
std::string formattedDateWithFormat(const NSDate& self, const std::string& format, const NSLocalePtr& locale);
std::string formattedDateWithFormat(const NSDate& self, const std::string& format, const NSTimeZonePtr& timeZone,
                                    const NSLocalePtr& locale);

}  // namespace DUDate
