#include "DUStringsTable.h"

#include <platform_foundation/NSBundle.h>

namespace du_detail {

std::optional<std::string> dateUtilsLocalizedString(const std::string& key) {
    NSBundlePtr owner = NSBundle::bundleForClass("DUError");
    if (!owner) return std::nullopt;
    NSBundlePtr bundle = NSBundle::bundleWithPath(owner->resourcePath() + "/DateUtils.bundle");
    if (!bundle) return std::nullopt;
    return bundle->localizedStringForKey(key, std::string(), "DateUtils");
}

}  // namespace du_detail
