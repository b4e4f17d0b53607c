#include <platform_foundation/NSDateFormatter.h>

#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>

#include "DateICU.h"

struct NSDateFormatter::Engine {
    std::unique_ptr<icu::DateFormat> format;  // null when both styles are none and no pattern is set
    NSLocalePtr locale;
    NSTimeZonePtr zone;
    NSUInteger firstWeekday = 0;
    NSUInteger minimumDays = 0;
};

namespace {

icu::DateFormat::EStyle icuStyle(NSDateFormatterStyle style) {
    switch (style) {
        case NSDateFormatterShortStyle: return icu::DateFormat::kShort;
        case NSDateFormatterMediumStyle: return icu::DateFormat::kMedium;
        case NSDateFormatterLongStyle: return icu::DateFormat::kLong;
        case NSDateFormatterFullStyle: return icu::DateFormat::kFull;
        default: return icu::DateFormat::kNone;
    }
}

// Two-digit years read as 1950...2049, whatever today's date is.
constexpr UDate kTwoDigitStartMillis = -631152000000.0;  // 1950-01-01 00:00:00 UTC

}  // namespace

NSDateFormatter::NSDateFormatter() = default;
NSDateFormatter::~NSDateFormatter() = default;

std::string NSDateFormatter::dateFormat() const {
    std::lock_guard lock(mutex_);
    if (usesPattern_) return pattern_;
    Engine* e = engine();
    if (!e || !e->format) return {};
    icu::UnicodeString pattern;
    if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(e->format.get())) simple->toPattern(pattern);
    return dateicu::fromICU(pattern);
}

void NSDateFormatter::setDateFormat(const std::string& pattern) {
    std::lock_guard lock(mutex_);
    pattern_ = pattern;
    usesPattern_ = true;
    engine_.reset();
}

NSDateFormatterStyle NSDateFormatter::dateStyle() const {
    std::lock_guard lock(mutex_);
    return dateStyle_;
}

void NSDateFormatter::setDateStyle(NSDateFormatterStyle style) {
    std::lock_guard lock(mutex_);
    dateStyle_ = style;
    usesPattern_ = false;
    engine_.reset();
}

NSDateFormatterStyle NSDateFormatter::timeStyle() const {
    std::lock_guard lock(mutex_);
    return timeStyle_;
}

void NSDateFormatter::setTimeStyle(NSDateFormatterStyle style) {
    std::lock_guard lock(mutex_);
    timeStyle_ = style;
    usesPattern_ = false;
    engine_.reset();
}

NSLocalePtr NSDateFormatter::locale() const {
    std::lock_guard lock(mutex_);
    return locale_ ? locale_ : NSLocale::currentLocale();
}

void NSDateFormatter::setLocale(NSLocalePtr locale) {
    std::lock_guard lock(mutex_);
    locale_ = std::move(locale);
    engine_.reset();
}

NSTimeZonePtr NSDateFormatter::timeZone() const {
    std::lock_guard lock(mutex_);
    return timeZone_ ? timeZone_ : NSTimeZone::defaultTimeZone();
}

void NSDateFormatter::setTimeZone(NSTimeZonePtr zone) {
    std::lock_guard lock(mutex_);
    timeZone_ = std::move(zone);
    engine_.reset();
}

NSCalendarPtr NSDateFormatter::calendar() const {
    std::lock_guard lock(mutex_);
    if (calendar_) return calendar_;
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    calendar->setLocale(locale_ ? locale_ : NSLocale::currentLocale());
    calendar->setTimeZone(timeZone_ ? timeZone_ : NSTimeZone::defaultTimeZone());
    return calendar;
}

void NSDateFormatter::setCalendar(NSCalendarPtr calendar) {
    std::lock_guard lock(mutex_);
    calendar_ = std::move(calendar);
    engine_.reset();
}

bool NSDateFormatter::isLenient() const {
    std::lock_guard lock(mutex_);
    return lenient_;
}

void NSDateFormatter::setLenient(bool lenient) {
    std::lock_guard lock(mutex_);
    lenient_ = lenient;
    engine_.reset();
}

NSDateFormatter::Engine* NSDateFormatter::engine() const {
    NSLocalePtr locale = locale_ ? locale_ : NSLocale::currentLocale();
    NSTimeZonePtr zone = timeZone_ ? timeZone_ : NSTimeZone::defaultTimeZone();
    NSUInteger firstWeekday = calendar_ ? calendar_->firstWeekday() : 0;
    NSUInteger minimumDays = calendar_ ? calendar_->minimumDaysInFirstWeek() : 0;
    if (engine_ && engine_->locale == locale && engine_->zone == zone && engine_->firstWeekday == firstWeekday &&
        engine_->minimumDays == minimumDays)
        return engine_.get();

    auto e = std::make_unique<Engine>();
    e->locale = locale;
    e->zone = zone;
    e->firstWeekday = firstWeekday;
    e->minimumDays = minimumDays;
    const icu::Locale& icuLocale = dateicu::localeOf(*locale);
    UErrorCode status = U_ZERO_ERROR;
    if (usesPattern_) {
        e->format = std::make_unique<icu::SimpleDateFormat>(dateicu::toICU(pattern_), icuLocale, status);
    } else if (dateStyle_ != NSDateFormatterNoStyle || timeStyle_ != NSDateFormatterNoStyle) {
        e->format.reset(icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle_), icuStyle(timeStyle_), icuLocale));
    }
    if (U_FAILURE(status)) e->format.reset();
    if (e->format) {
        // Our calendar is always Gregorian, whatever calendar the locale would pick.
        auto* cal = new icu::GregorianCalendar(dateicu::zoneOf(*zone), icuLocale, status);
        cal->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);  // as NSCalendar reads a repeated hour
        if (calendar_) {
            cal->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(firstWeekday));
            cal->setMinimalDaysInFirstWeek(static_cast<uint8_t>(minimumDays));
        }
        e->format->adoptCalendar(cal);
        e->format->setLenient(lenient_);
        if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(e->format.get())) {
            UErrorCode st = U_ZERO_ERROR;
            simple->set2DigitYearStart(kTwoDigitStartMillis, st);
        }
    }
    engine_ = std::move(e);
    return engine_.get();
}

std::string NSDateFormatter::stringFromDate(const NSDate& date) const {
    std::lock_guard lock(mutex_);
    Engine* e = engine();
    if (!e->format) return {};
    icu::UnicodeString out;
    e->format->format(dateicu::toWholeMillis(date), out);
    return dateicu::fromICU(out);
}

std::optional<NSDate> NSDateFormatter::dateFromString(const std::string& text) const {
    std::lock_guard lock(mutex_);
    Engine* e = engine();
    if (!e->format) return std::nullopt;
    icu::UnicodeString input = dateicu::toICU(text);
    icu::ParsePosition pos(0);
    UDate ms = e->format->parse(input, pos);
    // Trailing text that the pattern does not cover makes the whole text fail.
    if (pos.getErrorIndex() >= 0 || pos.getIndex() != input.length()) return std::nullopt;
    return dateicu::fromUDate(ms);
}

std::string NSDateFormatter::localizedStringFromDate(const NSDate& date, NSDateFormatterStyle dateStyle,
                                                     NSDateFormatterStyle timeStyle) {
    NSDateFormatter formatter;
    formatter.setDateStyle(dateStyle);
    formatter.setTimeStyle(timeStyle);
    return formatter.stringFromDate(date);
}
