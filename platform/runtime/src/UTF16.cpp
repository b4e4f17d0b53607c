#include <platform_runtime/UTF16.h>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    const auto c0 = static_cast<unsigned char>(s[pos]);
    if (c0 < 0x80) {
        ++pos;
        return c0;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        extra = 1, cp = c0 & 0x1F, min = 0x80;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        extra = 2, cp = c0 & 0x0F, min = 0x800;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        extra = 3, cp = c0 & 0x07, min = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    // A malformed sequence consumes only its valid prefix, so the next lead byte is not lost.
    std::size_t p = pos + 1;
    for (int i = 0; i < extra; ++i, ++p) {
        if (p >= s.size() || !isContinuation(static_cast<unsigned char>(s[p]))) {
            pos = p;
            return kReplacement;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[p]) & 0x3F);
    }
    pos = p;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = decodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t u = utf16[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, u);  // a lone surrogate becomes U+FFFD here
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < utf8.size();) n += decodeUtf8(utf8, pos) >= 0x10000 ? 2 : 1;
    return n;
}

char16_t utf16CharacterAtIndex(std::string_view utf8, std::size_t index) {
    std::size_t unit = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = decodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            if (unit == index) return static_cast<char16_t>(0xD800 + (cp >> 10));
            if (unit + 1 == index) return static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            unit += 2;
        } else {
            if (unit == index) return static_cast<char16_t>(cp);
            ++unit;
        }
    }
    return 0;
}

std::string utf16Substring(std::string_view utf8, std::size_t location, std::size_t length) {
    std::string out;
    const std::size_t end = length > static_cast<std::size_t>(-1) - location ? static_cast<std::size_t>(-1) : location + length;
    std::size_t unit = 0;
    for (std::size_t pos = 0; pos < utf8.size() && unit < end;) {
        const char32_t cp = decodeUtf8(utf8, pos);
        const std::size_t width = cp >= 0x10000 ? 2 : 1;
        const std::size_t first = unit, last = unit + width;  // [first, last)
        unit = last;
        if (last <= location) continue;
        if (first >= location && last <= end) {
            appendUtf8(out, cp);
        } else {
            // Only one half of a surrogate pair falls in the range.
            appendUtf8(out, kReplacement);
        }
    }
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t start = pos;
        const char32_t cp = decodeUtf8(bytes, pos);
        if (cp == kReplacement && bytes.substr(start, pos - start) != "\xEF\xBF\xBD") return false;
    }
    return true;
}

std::string sanitizeUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) appendUtf8(out, decodeUtf8(bytes, pos));
    return out;
}
