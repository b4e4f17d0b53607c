#include "ValueNumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

std::string valueNumberText(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    char buf[400];
    // Shortest scientific form first: it tells the decimal exponent of the shortest digits.
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    const std::string sci(buf, r.ptr);
    const int exponent = std::atoi(sci.c_str() + sci.find('e') + 1);
    if (exponent < -4 || exponent >= 16) return sci;
    r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}
