#pragma once
// Turns dates into text and back, by Unicode date pattern ("yyyy-MM-dd'T'HH:mm:ssZ") or by the
// locale's date and time styles. One formatter may be used from several threads at once.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <platform_foundation/NSCalendar.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSRange.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>

enum NSDateFormatterStyle : NSUInteger {
    NSDateFormatterNoStyle = 0,
    NSDateFormatterShortStyle = 1,
    NSDateFormatterMediumStyle = 2,
    NSDateFormatterLongStyle = 3,
    NSDateFormatterFullStyle = 4,
};

class NSDateFormatter : public NSObject {
public:
    NSDateFormatter();
    ~NSDateFormatter() override;

    // The pattern in use: the one set last, or the one the styles give in the locale.
    std::string dateFormat() const;
    void setDateFormat(const std::string& pattern);
    // Setting a style replaces a pattern set before; with both styles none the text is empty.
    NSDateFormatterStyle dateStyle() const;
    void setDateStyle(NSDateFormatterStyle style);
    NSDateFormatterStyle timeStyle() const;
    void setTimeStyle(NSDateFormatterStyle style);

    // Unset (or set to nullptr), these follow the current locale, the default time zone and a
    // Gregorian calendar at the time of each use.
    NSLocalePtr locale() const;
    void setLocale(NSLocalePtr locale);
    NSTimeZonePtr timeZone() const;
    void setTimeZone(NSTimeZonePtr zone);
    NSCalendarPtr calendar() const;
    void setCalendar(NSCalendarPtr calendar);
    // Off by default: the whole text must match the pattern and name a real date.
    bool isLenient() const;
    void setLenient(bool lenient);

    std::string stringFromDate(const NSDate& date) const;
    std::optional<NSDate> dateFromString(const std::string& text) const;

    // In the current locale and default time zone.
    static std::string localizedStringFromDate(const NSDate& date, NSDateFormatterStyle dateStyle,
                                               NSDateFormatterStyle timeStyle);

    std::string className() const override { return "NSDateFormatter"; }

private:
    struct Engine;
    // The ICU formatter for the current settings, rebuilt when a setting or a followed default changed.
    Engine* engine() const;

    mutable std::mutex mutex_;
    std::string pattern_;
    bool usesPattern_ = false;
    NSDateFormatterStyle dateStyle_ = NSDateFormatterNoStyle;
    NSDateFormatterStyle timeStyle_ = NSDateFormatterNoStyle;
    NSLocalePtr locale_;
    NSTimeZonePtr timeZone_;
    NSCalendarPtr calendar_;
    bool lenient_ = false;
    mutable std::unique_ptr<Engine> engine_;
};
