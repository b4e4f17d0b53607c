#pragma once
// A fixed world for date tests: "now", the default time zone, the current locale, the preferred
// languages and a main bundle with chosen localisations; the date classes' strings come from
// the project's resources. Everything is put back when the fixture ends.

#include <device_and_dates/DUDateCalendar.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSCalendar.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSDate.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class DUDateTestEnvironment {
public:
    explicit DUDateTestEnvironment(const std::string& zone = "Europe/Berlin", const std::string& locale = "en_US",
                                   std::vector<std::string> languages = {"en"},
                                   const std::vector<std::string>& mainLocalizations = {"en", "ru", "uk"}) {
        zone_ = NSTimeZone::timeZoneWithName(zone);
        NSTimeZone::setDefaultTimeZone(zone_);
        NSLocale::setCurrentLocale(NSLocale::localeWithLocaleIdentifier(locale));
        NSLocale::setPreferredLanguages(std::move(languages));
        NSCalendar::setCurrentCalendar(nullptr);
        // Rebuilt so that the implicit calendar computes in the zone just set.
        DUDate::setDefaultCalendarIdentifier(NSCalendarIdentifierGregorian);

        char pattern[] = "/tmp/du-main-bundle-XXXXXX";
        mainBundle_ = mkdtemp(pattern);
        for (const std::string& loc : mainLocalizations)
            std::filesystem::create_directories(std::filesystem::path(mainBundle_) / (loc + ".lproj"));
        NSBundle::setMainBundlePathForTesting(mainBundle_);
        NSBundle::registerBundleForClass("DUError", NSBundle::bundleWithPath(PROJECT_SOURCE_DIR "/resources"));

        calendar_ = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
        calendar_->setTimeZone(zone_);
    }

    ~DUDateTestEnvironment() {
        NSDate::resetClockForTesting();
        NSBundle::setMainBundlePathForTesting(std::nullopt);
        std::filesystem::remove_all(mainBundle_);
        NSLocale::setPreferredLanguages(std::nullopt);
        NSLocale::setCurrentLocale(nullptr);
        NSTimeZone::setDefaultTimeZone(nullptr);
        NSCalendar::setCurrentCalendar(nullptr);
        DUDate::setDefaultCalendarIdentifier(NSCalendarIdentifierGregorian);
    }

    DUDateTestEnvironment(const DUDateTestEnvironment&) = delete;
    DUDateTestEnvironment& operator=(const DUDateTestEnvironment&) = delete;

    // A wall-clock time in the environment's zone.
    NSDate at(NSInteger year, NSInteger month, NSInteger day, NSInteger hour = 0, NSInteger minute = 0,
              NSInteger second = 0) const {
        NSDateComponents c;
        c.setYear(year);
        c.setMonth(month);
        c.setDay(day);
        c.setHour(hour);
        c.setMinute(minute);
        c.setSecond(second);
        return *calendar_->dateFromComponents(c);
    }

    void setNow(const NSDate& now) {
        NSTimeInterval t = now.timeIntervalSinceReferenceDate();
        NSDate::setClockForTesting([t] { return t; });
    }

    const NSTimeZonePtr& zone() const { return zone_; }
    const std::string& mainBundlePath() const { return mainBundle_; }

private:
    NSTimeZonePtr zone_;
    NSCalendarPtr calendar_;
    std::string mainBundle_;
};
