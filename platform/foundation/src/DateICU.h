#pragma once
// Conversions between our date, text and time-zone types and ICU's, shared by the calendar,
// time-zone, locale and date-formatter sources.

#include <cmath>
#include <memory>
#include <string>
#include <string_view>

#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSDate.h>

struct NSTimeZone::Impl {
    std::string name;
    std::unique_ptr<icu::TimeZone> zone;  // only const members are used: safe to share across threads
};

struct NSLocale::Impl {
    std::string identifier;  // as the caller gave it
    icu::Locale locale;
};

namespace dateicu {

// ICU counts milliseconds since 1970; we count seconds since 2001.
inline UDate toUDate(const NSDate& date) {
    return (date.timeIntervalSinceReferenceDate() + NSTimeIntervalSince1970) * 1000.0;
}
inline NSDate fromUDate(UDate ms) { return NSDate(ms / 1000.0 - NSTimeIntervalSince1970); }

// Whole milliseconds of the date, rounding to the microsecond first so that 1.123 s (stored as
// 1.12299999...) still reads as 123 ms.
inline UDate toWholeMillis(const NSDate& date) {
    double micros = std::round((date.timeIntervalSinceReferenceDate() + NSTimeIntervalSince1970) * 1e6);
    return std::floor(micros / 1000.0);
}

inline icu::UnicodeString toICU(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}
inline std::string fromICU(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

inline const icu::TimeZone& zoneOf(const NSTimeZone& zone) { return *zone.impl().zone; }
inline const icu::Locale& localeOf(const NSLocale& locale) { return locale.impl().locale; }

}  // namespace dateicu
