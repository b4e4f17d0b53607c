#include <device_and_dates/DUDateFormatting.h>

#include <memory>
#include <mutex>

namespace {

// A process-wide formatter that each call reconfigures and then uses: the lock spans both, so
// that no other call's settings slip in between.
struct SharedFormatter {
    std::mutex mutex;
    NSDateFormatter formatter;
};

SharedFormatter& parseFormatter() {
    static auto* f = new SharedFormatter;
    return *f;
}
SharedFormatter& styleFormatter() {
    static auto* f = new SharedFormatter;
    return *f;
}
SharedFormatter& patternFormatter() {
    static auto* f = new SharedFormatter;
    return *f;
}

NSTimeZonePtr zoneOrSystem(const NSTimeZonePtr& zone) { return zone ? zone : NSTimeZone::systemTimeZone(); }
NSLocalePtr localeOrCurrent(const NSLocalePtr& locale) {
    return locale ? locale : NSLocale::autoupdatingCurrentLocale();
}

}  // namespace

namespace DUDate {

std::optional<NSDate> dateWithString(const std::string& string, const std::string& formatString,
                                     const NSTimeZonePtr& timeZone) {
    SharedFormatter& f = parseFormatter();
    std::lock_guard lock(f.mutex);
    f.formatter.setDateStyle(NSDateFormatterNoStyle);
    f.formatter.setTimeStyle(NSDateFormatterNoStyle);
    f.formatter.setTimeZone(zoneOrSystem(timeZone));
    f.formatter.setDateFormat(formatString);
    return f.formatter.dateFromString(string);
}

std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style) {
    return formattedDateWithStyle(self, style, NSTimeZonePtr(), NSLocalePtr());
}
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style, const NSTimeZonePtr& timeZone) {
    return formattedDateWithStyle(self, style, timeZone, NSLocalePtr());
}
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style, const NSLocalePtr& locale) {
    return formattedDateWithStyle(self, style, NSTimeZonePtr(), locale);
}
std::string formattedDateWithStyle(const NSDate& self, NSDateFormatterStyle style, const NSTimeZonePtr& timeZone,
                                   const NSLocalePtr& locale) {
    SharedFormatter& f = styleFormatter();
    std::lock_guard lock(f.mutex);
    f.formatter.setDateStyle(style);
    f.formatter.setTimeZone(zoneOrSystem(timeZone));
    f.formatter.setLocale(localeOrCurrent(locale));
    return f.formatter.stringFromDate(self);
}

std::string formattedDateWithFormat(const NSDate& self, const std::string& format) {
    return formattedDateWithFormat(self, format, NSTimeZonePtr(), NSLocalePtr());
}
std::string formattedDateWithFormat(const NSDate& self, const std::string& format, const NSTimeZonePtr& timeZone) {
    return formattedDateWithFormat(self, format, timeZone, NSLocalePtr());
}
std::string formattedDateWithFormat(const NSDate& self, const std::string& format, const NSLocalePtr& locale) {
    return formattedDateWithFormat(self, format, NSTimeZonePtr(), locale);
}
std::string formattedDateWithFormat(const NSDate& self, const std::string& format, const NSTimeZonePtr& timeZone,
                                    const NSLocalePtr& locale) {
    SharedFormatter& f = patternFormatter();
    std::lock_guard lock(f.mutex);
    f.formatter.setDateFormat(format);
    f.formatter.setTimeZone(zoneOrSystem(timeZone));
    f.formatter.setLocale(localeOrCurrent(locale));
    return f.formatter.stringFromDate(self);
}

}  // namespace DUDate
