#pragma once
// Percent-encoding of URL parts by the characters each part may hold.

#include <optional>
#include <string>
#include <string_view>

enum class URLCharacterClass { Path, Query, QueryItem, Fragment, Host, User, Password };

// Encodes every byte outside the part's allowed set as %XX (upper-case hex).
std::string urlPercentEncode(std::string_view text, URLCharacterClass part);
// Decodes %XX sequences; nothing when one is malformed or the result is not UTF-8.
std::optional<std::string> urlPercentDecode(std::string_view text);
