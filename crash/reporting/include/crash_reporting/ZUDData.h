#pragma once
// Byte-buffer and text conveniences of the crash side: gzip compression and decompression,
// UTF-8 appending and URL-query encoding. Stateless; any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/NSError.h>

using ZUDBytes = std::vector<uint8_t>;

// One gzip stream of `data` (deflate, gzip wrapper, memory level 9, default strategy) at
// `level` (-1 the compressor's default, 0 stored, 1-9). Empty input answers empty data and
// clears the error. nullopt with `*error` set ("deflateInit2: …", "deflate: …", domain
// "NSData") when the compressor refuses.
std::optional<ZUDBytes> zud_gzippedWithCompressionLevel(const ZUDBytes& data, int level, NSErrorPtr* error);
std::optional<ZUDBytes> zud_gzippedWithCompressionLevel(std::string_view data, int level, NSErrorPtr* error);

// Inflates one gzip stream; empty input answers empty data. nullopt with `*error` set
// ("inflateInit2: …", "inflate: …") on a damaged or cut stream.
std::optional<ZUDBytes> zud_gunzippedWithError(const ZUDBytes& data, NSErrorPtr* error);

// The text of a compressor status as the errors above name it ("Invalid data", "errno: …",
// "Unknown error: 7").
std::string zud_zlibStatusText(int status);

// Appends the text's bytes up to its first NUL.
void zud_appendUTF8String(ZUDBytes& data, std::string_view text);
template <class... Args>
void zud_appendUTF8Format(ZUDBytes& data, std::string_view format, const Args&... args) {
    zud_appendUTF8String(data, NSStringWithFormat(format, args...));
}

// The text percent-encoded with the URL-query allowed character set.
std::string zud_URLEncoded(std::string_view text);

// The bytes as UTF-8 text, each byte that does not belong to a well-formed sequence replaced
// by U+FFFD.
std::string zud_stringFromUTF8Replacing(const uint8_t* bytes, std::size_t length);
inline std::string zud_stringFromUTF8Replacing(const ZUDBytes& data) {
    return zud_stringFromUTF8Replacing(data.data(), data.size());
}
// Whether the text is well-formed UTF-8.
bool zud_isValidUTF8(std::string_view text);
