#pragma once
// The main bundle's text for a key of its default strings table.
//
// Any thread.

#include <platform_foundation/NSBundle.h>

#include <string>

// The key itself when the table has no text for it (an empty default value).
inline std::string NSLocalizedString(const std::string& key) {
    return NSBundle::mainBundle()->localizedStringForKey(key, "", "");
}
