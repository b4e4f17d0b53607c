#include "URLPercentCoding.h"

#include <cstring>

namespace {

bool allowed(unsigned char c, URLCharacterClass part) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    if (std::strchr("-._~", c) && c) return true;
    const char* extra = "";
    switch (part) {
        case URLCharacterClass::Path: extra = "!$&'()*+,;=:@/"; break;
        case URLCharacterClass::Query:
        case URLCharacterClass::Fragment: extra = "!$&'()*+,;=:@/?"; break;
        // A query item's name or value must not end the item or the pair.
        case URLCharacterClass::QueryItem: extra = "!$'()*+,;:@/?"; break;
        case URLCharacterClass::Host: extra = "!$&'()*+,;=:[]"; break;
        case URLCharacterClass::User: extra = "!$&'()*+,;="; break;
        case URLCharacterClass::Password: extra = "!$&'()*+,;="; break;
    }
    return c && std::strchr(extra, c);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool validUTF8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra ? 0 : 1)) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

std::string urlPercentEncode(std::string_view text, URLCharacterClass part) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (allowed(c, part)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> urlPercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!validUTF8(out)) return std::nullopt;
    return out;
}
