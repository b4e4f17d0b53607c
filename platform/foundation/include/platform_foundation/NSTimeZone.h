#pragma once
// A time zone (named region or fixed offset from GMT): offsets, daylight saving and names for any instant.

#include <memory>
#include <string>

#include <platform_foundation/NSRange.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCDeclare.h>

class NSTimeZone;
using NSTimeZonePtr = std::shared_ptr<NSTimeZone>;

class NSTimeZone : public NSObject {
    NS_CLASS(NSTimeZone, NSObject)

public:
    struct Impl;  // the ICU zone behind it; defined in the library only

    // Nullptr for a name the zone database does not know ("Europe/Moscow", "UTC", "GMT", "GMT+0300").
    static NSTimeZonePtr timeZoneWithName(const std::string& name);
    // A fixed offset ("GMT+0130" for 5400); nullptr beyond +-18 hours.
    static NSTimeZonePtr timeZoneForSecondsFromGMT(NSInteger seconds);

    // The host's zone: TZ when set, else the system's configured zone, else GMT. Cached until reset.
    static NSTimeZonePtr systemTimeZone();
    static void resetSystemTimeZone();
    // The zone used when none is given; the system zone unless a caller set one (tests do).
    static NSTimeZonePtr defaultTimeZone();
    static void setDefaultTimeZone(NSTimeZonePtr zone);  // nullptr goes back to the system zone
    static NSTimeZonePtr localTimeZone() { return defaultTimeZone(); }

    const std::string& name() const;
    // Short name at the instant ("EST", "EDT", "GMT+3"); now when no date is given.
    std::string abbreviation() const;
    std::string abbreviationForDate(const NSDate& date) const;
    NSInteger secondsFromGMT() const;
    NSInteger secondsFromGMTForDate(const NSDate& date) const;
    bool isDaylightSavingTime() const;
    bool isDaylightSavingTimeForDate(const NSDate& date) const;
    NSTimeInterval daylightSavingTimeOffsetForDate(const NSDate& date) const;

    bool isEqualToTimeZone(const NSTimeZone& other) const;

    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    const Impl& impl() const { return *impl_; }
    explicit NSTimeZone(std::shared_ptr<const Impl> impl);

private:
    std::shared_ptr<const Impl> impl_;
};
