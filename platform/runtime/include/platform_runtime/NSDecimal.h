#pragma once
// Exact decimal number (up to 38 significant digits and a decimal exponent), the payload of decimal numbers.

#include <cstdint>
#include <string>
#include <string_view>

#include <platform_runtime/NSComparisonResult.h>

class NSDecimal {
public:
    static constexpr int kMaxDigits = 38;

    NSDecimal() = default;  // zero
    NSDecimal(int64_t v);   // NOLINT: implicit, like an integer literal
    static NSDecimal fromUnsigned(uint64_t v);
    // Whole numbers below 1e38 exactly; otherwise the shortest round-trip text of the double, so
    // 0.1 becomes exactly 0.1. NaN/inf give notANumber.
    static NSDecimal fromDouble(double v);
    // The leading number of the text after optional whitespace ("  -12.5e3", "12abc" -> 12):
    // optional sign, digits with one '.', optional exponent. No digits gives notANumber.
    // Digits beyond 38 are rounded; magnitudes beyond 10^165 give notANumber.
    static NSDecimal fromString(std::string_view text);
    // mantissa * 10^exponent.
    static NSDecimal fromMantissa(uint64_t mantissa, int exponent, bool negative);
    static NSDecimal notANumber();
    static NSDecimal zero() { return NSDecimal(); }
    static NSDecimal one() { return NSDecimal(int64_t{1}); }

    bool isNaN() const { return nan_; }
    bool isZero() const { return !nan_ && digits_ == "0"; }
    bool isNegative() const { return negative_; }
    // Significant digits (no leading zeros, "0" for zero) and the power of ten they are scaled by.
    const std::string& digits() const { return digits_; }
    int exponent() const { return exponent_; }

    // Plain notation without exponent: "12.5", "-0.001", "1200"; "NaN" for notANumber.
    std::string stringValue() const;
    double doubleValue() const;
    int64_t longLongValue() const;  // truncated toward zero, clamped
    bool isInteger() const;

    // NaN sorts before every number (so the order stays total).
    NSComparisonResult compare(const NSDecimal& other) const;
    bool operator==(const NSDecimal& o) const { return compare(o) == NSOrderedSame; }
    bool operator!=(const NSDecimal& o) const { return !(*this == o); }
    bool operator<(const NSDecimal& o) const { return compare(o) == NSOrderedAscending; }

    // Results keep at most 38 significant digits, rounded half away from zero.
    // Any NaN operand, or a division by zero, gives notANumber.
    NSDecimal add(const NSDecimal& o) const;
    NSDecimal subtract(const NSDecimal& o) const;
    NSDecimal multiply(const NSDecimal& o) const;
    NSDecimal divide(const NSDecimal& o) const;
    NSDecimal negated() const;
    // Rounds to `scale` digits after the point (negative: before it), half away from zero.
    NSDecimal rounded(int scale) const;

private:
    void normalize();

    std::string digits_ = "0";
    int exponent_ = 0;
    bool negative_ = false;
    bool nan_ = false;
};
