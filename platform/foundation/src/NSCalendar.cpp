#include <platform_foundation/NSCalendar.h>

#include <climits>
#include <cmath>

#include <unicode/gregocal.h>

#include "DateICU.h"

struct NSCalendar::Impl {
    NSTimeZonePtr zone;
    NSLocalePtr locale;
    std::optional<NSUInteger> firstWeekday;
    std::optional<NSUInteger> minimumDays;
    std::unique_ptr<icu::Calendar> cal;

    void rebuild() {
        UErrorCode status = U_ZERO_ERROR;
        cal = std::make_unique<icu::GregorianCalendar>(dateicu::zoneOf(*zone), dateicu::localeOf(*locale), status);
        if (U_FAILURE(status)) cal = std::make_unique<icu::GregorianCalendar>(dateicu::zoneOf(*zone), status);
        // A wall time that a DST change repeats names its first occurrence.
        cal->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
        if (firstWeekday) cal->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(*firstWeekday));
        if (minimumDays) cal->setMinimalDaysInFirstWeek(static_cast<uint8_t>(*minimumDays));
    }
};

namespace {

std::mutex& currentCalendarMutex() {
    static std::mutex m;
    return m;
}
NSCalendarPtr& currentCalendarSlot() {
    static NSCalendarPtr calendar;
    return calendar;
}

// The ICU field behind a unit that is one plain field; nullopt for the others.
std::optional<UCalendarDateFields> fieldOf(NSCalendarUnit unit) {
    switch (unit) {
        case NSCalendarUnitEra: return UCAL_ERA;
        case NSCalendarUnitYear: return UCAL_YEAR;
        case NSCalendarUnitMonth: return UCAL_MONTH;
        case NSCalendarUnitDay: return UCAL_DATE;
        case NSCalendarUnitHour: return UCAL_HOUR_OF_DAY;
        case NSCalendarUnitMinute: return UCAL_MINUTE;
        case NSCalendarUnitSecond: return UCAL_SECOND;
        case NSCalendarUnitWeekday: return UCAL_DAY_OF_WEEK;
        case NSCalendarUnitWeekdayOrdinal: return UCAL_DAY_OF_WEEK_IN_MONTH;
        case NSCalendarUnitWeekOfMonth: return UCAL_WEEK_OF_MONTH;
        case NSCalendarUnitWeekOfYear: return UCAL_WEEK_OF_YEAR;
        case NSCalendarUnitYearForWeekOfYear: return UCAL_YEAR_WOY;
        default: return std::nullopt;
    }
}

bool fitsInt32(NSInteger v) { return v >= INT32_MIN && v <= INT32_MAX; }
bool isSet(NSInteger v) { return v != NSDateComponentUndefined; }
bool has(NSCalendarUnit set, NSCalendarUnit unit) { return (set & unit) != 0; }

int32_t get(const icu::Calendar& cal, UCalendarDateFields field) {
    UErrorCode status = U_ZERO_ERROR;
    return cal.get(field, status);
}

// Seconds since 1970 split into whole milliseconds (what ICU computes with) and the rest.
struct SplitTime {
    UDate millis;
    double residual;  // seconds below a millisecond
};
SplitTime split(const NSDate& date) {
    UDate ms = dateicu::toWholeMillis(date);
    return {ms, date.timeIntervalSince1970() - ms / 1000.0};
}
NSDate join(UDate millis, double residual) { return dateicu::fromUDate(millis).dateByAddingTimeInterval(residual); }

// The first instant of the given day; a skipped midnight resolves to the first valid time after it.
UDate startOfDay(icu::Calendar& cal, int32_t era, int32_t year, int32_t month0, int32_t day) {
    cal.clear();
    cal.setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    cal.set(UCAL_ERA, era);
    cal.set(UCAL_YEAR, year);
    cal.set(UCAL_MONTH, month0);
    cal.set(UCAL_DATE, day);
    UErrorCode status = U_ZERO_ERROR;
    UDate t = cal.getTime(status);
    cal.setSkippedWallTimeOption(UCAL_WALLTIME_LAST);
    return t;
}

}  // namespace

NSCalendar::NSCalendar() : impl_(std::make_unique<Impl>()) {
    impl_->zone = NSTimeZone::defaultTimeZone();
    impl_->locale = NSLocale::currentLocale();
    impl_->rebuild();
}

NSCalendar::~NSCalendar() = default;

NSCalendarPtr NSCalendar::calendarWithIdentifier(const std::string& identifier) {
    if (identifier != NSCalendarIdentifierGregorian) return nullptr;
    return std::make_shared<NSCalendar>();
}

NSCalendarPtr NSCalendar::currentCalendar() {
    {
        std::lock_guard lock(currentCalendarMutex());
        if (auto calendar = currentCalendarSlot()) return calendar;
    }
    return std::make_shared<NSCalendar>();
}

void NSCalendar::setCurrentCalendar(NSCalendarPtr calendar) {
    std::lock_guard lock(currentCalendarMutex());
    currentCalendarSlot() = std::move(calendar);
}

NSTimeZonePtr NSCalendar::timeZone() const {
    std::lock_guard lock(mutex_);
    return impl_->zone;
}

void NSCalendar::setTimeZone(NSTimeZonePtr zone) {
    if (!zone) zone = NSTimeZone::defaultTimeZone();
    std::lock_guard lock(mutex_);
    impl_->zone = std::move(zone);
    impl_->cal->setTimeZone(dateicu::zoneOf(*impl_->zone));
}

NSLocalePtr NSCalendar::locale() const {
    std::lock_guard lock(mutex_);
    return impl_->locale;
}

void NSCalendar::setLocale(NSLocalePtr locale) {
    if (!locale) locale = NSLocale::currentLocale();
    std::lock_guard lock(mutex_);
    impl_->locale = std::move(locale);
    impl_->rebuild();
}

NSUInteger NSCalendar::firstWeekday() const {
    std::lock_guard lock(mutex_);
    return static_cast<NSUInteger>(impl_->cal->getFirstDayOfWeek());
}

void NSCalendar::setFirstWeekday(NSUInteger weekday) {
    if (weekday < 1 || weekday > 7) return;
    std::lock_guard lock(mutex_);
    impl_->firstWeekday = weekday;
    impl_->cal->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(weekday));
}

NSUInteger NSCalendar::minimumDaysInFirstWeek() const {
    std::lock_guard lock(mutex_);
    return impl_->cal->getMinimalDaysInFirstWeek();
}

void NSCalendar::setMinimumDaysInFirstWeek(NSUInteger days) {
    if (days < 1 || days > 7) return;
    std::lock_guard lock(mutex_);
    impl_->minimumDays = days;
    impl_->cal->setMinimalDaysInFirstWeek(static_cast<uint8_t>(days));
}

NSCalendarPtr NSCalendar::copy() const {
    auto other = std::make_shared<NSCalendar>();
    std::lock_guard lock(mutex_);
    other->impl_->zone = impl_->zone;
    other->impl_->locale = impl_->locale;
    other->impl_->firstWeekday = impl_->firstWeekday;
    other->impl_->minimumDays = impl_->minimumDays;
    other->impl_->rebuild();
    return other;
}

NSDateComponents NSCalendar::components(NSCalendarUnit units, const NSDate& date) const {
    NSDateComponents out;
    SplitTime t = split(date);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(t.millis, status);
    if (U_FAILURE(status)) return out;
    for (NSCalendarUnit unit : {NSCalendarUnitEra, NSCalendarUnitYear, NSCalendarUnitMonth, NSCalendarUnitDay,
                                NSCalendarUnitHour, NSCalendarUnitMinute, NSCalendarUnitSecond, NSCalendarUnitWeekday,
                                NSCalendarUnitWeekdayOrdinal, NSCalendarUnitWeekOfMonth, NSCalendarUnitWeekOfYear,
                                NSCalendarUnitYearForWeekOfYear}) {
        if (!has(units, unit)) continue;
        NSInteger value = get(cal, *fieldOf(unit));
        if (unit == NSCalendarUnitMonth) value += 1;
        out.setValue(value, unit);
    }
    if (has(units, NSCalendarUnitQuarter)) out.setQuarter(get(cal, UCAL_MONTH) / 3 + 1);
    if (has(units, NSCalendarUnitNanosecond)) {
        NSInteger nanos = static_cast<NSInteger>(get(cal, UCAL_MILLISECOND)) * 1000000 +
                          static_cast<NSInteger>(std::llround(t.residual * 1e9));
        out.setNanosecond(std::clamp<NSInteger>(nanos, 0, 999999999));
    }
    if (has(units, NSCalendarUnitCalendar))
        out.setCalendar(std::const_pointer_cast<NSCalendar>(
            std::static_pointer_cast<const NSCalendar>(weak_from_this().lock())));
    if (has(units, NSCalendarUnitTimeZone)) out.setTimeZone(impl_->zone);
    return out;
}

NSInteger NSCalendar::component(NSCalendarUnit unit, const NSDate& date) const {
    return components(unit, date).valueForComponent(unit);
}

NSDateComponents NSCalendar::components(NSCalendarUnit units, const NSDate& from, const NSDate& to,
                                        NSCalendarOptions) const {
    NSDateComponents out;
    SplitTime a = split(from), b = split(to);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(a.millis, status);
    // Greedy: whole units of the largest unit first, the calendar advancing as it goes.
    auto diff = [&](UCalendarDateFields field) -> NSInteger {
        UErrorCode st = U_ZERO_ERROR;
        int32_t n = cal.fieldDifference(b.millis, field, st);
        return U_FAILURE(st) ? 0 : n;
    };
    if (has(units, NSCalendarUnitEra)) out.setEra(diff(UCAL_ERA));
    if (has(units, NSCalendarUnitYear)) out.setYear(diff(UCAL_YEAR));
    if (has(units, NSCalendarUnitYearForWeekOfYear)) out.setYearForWeekOfYear(diff(UCAL_YEAR_WOY));
    if (has(units, NSCalendarUnitQuarter)) {
        std::unique_ptr<icu::Calendar> probe(cal.clone());
        UErrorCode st = U_ZERO_ERROR;
        int32_t quarters = probe->fieldDifference(b.millis, UCAL_MONTH, st) / 3;
        out.setQuarter(U_FAILURE(st) ? 0 : quarters);
        if (U_SUCCESS(st)) cal.add(UCAL_MONTH, quarters * 3, status);
    }
    if (has(units, NSCalendarUnitMonth)) out.setMonth(diff(UCAL_MONTH));
    if (has(units, NSCalendarUnitWeekOfYear | NSCalendarUnitWeekOfMonth)) {
        NSInteger weeks = diff(UCAL_WEEK_OF_YEAR);
        if (has(units, NSCalendarUnitWeekOfYear)) out.setWeekOfYear(weeks);
        if (has(units, NSCalendarUnitWeekOfMonth)) out.setWeekOfMonth(weeks);
    }
    // Weekday and weekday-ordinal count days and weeks here, as they do when added.
    if (has(units, NSCalendarUnitWeekdayOrdinal)) out.setWeekdayOrdinal(diff(UCAL_WEEK_OF_YEAR));
    if (has(units, NSCalendarUnitDay)) out.setDay(diff(UCAL_DATE));
    if (has(units, NSCalendarUnitWeekday)) out.setWeekday(diff(UCAL_DATE));
    if (has(units, NSCalendarUnitHour)) out.setHour(diff(UCAL_HOUR_OF_DAY));
    if (has(units, NSCalendarUnitMinute)) out.setMinute(diff(UCAL_MINUTE));
    if (has(units, NSCalendarUnitSecond)) out.setSecond(diff(UCAL_SECOND));
    if (has(units, NSCalendarUnitNanosecond)) {
        UErrorCode st = U_ZERO_ERROR;
        double rest = (b.millis - cal.getTime(st)) / 1000.0 + (b.residual - a.residual);
        out.setNanosecond(static_cast<NSInteger>(std::llround(rest * 1e9)));
    }
    if (has(units, NSCalendarUnitCalendar))
        out.setCalendar(std::const_pointer_cast<NSCalendar>(
            std::static_pointer_cast<const NSCalendar>(weak_from_this().lock())));
    if (has(units, NSCalendarUnitTimeZone)) out.setTimeZone(impl_->zone);
    return out;
}

std::optional<NSDate> NSCalendar::dateFromComponents(const NSDateComponents& c) const {
    std::lock_guard lock(mutex_);
    std::unique_ptr<icu::Calendar> scratch;
    icu::Calendar* cal = impl_->cal.get();
    if (c.timeZone() && !c.timeZone()->isEqualToTimeZone(*impl_->zone)) {
        scratch.reset(cal->clone());
        scratch->setTimeZone(dateicu::zoneOf(*c.timeZone()));
        cal = scratch.get();
    }
    cal->clear();
    if (!isSet(c.year()) && !isSet(c.yearForWeekOfYear())) cal->set(UCAL_YEAR, 1);
    // ICU resolves the day from the fields set last, so the week-based fields go first and an
    // explicit day of month wins over them.
    struct Entry {
        NSInteger value;
        UCalendarDateFields field;
        int32_t offset;
    };
    const Entry order[] = {
        {c.era(), UCAL_ERA, 0},
        {c.yearForWeekOfYear(), UCAL_YEAR_WOY, 0},
        {c.year(), UCAL_YEAR, 0},
        {c.weekOfYear(), UCAL_WEEK_OF_YEAR, 0},
        {c.weekOfMonth(), UCAL_WEEK_OF_MONTH, 0},
        {c.weekdayOrdinal(), UCAL_DAY_OF_WEEK_IN_MONTH, 0},
        {c.weekday(), UCAL_DAY_OF_WEEK, 0},
        {c.month(), UCAL_MONTH, -1},
        {c.day(), UCAL_DATE, 0},
        {c.hour(), UCAL_HOUR_OF_DAY, 0},
        {c.minute(), UCAL_MINUTE, 0},
        {c.second(), UCAL_SECOND, 0},
    };
    for (const Entry& e : order) {
        if (!isSet(e.value)) continue;
        if (!fitsInt32(e.value)) return std::nullopt;
        cal->set(e.field, static_cast<int32_t>(e.value) + e.offset);
    }
    UErrorCode status = U_ZERO_ERROR;
    UDate ms = cal->getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    NSDate date = dateicu::fromUDate(ms);
    if (isSet(c.nanosecond())) date = date.dateByAddingTimeInterval(c.nanosecond() / 1e9);
    return date;
}

std::optional<NSDate> NSCalendar::dateByAddingComponents(const NSDateComponents& c, const NSDate& date,
                                                         NSCalendarOptions options) const {
    SplitTime t = split(date);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(t.millis, status);
    const bool wrap = (options & NSCalendarWrapComponents) != 0;
    // Largest unit first, so January 31 plus a month and a day is March 1 (via February 28).
    auto step = [&](NSInteger amount, UCalendarDateFields field, int32_t factor = 1) {
        if (!isSet(amount) || amount == 0 || U_FAILURE(status)) return;
        if (!fitsInt32(amount * factor)) {
            status = U_ILLEGAL_ARGUMENT_ERROR;
            return;
        }
        int32_t n = static_cast<int32_t>(amount * factor);
        if (wrap)
            cal.roll(field, n, status);
        else
            cal.add(field, n, status);
    };
    step(c.era(), UCAL_ERA);
    step(c.year(), UCAL_YEAR);
    step(c.yearForWeekOfYear(), UCAL_YEAR_WOY);
    step(c.quarter(), UCAL_MONTH, 3);
    step(c.month(), UCAL_MONTH);
    step(c.weekOfYear(), UCAL_WEEK_OF_YEAR);
    step(c.weekOfMonth(), UCAL_WEEK_OF_MONTH);
    step(c.weekdayOrdinal(), UCAL_DAY_OF_WEEK_IN_MONTH);
    step(c.weekday(), UCAL_DAY_OF_WEEK);
    step(c.day(), UCAL_DATE);
    step(c.hour(), UCAL_HOUR_OF_DAY);
    step(c.minute(), UCAL_MINUTE);
    step(c.second(), UCAL_SECOND);
    if (U_FAILURE(status)) return std::nullopt;
    UDate ms = cal.getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    NSDate result = join(ms, t.residual);
    if (isSet(c.nanosecond())) result = result.dateByAddingTimeInterval(c.nanosecond() / 1e9);
    return result;
}

std::optional<NSDate> NSCalendar::dateByAddingUnit(NSCalendarUnit unit, NSInteger value, const NSDate& date,
                                                   NSCalendarOptions options) const {
    NSDateComponents c;
    c.setValue(value, unit);
    if (c.valueForComponent(unit) != value) return std::nullopt;  // not a single unit
    return dateByAddingComponents(c, date, options);
}

NSDate NSCalendar::startOfDayForDate(const NSDate& date) const {
    SplitTime t = split(date);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(t.millis, status);
    int32_t era = get(cal, UCAL_ERA), year = get(cal, UCAL_YEAR), month = get(cal, UCAL_MONTH),
            day = get(cal, UCAL_DATE);
    return dateicu::fromUDate(startOfDay(cal, era, year, month, day));
}

NSUInteger NSCalendar::ordinalityOfUnit(NSCalendarUnit smaller, NSCalendarUnit larger, const NSDate& date) const {
    SplitTime t = split(date);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(t.millis, status);
    auto f = [&](UCalendarDateFields field) -> NSUInteger { return static_cast<NSUInteger>(get(cal, field)); };
    const NSUInteger dayInWeek = (f(UCAL_DAY_OF_WEEK) + 7 - cal.getFirstDayOfWeek()) % 7 + 1;
    const bool largerIsWeek = larger == NSCalendarUnitWeekOfMonth || larger == NSCalendarUnitWeekOfYear;
    switch (smaller) {
        case NSCalendarUnitDay:
        case NSCalendarUnitWeekday:
            if (largerIsWeek) return dayInWeek;
            if (smaller == NSCalendarUnitWeekday && larger == NSCalendarUnitMonth) return f(UCAL_DAY_OF_WEEK_IN_MONTH);
            if (larger == NSCalendarUnitMonth) return f(UCAL_DATE);
            if (larger == NSCalendarUnitYear) return f(UCAL_DAY_OF_YEAR);
            break;
        case NSCalendarUnitWeekdayOrdinal:
            if (larger == NSCalendarUnitMonth) return f(UCAL_DAY_OF_WEEK_IN_MONTH);
            break;
        case NSCalendarUnitWeekOfMonth:
        case NSCalendarUnitWeekOfYear:
            if (larger == NSCalendarUnitMonth) return f(UCAL_WEEK_OF_MONTH);
            if (larger == NSCalendarUnitYear || larger == NSCalendarUnitYearForWeekOfYear) return f(UCAL_WEEK_OF_YEAR);
            break;
        case NSCalendarUnitMonth:
            if (larger == NSCalendarUnitYear) return f(UCAL_MONTH) + 1;
            if (larger == NSCalendarUnitQuarter) return f(UCAL_MONTH) % 3 + 1;
            break;
        case NSCalendarUnitQuarter:
            if (larger == NSCalendarUnitYear) return f(UCAL_MONTH) / 3 + 1;
            break;
        case NSCalendarUnitYear:
            if (larger == NSCalendarUnitEra) return f(UCAL_YEAR);
            break;
        case NSCalendarUnitHour:
            if (larger == NSCalendarUnitDay) return f(UCAL_HOUR_OF_DAY) + 1;
            break;
        case NSCalendarUnitMinute:
            if (larger == NSCalendarUnitHour) return f(UCAL_MINUTE) + 1;
            if (larger == NSCalendarUnitDay) return f(UCAL_HOUR_OF_DAY) * 60 + f(UCAL_MINUTE) + 1;
            break;
        case NSCalendarUnitSecond:
            if (larger == NSCalendarUnitMinute) return f(UCAL_SECOND) + 1;
            if (larger == NSCalendarUnitHour) return f(UCAL_MINUTE) * 60 + f(UCAL_SECOND) + 1;
            if (larger == NSCalendarUnitDay)
                return (f(UCAL_HOUR_OF_DAY) * 60 + f(UCAL_MINUTE)) * 60 + f(UCAL_SECOND) + 1;
            break;
        default:
            break;
    }
    return static_cast<NSUInteger>(NSNotFound);
}

NSRange NSCalendar::rangeOfUnit(NSCalendarUnit smaller, NSCalendarUnit larger, const NSDate& date) const {
    const NSRange none{static_cast<NSUInteger>(NSNotFound), static_cast<NSUInteger>(NSNotFound)};
    SplitTime t = split(date);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(t.millis, status);
    if (U_FAILURE(status)) return none;
    auto actual = [&](UCalendarDateFields field) -> NSRange {
        UErrorCode st = U_ZERO_ERROR;
        int32_t lo = cal.getActualMinimum(field, st), hi = cal.getActualMaximum(field, st);
        return NSMakeRange(static_cast<NSUInteger>(lo), static_cast<NSUInteger>(hi - lo + 1));
    };
    const bool largerIsWeek = larger == NSCalendarUnitWeekOfMonth || larger == NSCalendarUnitWeekOfYear;
    switch (smaller) {
        case NSCalendarUnitDay:
            if (larger == NSCalendarUnitMonth) return actual(UCAL_DATE);
            if (larger == NSCalendarUnitYear) return actual(UCAL_DAY_OF_YEAR);
            if (largerIsWeek) {
                // The days of the date's week that fall in its month.
                int64_t day = get(cal, UCAL_DATE);
                int64_t back = (get(cal, UCAL_DAY_OF_WEEK) + 7 - cal.getFirstDayOfWeek()) % 7;
                int64_t first = std::max<int64_t>(1, day - back);
                int64_t last = std::min<int64_t>(cal.getActualMaximum(UCAL_DATE, status), day - back + 6);
                return NSMakeRange(static_cast<NSUInteger>(first), static_cast<NSUInteger>(last - first + 1));
            }
            break;
        case NSCalendarUnitWeekday:
            if (largerIsWeek) return NSMakeRange(1, 7);
            break;
        case NSCalendarUnitWeekOfMonth:
            if (larger == NSCalendarUnitMonth) return actual(UCAL_WEEK_OF_MONTH);
            break;
        case NSCalendarUnitWeekOfYear:
            if (larger == NSCalendarUnitYear) return actual(UCAL_WEEK_OF_YEAR);
            if (larger == NSCalendarUnitMonth) {
                NSRange weeks = actual(UCAL_WEEK_OF_MONTH);
                cal.set(UCAL_DATE, 1);
                return NSMakeRange(static_cast<NSUInteger>(get(cal, UCAL_WEEK_OF_YEAR)), weeks.length);
            }
            break;
        case NSCalendarUnitMonth:
            if (larger == NSCalendarUnitYear) return NSMakeRange(1, 12);
            if (larger == NSCalendarUnitQuarter)
                return NSMakeRange(static_cast<NSUInteger>(get(cal, UCAL_MONTH) / 3 * 3 + 1), 3);
            break;
        case NSCalendarUnitQuarter:
            if (larger == NSCalendarUnitYear) return NSMakeRange(1, 4);
            break;
        case NSCalendarUnitYear:
            if (larger == NSCalendarUnitEra) return actual(UCAL_YEAR);
            break;
        case NSCalendarUnitHour:
            if (larger == NSCalendarUnitDay) return NSMakeRange(0, 24);
            break;
        case NSCalendarUnitMinute:
            if (larger == NSCalendarUnitHour) return NSMakeRange(0, 60);
            break;
        case NSCalendarUnitSecond:
            if (larger == NSCalendarUnitMinute) return NSMakeRange(0, 60);
            break;
        default:
            break;
    }
    return none;
}

bool NSCalendar::rangeOfUnit(NSCalendarUnit unit, NSDate* startDate, NSTimeInterval* interval,
                             const NSDate& date) const {
    SplitTime t = split(date);
    std::lock_guard lock(mutex_);
    icu::Calendar& cal = *impl_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(t.millis, status);
    if (U_FAILURE(status)) return false;
    const double wholeSeconds = std::floor(t.millis / 1000.0);
    double start = 0, end = 0;  // seconds since 1970
    // Hours, minutes and seconds count back in absolute time, so the repeated hour of a DST
    // change stays the hour it is.
    switch (unit) {
        case NSCalendarUnitSecond:
            start = wholeSeconds, end = start + 1;
            break;
        case NSCalendarUnitMinute:
            start = wholeSeconds - get(cal, UCAL_SECOND), end = start + 60;
            break;
        case NSCalendarUnitHour:
            start = wholeSeconds - get(cal, UCAL_MINUTE) * 60 - get(cal, UCAL_SECOND), end = start + 3600;
            break;
        default: {
            int32_t era = get(cal, UCAL_ERA), year = get(cal, UCAL_YEAR), month = get(cal, UCAL_MONTH),
                    day = get(cal, UCAL_DATE);
            int32_t back = (get(cal, UCAL_DAY_OF_WEEK) + 7 - cal.getFirstDayOfWeek()) % 7;
            struct Span {
                int32_t month, day, months, days, years;
            };
            Span s;
            switch (unit) {
                case NSCalendarUnitDay:
                case NSCalendarUnitWeekday:
                case NSCalendarUnitWeekdayOrdinal:
                    s = {month, day, 0, 1, 0};
                    break;
                case NSCalendarUnitWeekOfMonth:
                case NSCalendarUnitWeekOfYear:
                    s = {month, day - back, 0, 7, 0};
                    break;
                case NSCalendarUnitMonth:
                    s = {month, 1, 1, 0, 0};
                    break;
                case NSCalendarUnitQuarter:
                    s = {month / 3 * 3, 1, 3, 0, 0};
                    break;
                case NSCalendarUnitYear:
                    s = {0, 1, 0, 0, 1};
                    break;
                default:
                    return false;
            }
            start = startOfDay(cal, era, year, s.month, s.day) / 1000.0;
            // Counted on the first day itself so a short month cannot pin the end.
            end = startOfDay(cal, era, year + s.years, s.month + s.months, s.day + s.days) / 1000.0;
        }
    }
    if (startDate) *startDate = NSDate::dateWithTimeIntervalSince1970(start);
    if (interval) *interval = end - start;
    return true;
}

NSRange NSCalendar::maximumRangeOfUnit(NSCalendarUnit unit) const {
    if (unit == NSCalendarUnitQuarter) return NSMakeRange(1, 4);
    if (unit == NSCalendarUnitNanosecond) return NSMakeRange(0, 1000000000);
    auto field = fieldOf(unit);
    if (!field) return NSMakeRange(static_cast<NSUInteger>(NSNotFound), static_cast<NSUInteger>(NSNotFound));
    std::lock_guard lock(mutex_);
    int32_t lo = impl_->cal->getMinimum(*field), hi = impl_->cal->getMaximum(*field);
    int32_t shift = unit == NSCalendarUnitMonth ? 1 : 0;
    return NSMakeRange(static_cast<NSUInteger>(lo + shift), static_cast<NSUInteger>(hi - lo + 1));
}

NSRange NSCalendar::minimumRangeOfUnit(NSCalendarUnit unit) const {
    if (unit == NSCalendarUnitQuarter) return NSMakeRange(1, 4);
    if (unit == NSCalendarUnitNanosecond) return NSMakeRange(0, 1000000000);
    auto field = fieldOf(unit);
    if (!field) return NSMakeRange(static_cast<NSUInteger>(NSNotFound), static_cast<NSUInteger>(NSNotFound));
    std::lock_guard lock(mutex_);
    int32_t lo = impl_->cal->getGreatestMinimum(*field), hi = impl_->cal->getLeastMaximum(*field);
    int32_t shift = unit == NSCalendarUnitMonth ? 1 : 0;
    return NSMakeRange(static_cast<NSUInteger>(lo + shift), static_cast<NSUInteger>(hi - lo + 1));
}

std::string NSCalendar::description() const {
    std::lock_guard lock(mutex_);
    return "<NSCalendar: " + NSCalendarIdentifierGregorian + ", " + impl_->zone->name() + ", " +
           impl_->locale->localeIdentifier() + ">";
}

bool NSCalendar::isEqual(const NSObject& other) const {
    auto* cal = dynamic_cast<const NSCalendar*>(&other);
    if (!cal) return false;
    if (cal == this) return true;
    std::scoped_lock lock(mutex_, cal->mutex_);
    return impl_->zone->isEqualToTimeZone(*cal->impl_->zone) && impl_->locale->isEqual(*cal->impl_->locale) &&
           impl_->cal->getFirstDayOfWeek() == cal->impl_->cal->getFirstDayOfWeek() &&
           impl_->cal->getMinimalDaysInFirstWeek() == cal->impl_->cal->getMinimalDaysInFirstWeek();
}

std::size_t NSCalendar::hash() const { return std::hash<std::string>()(NSCalendarIdentifierGregorian); }
