#include <platform_foundation/NSStringEncoding.h>

#include <platform_runtime/UTF16.h>

#include "IcuTextCodec.h"

namespace {

std::optional<std::string> decodeUtf16(const uint8_t* p, std::size_t n, bool bigEndian, bool honourBom) {
    if (n % 2 != 0) return std::nullopt;
    std::size_t i = 0;
    if (honourBom && n >= 2) {
        if (p[0] == 0xFE && p[1] == 0xFF) {
            bigEndian = true;
            i = 2;
        } else if (p[0] == 0xFF && p[1] == 0xFE) {
            bigEndian = false;
            i = 2;
        }
    }
    std::u16string units;
    units.reserve(n / 2);
    for (; i + 1 < n; i += 2)
        units += static_cast<char16_t>(bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]));
    for (std::size_t k = 0; k < units.size(); ++k) {
        char16_t u = units[k];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 >= units.size() || units[k + 1] < 0xDC00 || units[k + 1] > 0xDFFF) return std::nullopt;
            ++k;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        }
    }
    return utf16ToUtf8(units);
}

}  // namespace

namespace NSString {

std::optional<Value::Data> dataUsingEncoding(std::string_view text, NSStringEncoding encoding,
                                             bool allowLossyConversion) {
    switch (encoding) {
    case NSUTF8StringEncoding: return Value::Data(text.begin(), text.end());
    case NSASCIIStringEncoding:
    case NSISOLatin1StringEncoding: {
        char32_t limit = encoding == NSASCIIStringEncoding ? 0x7F : 0xFF;
        Value::Data out;
        std::size_t pos = 0;
        while (pos < text.size()) {
            char32_t c = decodeUtf8(text, pos);
            if (c > limit) {
                if (!allowLossyConversion) return std::nullopt;
                c = '?';
            }
            out.push_back(static_cast<uint8_t>(c));
        }
        return out;
    }
    case NSUTF16StringEncoding:
    case NSUTF16BigEndianStringEncoding:
    case NSUTF16LittleEndianStringEncoding: {
        std::u16string units = utf8ToUtf16(text);
        bool big = encoding == NSUTF16BigEndianStringEncoding;
        Value::Data out;
        out.reserve(units.size() * 2 + 2);
        if (encoding == NSUTF16StringEncoding) {
            out.push_back(0xFF);
            out.push_back(0xFE);
        }
        for (char16_t u : units) {
            uint8_t hi = static_cast<uint8_t>(u >> 8), lo = static_cast<uint8_t>(u);
            out.push_back(big ? hi : lo);
            out.push_back(big ? lo : hi);
        }
        return out;
    }
    default:
        if (const char* converter = icu_text::converterName(encoding))
            return icu_text::encode(converter, text, allowLossyConversion);
        return std::nullopt;
    }
}

std::optional<std::string> initWithBytes(const void* bytes, std::size_t length, NSStringEncoding encoding) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    switch (encoding) {
    case NSUTF8StringEncoding: {
        std::string s(reinterpret_cast<const char*>(p), length);
        if (!isValidUtf8(s)) return std::nullopt;
        return s;
    }
    case NSASCIIStringEncoding:
    case NSISOLatin1StringEncoding: {
        std::string out;
        for (std::size_t i = 0; i < length; ++i) {
            if (encoding == NSASCIIStringEncoding && p[i] > 0x7F) return std::nullopt;
            appendUtf8(out, p[i]);
        }
        return out;
    }
    case NSUTF16StringEncoding: return decodeUtf16(p, length, true, true);
    case NSUTF16BigEndianStringEncoding: return decodeUtf16(p, length, true, false);
    case NSUTF16LittleEndianStringEncoding: return decodeUtf16(p, length, false, false);
    default:
        if (const char* converter = icu_text::converterName(encoding))
            return icu_text::decode(converter, bytes, length, /*lossy=*/false);
        return std::nullopt;
    }
}

std::optional<std::string> initWithDataReplacingInvalid(const Value::Data& data, NSStringEncoding encoding) {
    const char* converter = icu_text::converterName(encoding);
    if (!converter) return std::nullopt;
    return icu_text::decode(converter, data.data(), data.size(), /*lossy=*/true);
}

bool isSupportedEncoding(NSStringEncoding encoding) { return icu_text::converterName(encoding) != nullptr; }

std::optional<std::string> initWithData(const Value::Data& data, NSStringEncoding encoding) {
    return initWithBytes(data.data(), data.size(), encoding);
}

}  // namespace NSString
