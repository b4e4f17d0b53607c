#pragma once
// The refresh controls' process-wide configuration: a language that
// overrides the user's, the strings table and the bundle the language folders
// are looked up in. A real language change posts
// "RFRefreshDidChangeLanguageNotification" (object: the configuration), on
// which every control reloads its titles.
//
// Main thread. One shared instance for the process.

#include <platform_foundation/NSBundle.h>
#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <optional>
#include <string>

class RFRefreshConfig : public NSObject {
    NS_CLASS(RFRefreshConfig, NSObject)
public:
    static std::shared_ptr<RFRefreshConfig> defaultConfig();

    const std::optional<std::string>& languageCode() const { return languageCode_; }
    // Equal to the stored code: nothing. Otherwise stores it, forgets the
    // cached language bundles and posts the notification. A nil code never counts as equal.
    void setLanguageCode(std::optional<std::string> code);
    // Read at every lookup; nil: the default table.
    const std::optional<std::string>& i18nFilename() const { return i18nFilename_; }
    void setI18nFilename(std::optional<std::string> name) { i18nFilename_ = std::move(name); }
    // Read when the language bundle is rebuilt; nil: the main bundle.
    const std::shared_ptr<NSBundle>& i18nBundle() const { return i18nBundle_; }
    void setI18nBundle(std::shared_ptr<NSBundle> bundle) { i18nBundle_ = std::move(bundle); }

    // Forgets the cached language bundle and default-language bundle.
    static void resetLanguageResourceCache();

private:
    std::optional<std::string> languageCode_;
    std::optional<std::string> i18nFilename_;
    std::shared_ptr<NSBundle> i18nBundle_;
};
