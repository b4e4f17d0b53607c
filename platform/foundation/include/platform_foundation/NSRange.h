#pragma once
// A span of positions {location, length}, with the "not found" marker and helpers.

#include <cstdint>

using NSInteger = std::int64_t;
using NSUInteger = std::uint64_t;

inline constexpr NSInteger NSIntegerMax = INT64_MAX;
inline constexpr NSInteger NSNotFound = NSIntegerMax;

struct NSRange {
    NSUInteger location = 0;
    NSUInteger length = 0;

    bool operator==(const NSRange&) const = default;
};

inline constexpr NSRange NSMakeRange(NSUInteger location, NSUInteger length) { return NSRange{location, length}; }
inline constexpr NSUInteger NSMaxRange(NSRange range) { return range.location + range.length; }
inline constexpr bool NSEqualRanges(NSRange a, NSRange b) { return a == b; }
inline constexpr bool NSLocationInRange(NSUInteger location, NSRange range) {
    return location >= range.location && location - range.location < range.length;
}
