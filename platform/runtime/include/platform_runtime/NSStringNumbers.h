#pragma once
// Leading-number parsing of text as the platform's string intValue/doubleValue/boolValue do it:
// optional leading whitespace, then the longest numeric prefix; no number gives 0 / false.

#include <cstdint>
#include <string_view>

// int32, clamped to INT32_MIN..INT32_MAX on overflow.
int32_t NSStringIntValue(std::string_view text);
// int64, clamped on overflow.
int64_t NSStringIntegerValue(std::string_view text);
inline int64_t NSStringLongLongValue(std::string_view text) { return NSStringIntegerValue(text); }
// uint64, clamped to UINT64_MAX; a negative number wraps like the C conversion would.
uint64_t NSStringUnsignedLongLongValue(std::string_view text);
// Decimal float syntax (digits, '.', exponent); out of range gives +-HUGE_VAL or 0.
double NSStringDoubleValue(std::string_view text);
float NSStringFloatValue(std::string_view text);
// True for a leading 'Y', 'y', 'T', 't', or a number whose first non-zero digit comes before
// any other character ("  +0012" is true, "0.5" and "no" are false).
bool NSStringBoolValue(std::string_view text);
