#pragma once
// Converting text to and from bytes in the platform's string encodings.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <platform_runtime/Value.h>

using NSStringEncoding = uint64_t;
inline constexpr NSStringEncoding NSASCIIStringEncoding = 1;
inline constexpr NSStringEncoding NSUTF8StringEncoding = 4;
inline constexpr NSStringEncoding NSISOLatin1StringEncoding = 5;
inline constexpr NSStringEncoding NSUTF16StringEncoding = 10;  // also the platform's "Unicode" encoding
inline constexpr NSStringEncoding NSUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr NSStringEncoding NSUTF16LittleEndianStringEncoding = 0x94000100;

namespace NSString {
// The text's bytes; nullopt when a character cannot be represented (ASCII, Latin-1) unless
// lossy conversion is allowed, which writes "?" for it. NSUTF16StringEncoding writes a
// byte-order mark and little-endian units.
std::optional<Value::Data> dataUsingEncoding(std::string_view text, NSStringEncoding encoding,
                                             bool allowLossyConversion = false);
// Text from bytes (initWithData:encoding:); nullopt for bytes that are not valid in the
// encoding (malformed UTF-8, bytes above 127 in ASCII, unpaired surrogates). UTF-16 without an
// explicit byte order honours a byte-order mark and otherwise reads big-endian. A UTF-8
// byte-order mark is kept as U+FEFF, as the platform does.
std::optional<std::string> initWithData(const Value::Data& data, NSStringEncoding encoding);
std::optional<std::string> initWithBytes(const void* bytes, std::size_t length, NSStringEncoding encoding);
}  // namespace NSString
