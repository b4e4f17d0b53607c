#pragma once
// Case mapping of whole strings, independent of the user's locale.

#include <string>
#include <string_view>

namespace NSString {
std::string lowercaseString(std::string_view s);
std::string uppercaseString(std::string_view s);  // full mapping: "ß" becomes "SS"
// The first character of each word upper-cased and the rest lower-cased; words are separated
// by spaces, tabs and line breaks.
std::string capitalizedString(std::string_view s);
}  // namespace NSString
