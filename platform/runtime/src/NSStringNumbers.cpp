#include <platform_runtime/NSStringNumbers.h>

#include <locale.h>
#include <stdlib.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    return i;
}

// Leading integer as sign + magnitude; the magnitude saturates at UINT64_MAX.
struct LeadingInteger {
    bool negative = false;
    uint64_t magnitude = 0;
};

LeadingInteger leadingInteger(std::string_view s) {
    LeadingInteger r;
    std::size_t i = skipSpace(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) r.negative = s[i++] == '-';
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    for (; i < s.size() && isDigit(s[i]); ++i) {
        const uint64_t d = static_cast<uint64_t>(s[i] - '0');
        r.magnitude = r.magnitude > (kMax - d) / 10 ? kMax : r.magnitude * 10 + d;
    }
    return r;
}

int64_t clampedSigned(const LeadingInteger& n, int64_t min, int64_t max) {
    if (n.negative) {
        const uint64_t limit = static_cast<uint64_t>(-(min + 1)) + 1;
        return n.magnitude >= limit ? min : -static_cast<int64_t>(n.magnitude);
    }
    return n.magnitude > static_cast<uint64_t>(max) ? max : static_cast<int64_t>(n.magnitude);
}

}  // namespace

int32_t NSStringIntValue(std::string_view text) {
    return static_cast<int32_t>(
        clampedSigned(leadingInteger(text), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int64_t NSStringIntegerValue(std::string_view text) {
    return clampedSigned(leadingInteger(text), std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
}

uint64_t NSStringUnsignedLongLongValue(std::string_view text) {
    const LeadingInteger n = leadingInteger(text);
    return n.negative ? uint64_t{0} - n.magnitude : n.magnitude;
}

double NSStringDoubleValue(std::string_view s) {
    std::size_t i = skipSpace(s);
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') number.push_back('-');
        ++i;
    }
    bool anyDigit = false;
    for (; i < s.size() && isDigit(s[i]); ++i) number.push_back(s[i]), anyDigit = true;
    if (i < s.size() && s[i] == '.') {
        number.push_back('.');
        for (++i; i < s.size() && isDigit(s[i]); ++i) number.push_back(s[i]), anyDigit = true;
    }
    if (!anyDigit) return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && isDigit(s[j])) {
            number.append(s.substr(i, j - i));
            for (i = j; i < s.size() && isDigit(s[i]); ++i) number.push_back(s[i]);
        }
    }
    // The prefix is plain decimal syntax; parse it in the C locale so a process locale with
    // a decimal comma cannot change the result.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(number.c_str(), nullptr, cLocale);
}

float NSStringFloatValue(std::string_view text) { return static_cast<float>(NSStringDoubleValue(text)); }

bool NSStringBoolValue(std::string_view s) {
    std::size_t i = skipSpace(s);
    if (i >= s.size()) return false;
    const char c = s[i];
    if (c == 'Y' || c == 'y' || c == 'T' || c == 't') return true;
    if (c == '+' || c == '-') ++i;
    while (i < s.size() && s[i] == '0') ++i;
    return i < s.size() && s[i] >= '1' && s[i] <= '9';
}
