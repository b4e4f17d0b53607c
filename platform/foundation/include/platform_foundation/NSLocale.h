#pragma once
// A locale (language, script, region) by identifier, the user's current locale and preferred languages.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/NSObject.h>

class NSLocale;
using NSLocalePtr = std::shared_ptr<NSLocale>;

// Keys of NSLocale::objectForKey.
inline const std::string NSLocaleIdentifier = "kCFLocaleIdentifierKey";
inline const std::string NSLocaleLanguageCode = "kCFLocaleLanguageCodeKey";
inline const std::string NSLocaleCountryCode = "kCFLocaleCountryCodeKey";
inline const std::string NSLocaleScriptCode = "kCFLocaleScriptCodeKey";
inline const std::string NSLocaleVariantCode = "kCFLocaleVariantCodeKey";

class NSLocale : public NSObject {
public:
    struct Impl;  // the ICU locale behind it; defined in the library only

    // Accepts POSIX ("ru_RU", "en_US_POSIX") and BCP 47 ("zh-Hans", "en-US") identifiers.
    static NSLocalePtr localeWithLocaleIdentifier(const std::string& identifier);

    // The user's locale: LC_ALL, else LANG ("ru_RU.UTF-8" -> "ru_RU"; "C" or nothing -> "en_US_POSIX"),
    // unless one was set (tests do). Read once and cached.
    static NSLocalePtr currentLocale();
    static NSLocalePtr autoupdatingCurrentLocale() { return currentLocale(); }
    static void setCurrentLocale(NSLocalePtr locale);  // nullptr goes back to the environment's

    // The user's languages as BCP 47 tags, most preferred first: LANGUAGE ("ru_RU:en"), else
    // LC_ALL / LANG, else "en". Tests may set the list (an empty list included).
    static std::vector<std::string> preferredLanguages();
    static void setPreferredLanguages(std::optional<std::vector<std::string>> languages);  // nullopt: environment

    // "en_US" -> "en-US", "zh_Hans" -> "zh-Hans", "EN" -> "en".
    static std::string canonicalLanguageIdentifierFromString(const std::string& string);

    const std::string& localeIdentifier() const;
    std::string languageCode() const;
    std::optional<std::string> countryCode() const;
    std::optional<std::string> scriptCode() const;
    std::optional<std::string> variantCode() const;
    // The value for one of the NSLocale...Code / NSLocaleIdentifier keys; nothing for others.
    std::optional<std::string> objectForKey(const std::string& key) const;

    std::string className() const override { return "NSLocale"; }
    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    const Impl& impl() const { return *impl_; }
    explicit NSLocale(std::shared_ptr<const Impl> impl);

private:
    std::shared_ptr<const Impl> impl_;
};
