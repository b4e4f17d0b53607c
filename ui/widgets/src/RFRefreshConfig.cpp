#include <ui_widgets/RFRefreshConfig.h>
#include <ui_widgets/RFRefreshConst.h>

#include "RFRefreshLanguageCache.h"

#include <platform_foundation/NSNotificationCenter.h>

std::shared_ptr<RFRefreshConfig> RFRefreshConfig::defaultConfig() {
    static const std::shared_ptr<RFRefreshConfig> shared = std::make_shared<RFRefreshConfig>();
    return shared;
}

void RFRefreshConfig::setLanguageCode(std::optional<std::string> code) {
    if (code && languageCode_ == code) return;
    languageCode_ = std::move(code);
    resetLanguageResourceCache();
    NSNotificationCenter::defaultCenter()->postNotificationName(RFRefreshDidChangeLanguageNotification,
                                                                Value(shared_from_this()));
}

void RFRefreshConfig::resetLanguageResourceCache() { rf_detail::languageCache() = {}; }
