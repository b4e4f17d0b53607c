#pragma once
// Splitting, joining, replacing and cutting strings; indexes and ranges count UTF-16 code units.

#include <string>
#include <string_view>
#include <vector>

#include <platform_foundation/NSStringCompare.h>
#include <platform_foundation/NSRange.h>
#include <platform_runtime/Value.h>

namespace NSString {

// Pieces between occurrences of the separator, empty pieces included ("a,,b" gives three);
// an empty separator gives the whole string as the one piece.
std::vector<std::string> componentsSeparatedByString(std::string_view s, std::string_view separator);
std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator);
// Joins the description of each element of an array (or set) value.
std::string componentsJoinedByString(const Value& array, std::string_view separator);

// Every occurrence replaced, left to right, without rescanning replaced text. An empty target
// leaves the string unchanged. Options as for rangeOfString (NSCaseInsensitiveSearch).
std::string stringByReplacingOccurrencesOfString(std::string_view s, std::string_view target,
                                                 std::string_view replacement, NSStringCompareOptions options = 0);

// Substrings by UTF-16 index. An index or range past the end raises NSRangeException, as the
// platform does; a range that splits a surrogate pair keeps U+FFFD for the split half.
std::string substringFromIndex(std::string_view s, std::size_t index);
std::string substringToIndex(std::string_view s, std::size_t index);
std::string substringWithRange(std::string_view s, NSRange range);

// The range widened so that it neither starts nor ends inside a user-perceived character
// (surrogate pairs, combining marks, emoji sequences).
NSRange rangeOfComposedCharacterSequencesForRange(std::string_view s, NSRange range);

std::size_t length(std::string_view s);  // UTF-16 code units

}  // namespace NSString
