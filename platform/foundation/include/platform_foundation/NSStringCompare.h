#pragma once
// String comparison and search in the platform's style: compare with options (numeric,
// case-insensitive, literal), prefix/suffix/contains tests and ranges in UTF-16 code units.

#include <cstdint>
#include <string_view>

#include <platform_foundation/NSRange.h>
#include <platform_runtime/NSComparisonResult.h>

using NSStringCompareOptions = uint32_t;
inline constexpr NSStringCompareOptions NSCaseInsensitiveSearch = 1;
inline constexpr NSStringCompareOptions NSLiteralSearch = 2;
inline constexpr NSStringCompareOptions NSBackwardsSearch = 4;
inline constexpr NSStringCompareOptions NSAnchoredSearch = 8;
inline constexpr NSStringCompareOptions NSNumericSearch = 64;
inline constexpr NSStringCompareOptions NSDiacriticInsensitiveSearch = 128;

namespace NSString {

// Without NSLiteralSearch, canonically equivalent texts (composed and decomposed accents)
// compare equal. NSNumericSearch compares runs of ASCII digits by their value, so "1.9" <
// "1.10" and "9.3.5" < "10.0". Other characters compare by UTF-16 code unit.
NSComparisonResult compare(std::string_view a, std::string_view b, NSStringCompareOptions options = 0);
NSComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b);
// Case-insensitive comparison in the root collation order (letters by alphabet, accents as
// secondary differences), as used for sorting texts shown to people.
NSComparisonResult localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
bool isEqualToString(std::string_view a, std::string_view b);

bool hasPrefix(std::string_view s, std::string_view prefix);
bool hasSuffix(std::string_view s, std::string_view suffix);
// False for an empty needle, as the platform answers.
bool containsString(std::string_view s, std::string_view needle);

// The first (or with NSBackwardsSearch the last) occurrence of `needle`, in UTF-16 units;
// {NSNotFound, 0} when absent or when `needle` is empty. Options: NSCaseInsensitiveSearch,
// NSBackwardsSearch, NSAnchoredSearch (only at the start, or the end when backwards).
NSRange rangeOfString(std::string_view s, std::string_view needle, NSStringCompareOptions options = 0);
// The same within `searchRange` (clamped to the string).
NSRange rangeOfString(std::string_view s, std::string_view needle, NSStringCompareOptions options,
                      NSRange searchRange);

}  // namespace NSString
