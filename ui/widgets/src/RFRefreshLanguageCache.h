#pragma once
// The language bundles the text lookup caches until the language changes.

#include <platform_foundation/NSBundle.h>

#include <memory>

namespace rf_detail {
struct LanguageCache {
    std::shared_ptr<NSBundle> language;
    std::shared_ptr<NSBundle> defaultLanguage;
};
// Main thread.
LanguageCache& languageCache();
}  // namespace rf_detail
