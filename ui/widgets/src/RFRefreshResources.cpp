#include <ui_widgets/RFRefreshComponent.h>
#include <ui_widgets/RFRefreshConfig.h>
#include <ui_widgets/RFRefreshResources.h>

#include "RFRefreshLanguageCache.h"
#include "WidgetImages.h"

#include <platform_foundation/NSLocale.h>

rf_detail::LanguageCache& rf_detail::languageCache() {
    static LanguageCache cache;
    return cache;
}

std::shared_ptr<NSBundle> rf_refreshBundle() {
    static std::shared_ptr<NSBundle> bundle;
    if (!bundle) {
        auto home = NSBundle::bundleForClass(RFRefreshComponent::staticClassName());
        if (auto path = home ? home->pathForResource("RFRefresh", "bundle") : std::nullopt)
            bundle = NSBundle::bundleWithPath(*path);
    }
    return bundle;
}

namespace {
UIImagePtr templateImage(const char* name) {
    auto image = widgets_detail::imageFromBundle(rf_refreshBundle(), name, "png");
    return image ? image->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate) : nullptr;
}
}  // namespace

UIImagePtr rf_arrowImage() {
    static UIImagePtr image;
    if (!image) image = templateImage("arrow@2x");
    return image;
}

UIImagePtr rf_trailArrowImage() {
    static UIImagePtr image;
    if (!image) image = templateImage("trail_arrow@2x");
    return image;
}

std::string rf_defaultI18nFolderForLanguage(const std::optional<std::string>& language) {
    if (!language) return "en";
    auto startsWith = [&](const char* prefix) { return language->rfind(prefix, 0) == 0; };
    if (startsWith("en")) return "en";
    if (startsWith("zh")) return language->find("Hans") != std::string::npos ? "zh-Hans" : "zh-Hant";
    if (startsWith("ko")) return "ko";
    if (startsWith("ru")) return "ru";
    if (startsWith("uk")) return "uk";
    return "en";
}

std::shared_ptr<NSBundle> rf_defaultI18nBundleWithLanguage(const std::optional<std::string>& language) {
    auto bundle = rf_refreshBundle();
    if (!bundle) return nullptr;
    auto path = bundle->pathForResource(rf_defaultI18nFolderForLanguage(language), "lproj");
    return path ? NSBundle::bundleWithPath(*path) : nullptr;
}

std::string rf_localizedStringForKey(const std::string& key) { return rf_localizedStringForKey(key, std::nullopt); }

std::string rf_localizedStringForKey(const std::string& key, const std::optional<std::string>& value) {
    auto config = RFRefreshConfig::defaultConfig();
    std::string table = config->i18nFilename().value_or("");
    auto& cache = rf_detail::languageCache();
    if (!cache.language) {
        std::optional<std::string> language = config->languageCode();
        if (!language) {
            auto preferred = NSLocale::preferredLanguages();
            if (!preferred.empty()) language = preferred.front();
        }
        auto base = config->i18nBundle() ? config->i18nBundle() : NSBundle::mainBundle();
        std::optional<std::string> path;
        if (language && base) path = base->pathForResource(*language, "lproj");
        cache.language = path ? NSBundle::bundleWithPath(*path) : nullptr;
        if (!cache.language) cache.language = NSBundle::mainBundle();
        if (!cache.defaultLanguage) cache.defaultLanguage = rf_defaultI18nBundleWithLanguage(language);
    }
    std::string fallback = value.value_or("");
    if (cache.defaultLanguage) fallback = cache.defaultLanguage->localizedStringForKey(key, fallback);
    if (!cache.language) return fallback.empty() ? key : fallback;
    return cache.language->localizedStringForKey(key, fallback, table);
}
