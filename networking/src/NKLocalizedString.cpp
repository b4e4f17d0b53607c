#include "NKLocalizedString.h"

#include <platform_foundation/NSBundle.h>

std::string NKLocalizedString(const std::string& english) {
    auto bundle = NSBundle::mainBundle();
    if (!bundle) return english;
    return bundle->localizedStringForKey(english, english, "NKNetworking");
}
