#pragma once
// The refresh controls' resources: the "RFRefresh.bundle" beside the
// control classes, its two arrow images, and localized texts looked up in the
// configured language first, then in the bundle's own folder for that
// language, then the given value, then the key.
//
// Main thread. The bundle and images are cached for the process; the
// language bundles until the language changes.

#include <platform_foundation/NSBundle.h>
#include <platform_net/UIImage.h>

#include <memory>
#include <optional>
#include <string>

// The refresh bundle; nullptr when it is missing.
std::shared_ptr<NSBundle> rf_refreshBundle();
// "arrow@2x.png" of the refresh bundle as a template image; nullptr when missing.
UIImagePtr rf_arrowImage();
// "trail_arrow@2x.png" likewise.
UIImagePtr rf_trailArrowImage();
std::string rf_localizedStringForKey(const std::string& key);
std::string rf_localizedStringForKey(const std::string& key, const std::optional<std::string>& value);
// The refresh bundle's language folder for a language code: "en", "zh-Hans"
// or "zh-Hant", "ko", "ru", "uk", else "en". nullptr without the bundle.
std::shared_ptr<NSBundle> rf_defaultI18nBundleWithLanguage(const std::optional<std::string>& language);
// The folder name the table above picks ("en" for nil).
std::string rf_defaultI18nFolderForLanguage(const std::optional<std::string>& language);
