#include <crash_reporting/ZUDData.h>

#include <zlib.h>

#include <cerrno>
#include <cstring>

#include <crash_reporting/ZUDErrors.h>
#include <platform_foundation/NSCharacterSet.h>
#include <platform_foundation/PercentEncoding.h>

namespace {

// The receiver of the compression operations is a byte buffer; its class names the domain.
constexpr const char* kDataDomain = "NSData";

std::optional<ZUDBytes> gzip(const uint8_t* bytes, std::size_t length, int level, NSErrorPtr* error) {
    if (length == 0) {
        zud_clearError(error);
        return ZUDBytes{};
    }
    z_stream stream{};
    int status = deflateInit2(&stream, level, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    if (status != Z_OK) {
        zud_fillError(error, kDataDomain, 0, "deflateInit2: %@", zud_zlibStatusText(status));
        return std::nullopt;
    }
    // Room for incompressible input: 2% over the input plus the wrapper; deflate is finished
    // in one call series and grows the buffer only when that estimate falls short.
    ZUDBytes out(static_cast<std::size_t>(static_cast<double>(length) * 1.02 + 50));
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = static_cast<uInt>(length);
    do {
        if (stream.total_out >= out.size()) out.resize(out.size() + length / 2 + 64);
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = deflate(&stream, Z_FINISH);
        if (status == Z_STREAM_ERROR) {
            deflateEnd(&stream);
            zud_fillError(error, kDataDomain, 0, "deflate: %@", zud_zlibStatusText(status));
            return std::nullopt;
        }
    } while (status != Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    zud_clearError(error);
    return out;
}

}  // namespace

std::string zud_zlibStatusText(int status) {
    switch (status) {
        case Z_VERSION_ERROR: return "Incorrect zlib version";
        case Z_BUF_ERROR: return "Output buffer too small";
        case Z_MEM_ERROR: return "Insufficient memory";
        case Z_DATA_ERROR: return "Invalid data";
        case Z_STREAM_ERROR: return "Invalid stream state";
        case Z_ERRNO: return NSStringWithFormat("errno: %s", std::strerror(errno));
        case Z_OK: return "OK";
        case Z_STREAM_END: return "End of stream";
        case Z_NEED_DICT: return "NEED_DICT";
        default: return NSStringWithFormat("Unknown error: %d", status);
    }
}

std::optional<ZUDBytes> zud_gzippedWithCompressionLevel(const ZUDBytes& data, int level, NSErrorPtr* error) {
    return gzip(data.data(), data.size(), level, error);
}

std::optional<ZUDBytes> zud_gzippedWithCompressionLevel(std::string_view data, int level, NSErrorPtr* error) {
    return gzip(reinterpret_cast<const uint8_t*>(data.data()), data.size(), level, error);
}

std::optional<ZUDBytes> zud_gunzippedWithError(const ZUDBytes& data, NSErrorPtr* error) {
    if (data.empty()) {
        zud_clearError(error);
        return ZUDBytes{};
    }
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int status = inflateInit2(&stream, 31);
    if (status != Z_OK) {
        zud_fillError(error, kDataDomain, 0, "inflateInit2: %@", zud_zlibStatusText(status));
        return std::nullopt;
    }
    ZUDBytes out;
    constexpr std::size_t kStep = 4096;
    do {
        out.resize(stream.total_out + kStep);
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(kStep);
        status = inflate(&stream, Z_NO_FLUSH);
        // A stream that ends before its end marker is cut, not merely slow.
        if (status == Z_BUF_ERROR && stream.avail_in == 0) status = Z_DATA_ERROR;
        if (status != Z_OK && status != Z_STREAM_END) {
            inflateEnd(&stream);
            zud_fillError(error, kDataDomain, 0, "inflate: %@", zud_zlibStatusText(status));
            return std::nullopt;
        }
    } while (status != Z_STREAM_END);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    zud_clearError(error);
    return out;
}

void zud_appendUTF8String(ZUDBytes& data, std::string_view text) {
    auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    data.insert(data.end(), text.begin(), text.end());
}

std::string zud_URLEncoded(std::string_view text) {
    return NSString::stringByAddingPercentEncodingWithAllowedCharacters(text, NSCharacterSet::URLQueryAllowedCharacterSet());
}

namespace {

// Length of the well-formed UTF-8 sequence starting at `p` (RFC 3629 ranges), 0 if none.
std::size_t sequenceLength(const uint8_t* p, std::size_t left) {
    uint8_t b = p[0];
    if (b < 0x80) return 1;
    std::size_t n;
    uint8_t lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) n = 2;
    else if (b == 0xE0) { n = 3; lo = 0xA0; }
    else if (b == 0xED) { n = 3; hi = 0x9F; }
    else if (b >= 0xE1 && b <= 0xEF) n = 3;
    else if (b == 0xF0) { n = 4; lo = 0x90; }
    else if (b == 0xF4) { n = 4; hi = 0x8F; }
    else if (b >= 0xF1 && b <= 0xF3) n = 4;
    else return 0;
    if (left < n) return 0;
    if (p[1] < lo || p[1] > hi) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    return n;
}

}  // namespace

std::string zud_stringFromUTF8Replacing(const uint8_t* bytes, std::size_t length) {
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length;) {
        std::size_t n = sequenceLength(bytes + i, length - i);
        if (n == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(reinterpret_cast<const char*>(bytes + i), n);
            i += n;
        }
    }
    return text;
}

bool zud_isValidUTF8(std::string_view text) {
    auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = sequenceLength(p + i, text.size() - i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}
