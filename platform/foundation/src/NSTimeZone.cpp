#include <platform_foundation/NSTimeZone.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <unicode/simpletz.h>
#include <unicode/tzfmt.h>

#include "DateICU.h"

namespace {

std::mutex& zoneStateMutex() {
    static std::mutex m;
    return m;
}
NSTimeZonePtr& cachedSystemZone() {
    static NSTimeZonePtr zone;
    return zone;
}
NSTimeZonePtr& explicitDefaultZone() {
    static NSTimeZonePtr zone;
    return zone;
}

NSTimeZonePtr makeZone(std::string name, icu::TimeZone* zone) {
    auto impl = std::make_shared<NSTimeZone::Impl>();
    impl->name = std::move(name);
    impl->zone.reset(zone);
    return std::make_shared<NSTimeZone>(std::move(impl));
}

bool isUnknown(const icu::TimeZone& zone) {
    icu::UnicodeString id;
    zone.getID(id);
    return id == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID);
}

// "Europe/Moscow" out of TZ=":Europe/Moscow" or TZ="/usr/share/zoneinfo/Europe/Moscow".
std::string zoneNameFromTZ(std::string tz) {
    if (!tz.empty() && tz[0] == ':') tz.erase(0, 1);
    auto pos = tz.find("zoneinfo/");
    if (pos != std::string::npos) tz.erase(0, pos + 9);
    return tz;
}

NSTimeZonePtr detectSystemZone() {
    if (const char* tz = std::getenv("TZ")) {
        std::string name = zoneNameFromTZ(tz);
        if (name.empty()) return NSTimeZone::timeZoneWithName("GMT");  // POSIX: empty TZ is UTC
        if (auto zone = NSTimeZone::timeZoneWithName(name)) return zone;
    }
    std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
    if (host && !isUnknown(*host)) {
        icu::UnicodeString id;
        host->getID(id);
        return makeZone(dateicu::fromICU(id), host.release());
    }
    return NSTimeZone::timeZoneWithName("GMT");
}

// Abbreviations read the same whatever the user's language, as on the platform.
std::string shortName(const icu::TimeZone& zone, UDate when) {
    static std::mutex m;
    static std::unique_ptr<icu::TimeZoneFormat> format;
    std::lock_guard lock(m);
    UErrorCode status = U_ZERO_ERROR;
    if (!format) format.reset(icu::TimeZoneFormat::createInstance(icu::Locale("en_US"), status));
    if (!format || U_FAILURE(status)) return {};
    icu::UnicodeString out;
    format->format(UTZFMT_STYLE_SPECIFIC_SHORT, zone, when, out, nullptr);
    return dateicu::fromICU(out);
}

}  // namespace

NSTimeZone::NSTimeZone(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

NSTimeZonePtr NSTimeZone::timeZoneWithName(const std::string& name) {
    if (name.empty()) return nullptr;
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(dateicu::toICU(name)));
    if (!zone || isUnknown(*zone)) return nullptr;
    return makeZone(name, zone.release());
}

NSTimeZonePtr NSTimeZone::timeZoneForSecondsFromGMT(NSInteger seconds) {
    if (seconds < -18 * 3600 || seconds > 18 * 3600) return nullptr;
    std::string name = "GMT";
    if (seconds != 0) {
        NSInteger magnitude = seconds < 0 ? -seconds : seconds;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%c%02d%02d", seconds < 0 ? '-' : '+', static_cast<int>(magnitude / 3600),
                      static_cast<int>(magnitude % 3600 / 60));
        name += buf;
    }
    auto* zone = new icu::SimpleTimeZone(static_cast<int32_t>(seconds * 1000), dateicu::toICU(name));
    return makeZone(name, zone);
}

NSTimeZonePtr NSTimeZone::systemTimeZone() {
    std::lock_guard lock(zoneStateMutex());
    auto& zone = cachedSystemZone();
    if (!zone) zone = detectSystemZone();
    return zone;
}

void NSTimeZone::resetSystemTimeZone() {
    std::lock_guard lock(zoneStateMutex());
    cachedSystemZone().reset();
}

NSTimeZonePtr NSTimeZone::defaultTimeZone() {
    {
        std::lock_guard lock(zoneStateMutex());
        if (auto zone = explicitDefaultZone()) return zone;
    }
    return systemTimeZone();
}

void NSTimeZone::setDefaultTimeZone(NSTimeZonePtr zone) {
    std::lock_guard lock(zoneStateMutex());
    explicitDefaultZone() = std::move(zone);
}

const std::string& NSTimeZone::name() const { return impl_->name; }

std::string NSTimeZone::abbreviation() const { return abbreviationForDate(NSDate::date()); }

std::string NSTimeZone::abbreviationForDate(const NSDate& date) const {
    return shortName(*impl_->zone, dateicu::toUDate(date));
}

NSInteger NSTimeZone::secondsFromGMT() const { return secondsFromGMTForDate(NSDate::date()); }

namespace {
void offsets(const icu::TimeZone& zone, const NSDate& date, int32_t& raw, int32_t& dst) {
    UErrorCode status = U_ZERO_ERROR;
    raw = dst = 0;
    zone.getOffset(dateicu::toUDate(date), false, raw, dst, status);
    if (U_FAILURE(status)) raw = dst = 0;
}
}  // namespace

NSInteger NSTimeZone::secondsFromGMTForDate(const NSDate& date) const {
    int32_t raw, dst;
    offsets(*impl_->zone, date, raw, dst);
    return (static_cast<NSInteger>(raw) + dst) / 1000;
}

bool NSTimeZone::isDaylightSavingTime() const { return isDaylightSavingTimeForDate(NSDate::date()); }

bool NSTimeZone::isDaylightSavingTimeForDate(const NSDate& date) const {
    return daylightSavingTimeOffsetForDate(date) != 0;
}

NSTimeInterval NSTimeZone::daylightSavingTimeOffsetForDate(const NSDate& date) const {
    int32_t raw, dst;
    offsets(*impl_->zone, date, raw, dst);
    return dst / 1000.0;
}

bool NSTimeZone::isEqualToTimeZone(const NSTimeZone& other) const {
    return impl_->name == other.impl_->name && impl_->zone->hasSameRules(*other.impl_->zone);
}

bool NSTimeZone::isEqual(const NSObject& other) const {
    auto* zone = dynamic_cast<const NSTimeZone*>(&other);
    return zone && isEqualToTimeZone(*zone);
}

std::size_t NSTimeZone::hash() const { return std::hash<std::string>()(impl_->name); }

std::string NSTimeZone::description() const {
    NSDate now = NSDate::date();
    return name() + " (" + abbreviationForDate(now) + ") offset " + std::to_string(secondsFromGMTForDate(now)) +
           (isDaylightSavingTimeForDate(now) ? " (Daylight)" : "");
}
