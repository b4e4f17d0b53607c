#pragma once

#include <cstdint>
#include <string_view>

// Leading decimal number of the text; 0 when it does not begin with one.
inline uint64_t DVLeadingInteger(std::string_view text) {
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}
