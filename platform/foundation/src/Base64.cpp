#include <platform_foundation/Base64.h>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int symbolValue(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string NSDataBase64EncodedString(const Value::Data& data, NSDataBase64EncodingOptions options) {
    return NSDataBase64EncodedString(data.data(), data.size(), options);
}

std::string NSDataBase64EncodedString(const void* bytesIn, std::size_t length, NSDataBase64EncodingOptions options) {
    const auto* bytes = static_cast<const unsigned char*>(bytesIn);
    std::string encoded;
    encoded.reserve((length + 2) / 3 * 4);
    for (std::size_t i = 0; i < length; i += 3) {
        uint32_t n = uint32_t{bytes[i]} << 16;
        if (i + 1 < length) n |= uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < length) n |= bytes[i + 2];
        encoded += kAlphabet[(n >> 18) & 63];
        encoded += kAlphabet[(n >> 12) & 63];
        encoded += i + 1 < length ? kAlphabet[(n >> 6) & 63] : '=';
        encoded += i + 2 < length ? kAlphabet[n & 63] : '=';
    }
    std::size_t lineLength = (options & NSDataBase64Encoding64CharacterLineLength) ? 64
                             : (options & NSDataBase64Encoding76CharacterLineLength) ? 76
                                                                                     : 0;
    if (lineLength == 0 || encoded.size() <= lineLength) return encoded;

    std::string ending;
    bool cr = options & NSDataBase64EncodingEndLineWithCarriageReturn;
    bool lf = options & NSDataBase64EncodingEndLineWithLineFeed;
    if (cr == lf) ending = "\r\n";
    else ending = cr ? "\r" : "\n";
    std::string out;
    out.reserve(encoded.size() + encoded.size() / lineLength * ending.size());
    for (std::size_t i = 0; i < encoded.size(); i += lineLength) {
        if (i) out += ending;
        out.append(encoded, i, lineLength);
    }
    return out;
}

std::optional<Value::Data> NSDataFromBase64EncodedString(std::string_view text, NSDataBase64DecodingOptions options) {
    const bool lenient = options & NSDataBase64DecodingIgnoreUnknownCharacters;
    Value::Data out;
    out.reserve(text.size() / 4 * 3);
    uint32_t accumulator = 0;
    int symbols = 0;      // symbols in the current quantum
    int padding = 0;      // "=" seen
    std::size_t total = 0;  // alphabet symbols plus padding, for the length check
    for (unsigned char c : text) {
        if (c == '=') {
            ++padding;
            ++total;
            continue;
        }
        int v = symbolValue(c);
        if (v < 0) {
            if (lenient) continue;
            return std::nullopt;
        }
        // Data after padding is malformed.
        if (padding > 0) return std::nullopt;
        accumulator = (accumulator << 6) | static_cast<uint32_t>(v);
        ++symbols;
        ++total;
        if (symbols == 4) {
            out.push_back(static_cast<uint8_t>(accumulator >> 16));
            out.push_back(static_cast<uint8_t>(accumulator >> 8));
            out.push_back(static_cast<uint8_t>(accumulator));
            accumulator = 0;
            symbols = 0;
        }
    }
    if (symbols == 1) return std::nullopt;
    if (padding > 2) return std::nullopt;
    if (symbols == 0 && padding > 0) return std::nullopt;
    if (symbols > 0 && padding > 0 && symbols + padding != 4) return std::nullopt;
    if (!lenient && total % 4 != 0) return std::nullopt;
    if (symbols == 2) {
        out.push_back(static_cast<uint8_t>(accumulator >> 4));
    } else if (symbols == 3) {
        out.push_back(static_cast<uint8_t>(accumulator >> 10));
        out.push_back(static_cast<uint8_t>(accumulator >> 2));
    }
    return out;
}
