#include <platform_foundation/NSLocale.h>

#include <cstdlib>
#include <mutex>

#include <unicode/uloc.h>

#include "DateICU.h"

namespace {

std::mutex& localeStateMutex() {
    static std::mutex m;
    return m;
}
NSLocalePtr& currentLocaleSlot() {
    static NSLocalePtr locale;
    return locale;
}
std::optional<std::vector<std::string>>& preferredLanguagesSlot() {
    static std::optional<std::vector<std::string>> languages;
    return languages;
}

// "ru_RU.UTF-8@euro" -> "ru_RU"; "C" / "POSIX" -> "".
std::string posixLocaleName(const char* value) {
    if (!value) return {};
    std::string name(value);
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") return {};
    return name;
}

std::string environmentLocaleName() {
    for (const char* var : {"LC_ALL", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) return posixLocaleName(value);
    }
    return {};
}

icu::Locale icuLocaleFor(const std::string& identifier) {
    if (identifier.find('-') != std::string::npos) {
        char buf[ULOC_FULLNAME_CAPACITY];
        UErrorCode status = U_ZERO_ERROR;
        int32_t parsed = 0;
        uloc_forLanguageTag(identifier.c_str(), buf, sizeof buf, &parsed, &status);
        if (U_SUCCESS(status) && status != U_STRING_NOT_TERMINATED_WARNING) return icu::Locale(buf);
    }
    icu::Locale locale(identifier.c_str());
    return locale.isBogus() ? icu::Locale::getRoot() : locale;
}

std::optional<std::string> nonEmpty(const char* text) {
    if (!text || !*text) return std::nullopt;
    return std::string(text);
}

}  // namespace

NSLocale::NSLocale(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

NSLocalePtr NSLocale::localeWithLocaleIdentifier(const std::string& identifier) {
    auto impl = std::make_shared<Impl>();
    impl->identifier = identifier;
    impl->locale = icuLocaleFor(identifier);
    return std::make_shared<NSLocale>(std::move(impl));
}

NSLocalePtr NSLocale::currentLocale() {
    std::lock_guard lock(localeStateMutex());
    auto& slot = currentLocaleSlot();
    if (!slot) {
        std::string name = environmentLocaleName();
        slot = localeWithLocaleIdentifier(name.empty() ? "en_US_POSIX" : name);
    }
    return slot;
}

void NSLocale::setCurrentLocale(NSLocalePtr locale) {
    std::lock_guard lock(localeStateMutex());
    currentLocaleSlot() = std::move(locale);
}

std::vector<std::string> NSLocale::preferredLanguages() {
    {
        std::lock_guard lock(localeStateMutex());
        if (auto& set = preferredLanguagesSlot()) return *set;
    }
    std::vector<std::string> languages;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string rest(list);
        while (!rest.empty()) {
            auto colon = rest.find(':');
            std::string name = posixLocaleName(rest.substr(0, colon).c_str());
            if (!name.empty()) languages.push_back(canonicalLanguageIdentifierFromString(name));
            rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
        }
    }
    if (languages.empty()) {
        std::string name = environmentLocaleName();
        languages.push_back(name.empty() ? "en" : canonicalLanguageIdentifierFromString(name));
    }
    return languages;
}

void NSLocale::setPreferredLanguages(std::optional<std::vector<std::string>> languages) {
    std::lock_guard lock(localeStateMutex());
    preferredLanguagesSlot() = std::move(languages);
}

std::string NSLocale::canonicalLanguageIdentifierFromString(const std::string& string) {
    icu::Locale locale = icuLocaleFor(string);
    char buf[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_toLanguageTag(locale.getName(), buf, sizeof buf, false, &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof buf)) return string;
    return std::string(buf, length);
}

const std::string& NSLocale::localeIdentifier() const { return impl_->identifier; }

std::string NSLocale::languageCode() const { return impl_->locale.getLanguage(); }

std::optional<std::string> NSLocale::countryCode() const { return nonEmpty(impl_->locale.getCountry()); }

std::optional<std::string> NSLocale::scriptCode() const { return nonEmpty(impl_->locale.getScript()); }

std::optional<std::string> NSLocale::variantCode() const { return nonEmpty(impl_->locale.getVariant()); }

std::optional<std::string> NSLocale::objectForKey(const std::string& key) const {
    if (key == NSLocaleIdentifier) return localeIdentifier();
    if (key == NSLocaleLanguageCode) return nonEmpty(impl_->locale.getLanguage());
    if (key == NSLocaleCountryCode) return countryCode();
    if (key == NSLocaleScriptCode) return scriptCode();
    if (key == NSLocaleVariantCode) return variantCode();
    return std::nullopt;
}

bool NSLocale::isEqual(const NSObject& other) const {
    auto* locale = dynamic_cast<const NSLocale*>(&other);
    return locale && locale->localeIdentifier() == localeIdentifier();
}

std::size_t NSLocale::hash() const { return std::hash<std::string>()(impl_->identifier); }

std::string NSLocale::description() const { return "<NSLocale: " + impl_->identifier + ">"; }
