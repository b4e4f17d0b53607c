#pragma once
// Percent-encoding of text for URLs (escape what a set does not allow; undo escapes).

#include <optional>
#include <string>
#include <string_view>

#include <platform_foundation/NSCharacterSet.h>

namespace NSString {
// Every character outside `allowed` is written as the %XX escapes (upper-case hex) of its UTF-8
// bytes; malformed UTF-8 bytes are escaped one by one.
std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view s, const NSCharacterSet& allowed);
// Every %XX escape replaced by its byte. nullopt when a "%" is not followed by two hex digits
// or when the decoded bytes are not valid UTF-8.
std::optional<std::string> stringByRemovingPercentEncoding(std::string_view s);
}  // namespace NSString
