#include <platform_runtime/NSDecimal.h>

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Exponent range of the type; results below it are rounded, above it are not a number.
constexpr int kMinExponent = -128;
constexpr int kMaxExponent = 127;

// Unsigned magnitudes as decimal digit strings, most significant first, no leading zeros
// ("0" for zero). Operands are at most a few hundred digits, so schoolbook is plenty.
std::string stripLeadingZeros(std::string s) {
    const auto nz = s.find_first_not_of('0');
    if (nz == std::string::npos) return "0";
    s.erase(0, nz);
    return s;
}

int compareMagnitude(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string addMagnitude(const std::string& a, const std::string& b) {
    std::string out;
    int carry = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        int s = carry;
        if (i < a.size()) s += a[a.size() - 1 - i] - '0';
        if (i < b.size()) s += b[b.size() - 1 - i] - '0';
        out.push_back(static_cast<char>('0' + s % 10));
        carry = s / 10;
    }
    std::reverse(out.begin(), out.end());
    return stripLeadingZeros(out);
}

// a - b for a >= b.
std::string subtractMagnitude(const std::string& a, const std::string& b) {
    std::string out;
    int borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        int s = (a[a.size() - 1 - i] - '0') - borrow;
        if (i < b.size()) s -= b[b.size() - 1 - i] - '0';
        borrow = s < 0;
        out.push_back(static_cast<char>('0' + (s + 10) % 10));
    }
    std::reverse(out.begin(), out.end());
    return stripLeadingZeros(out);
}

std::string multiplyMagnitude(const std::string& a, const std::string& b) {
    std::vector<int> acc(a.size() + b.size(), 0);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
            acc[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    for (std::size_t k = acc.size() - 1; k > 0; --k) {
        acc[k - 1] += acc[k] / 10;
        acc[k] %= 10;
    }
    std::string out;
    for (int d : acc) out.push_back(static_cast<char>('0' + d));
    return stripLeadingZeros(out);
}

// floor(a / b) for b != 0.
std::string divideMagnitude(const std::string& a, const std::string& b) {
    std::string q, cur = "0";
    for (char c : a) {
        cur = stripLeadingZeros(cur + c);
        int count = 0;
        while (compareMagnitude(cur, b) >= 0) cur = subtractMagnitude(cur, b), ++count;
        q.push_back(static_cast<char>('0' + count));
    }
    return stripLeadingZeros(q);
}

// Keeps the first `keep` digits, rounding half away from zero on the first dropped digit.
// Answers the kept digits (one more when the carry ripples through, e.g. "99|5" -> "100").
std::string roundToDigits(const std::string& digits, std::size_t keep) {
    std::string kept = digits.substr(0, keep);
    if (keep < digits.size() && digits[keep] >= '5') kept = addMagnitude(kept.empty() ? "0" : kept, "1");
    return kept.empty() ? "0" : kept;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

NSDecimal::NSDecimal(int64_t v) {
    const uint64_t mag = v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    digits_ = std::to_string(mag);
    negative_ = v < 0;
    normalize();
}

NSDecimal NSDecimal::fromUnsigned(uint64_t v) { return fromMantissa(v, 0, false); }

NSDecimal NSDecimal::fromMantissa(uint64_t mantissa, int exponent, bool negative) {
    NSDecimal d;
    d.digits_ = std::to_string(mantissa);
    d.exponent_ = exponent;
    d.negative_ = negative;
    d.normalize();
    return d;
}

NSDecimal NSDecimal::notANumber() {
    NSDecimal d;
    d.nan_ = true;
    return d;
}

NSDecimal NSDecimal::fromDouble(double v) {
    if (!std::isfinite(v)) return notANumber();
    char buf[64];
    std::to_chars_result r;
    if (std::fabs(v) < 1e38 && v == std::trunc(v)) {
        // Whole numbers convert exactly, so a decimal and a double with the same integer value
        // compare equal.
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 0);
    } else {
        r = std::to_chars(buf, buf + sizeof buf, v);
    }
    return fromString(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

NSDecimal NSDecimal::fromString(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    NSDecimal d;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) d.negative_ = s[i++] == '-';
    std::string digits;
    long exponent = 0;
    bool any = false;
    for (; i < s.size() && isDigit(s[i]); ++i) digits.push_back(s[i]), any = true;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && isDigit(s[i]); ++i) digits.push_back(s[i]), --exponent, any = true;
    }
    if (!any) return notANumber();
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        bool negExp = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) negExp = s[j++] == '-';
        if (j < s.size() && isDigit(s[j])) {
            long e = 0;
            for (; j < s.size() && isDigit(s[j]); ++j) e = std::min(e * 10 + (s[j] - '0'), 100000L);
            exponent += negExp ? -e : e;
        }
    }
    digits = stripLeadingZeros(digits);
    if (digits == "0") return NSDecimal();
    // Drop what cannot matter before the exponent is narrowed to int.
    const long adjusted = exponent + static_cast<long>(digits.size());
    if (adjusted > kMaxExponent + kMaxDigits) return notANumber();
    if (adjusted < kMinExponent - 1) return NSDecimal();
    d.digits_ = digits;
    d.exponent_ = static_cast<int>(exponent);
    d.normalize();
    return d;
}

void NSDecimal::normalize() {
    if (nan_) {
        digits_ = "0", exponent_ = 0, negative_ = false;
        return;
    }
    digits_ = stripLeadingZeros(digits_);
    if (digits_.size() > static_cast<std::size_t>(kMaxDigits)) {
        exponent_ += static_cast<int>(digits_.size()) - kMaxDigits;
        digits_ = roundToDigits(digits_, kMaxDigits);
    }
    if (exponent_ < kMinExponent) {
        const std::size_t drop = static_cast<std::size_t>(kMinExponent - exponent_);
        if (drop > digits_.size()) {
            digits_ = "0";
        } else {
            digits_ = roundToDigits(digits_, digits_.size() - drop);
        }
        exponent_ = kMinExponent;
    }
    if (digits_ == "0") {
        exponent_ = 0, negative_ = false;
        return;
    }
    // Trailing zeros move into the exponent so equal values share one representation.
    const auto last = digits_.find_last_not_of('0');
    exponent_ += static_cast<int>(digits_.size() - 1 - last);
    digits_.erase(last + 1);
    if (exponent_ > kMaxExponent) {
        // Still representable when the excess fits into the mantissa as trailing zeros.
        const std::size_t excess = static_cast<std::size_t>(exponent_ - kMaxExponent);
        if (digits_.size() + excess > static_cast<std::size_t>(kMaxDigits)) {
            *this = notANumber();
            return;
        }
        digits_.append(excess, '0');
        exponent_ = kMaxExponent;
    }
}

std::string NSDecimal::stringValue() const {
    if (nan_) return "NaN";
    std::string out = negative_ ? "-" : "";
    if (exponent_ >= 0) {
        out += digits_;
        if (digits_ != "0") out.append(static_cast<std::size_t>(exponent_), '0');
        return out;
    }
    const long point = static_cast<long>(digits_.size()) + exponent_;
    if (point > 0) {
        out += digits_.substr(0, static_cast<std::size_t>(point)) + "." + digits_.substr(static_cast<std::size_t>(point));
    } else {
        out += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits_;
    }
    return out;
}

double NSDecimal::doubleValue() const {
    if (nan_) return std::numeric_limits<double>::quiet_NaN();
    const std::string text = (negative_ ? "-" : "") + digits_ + "e" + std::to_string(exponent_);
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text.c_str(), nullptr, cLocale);
}

bool NSDecimal::isInteger() const { return !nan_ && exponent_ >= 0; }

int64_t NSDecimal::longLongValue() const {
    if (nan_) return 0;
    std::string whole;
    if (exponent_ >= 0) {
        whole = digits_ + std::string(static_cast<std::size_t>(exponent_), '0');
    } else {
        const long point = static_cast<long>(digits_.size()) + exponent_;
        whole = point > 0 ? digits_.substr(0, static_cast<std::size_t>(point)) : "0";
    }
    const std::string limit = negative_ ? "9223372036854775808" : "9223372036854775807";
    if (compareMagnitude(whole, limit) >= 0)
        return negative_ ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    const int64_t mag = std::stoll(whole);
    return negative_ ? -mag : mag;
}

NSComparisonResult NSDecimal::compare(const NSDecimal& o) const {
    if (nan_ || o.nan_) {
        if (nan_ && o.nan_) return NSOrderedSame;
        return nan_ ? NSOrderedAscending : NSOrderedDescending;
    }
    const int signA = isZero() ? 0 : (negative_ ? -1 : 1);
    const int signB = o.isZero() ? 0 : (o.negative_ ? -1 : 1);
    if (signA != signB) return signA < signB ? NSOrderedAscending : NSOrderedDescending;
    if (signA == 0) return NSOrderedSame;
    int mag;
    const long adjA = static_cast<long>(digits_.size()) + exponent_;
    const long adjB = static_cast<long>(o.digits_.size()) + o.exponent_;
    if (adjA != adjB) {
        mag = adjA < adjB ? -1 : 1;
    } else {
        // Same magnitude order: compare the digit strings left-aligned.
        const std::size_t n = std::max(digits_.size(), o.digits_.size());
        std::string a = digits_, b = o.digits_;
        a.resize(n, '0'), b.resize(n, '0');
        const int c = a.compare(b);
        mag = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (signA < 0) mag = -mag;
    return static_cast<NSComparisonResult>(mag);
}

NSDecimal NSDecimal::negated() const {
    NSDecimal d = *this;
    if (!d.nan_ && !d.isZero()) d.negative_ = !d.negative_;
    return d;
}

NSDecimal NSDecimal::add(const NSDecimal& o) const {
    if (nan_ || o.nan_) return notANumber();
    if (isZero()) return o;
    if (o.isZero()) return *this;
    const int e = std::min(exponent_, o.exponent_);
    const std::string a = digits_ + std::string(static_cast<std::size_t>(exponent_ - e), '0');
    const std::string b = o.digits_ + std::string(static_cast<std::size_t>(o.exponent_ - e), '0');
    NSDecimal r;
    r.exponent_ = e;
    if (negative_ == o.negative_) {
        r.digits_ = addMagnitude(a, b);
        r.negative_ = negative_;
    } else if (compareMagnitude(a, b) >= 0) {
        r.digits_ = subtractMagnitude(a, b);
        r.negative_ = negative_;
    } else {
        r.digits_ = subtractMagnitude(b, a);
        r.negative_ = o.negative_;
    }
    r.normalize();
    return r;
}

NSDecimal NSDecimal::subtract(const NSDecimal& o) const { return add(o.negated()); }

NSDecimal NSDecimal::multiply(const NSDecimal& o) const {
    if (nan_ || o.nan_) return notANumber();
    if (isZero() || o.isZero()) return NSDecimal();
    NSDecimal r;
    r.digits_ = multiplyMagnitude(digits_, o.digits_);
    r.exponent_ = exponent_ + o.exponent_;
    r.negative_ = negative_ != o.negative_;
    r.normalize();
    return r;
}

NSDecimal NSDecimal::divide(const NSDecimal& o) const {
    if (nan_ || o.nan_ || o.isZero()) return notANumber();
    if (isZero()) return NSDecimal();
    // Scale the dividend so the quotient has more than 38 digits; the first dropped digit
    // then decides the rounding (a non-zero remainder only pushes further past half).
    const long scale = std::max(0L, kMaxDigits + 2 + static_cast<long>(o.digits_.size()) - static_cast<long>(digits_.size()));
    NSDecimal r;
    r.digits_ = divideMagnitude(digits_ + std::string(static_cast<std::size_t>(scale), '0'), o.digits_);
    r.exponent_ = exponent_ - o.exponent_ - static_cast<int>(scale);
    r.negative_ = negative_ != o.negative_;
    r.normalize();
    return r;
}

NSDecimal NSDecimal::rounded(int scale) const {
    if (nan_ || exponent_ >= -scale) return *this;
    const std::size_t drop = static_cast<std::size_t>(-scale - exponent_);
    NSDecimal r;
    r.negative_ = negative_;
    r.exponent_ = -scale;
    if (drop > digits_.size()) {
        r.digits_ = "0";
    } else {
        r.digits_ = roundToDigits(digits_, digits_.size() - drop);
    }
    r.normalize();
    return r;
}
