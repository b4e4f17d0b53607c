#include <platform_foundation/PercentEncoding.h>

#include <platform_runtime/UTF16.h>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void escapeByte(std::string& out, unsigned char b) {
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
}

}  // namespace

namespace NSString {

std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view s, const NSCharacterSet& allowed) {
    std::string out;
    out.reserve(s.size() * 3 / 2);
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t start = pos;
        char32_t c = decodeUtf8(s, pos);
        std::string_view bytes = s.substr(start, pos - start);
        bool wellFormed = !(c == 0xFFFD && bytes != "\xEF\xBF\xBD");
        if (wellFormed && allowed.characterIsMember(c)) {
            out.append(bytes);
        } else {
            for (unsigned char b : bytes) escapeByte(out, b);
        }
    }
    return out;
}

std::optional<std::string> stringByRemovingPercentEncoding(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!isValidUtf8(out)) return std::nullopt;
    return out;
}

}  // namespace NSString
