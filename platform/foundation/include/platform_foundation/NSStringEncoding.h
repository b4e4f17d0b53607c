#pragma once
// Converting text to and from bytes in the platform's string encodings.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <platform_runtime/Value.h>

using NSStringEncoding = uint64_t;
inline constexpr NSStringEncoding NSASCIIStringEncoding = 1;
inline constexpr NSStringEncoding NSJapaneseEUCStringEncoding = 3;
inline constexpr NSStringEncoding NSUTF8StringEncoding = 4;
inline constexpr NSStringEncoding NSISOLatin1StringEncoding = 5;
inline constexpr NSStringEncoding NSShiftJISStringEncoding = 8;  // the Windows variant (code page 932)
inline constexpr NSStringEncoding NSISOLatin2StringEncoding = 9;
inline constexpr NSStringEncoding NSUTF16StringEncoding = 10;  // also the platform's "Unicode" encoding
inline constexpr NSStringEncoding NSWindowsCP1251StringEncoding = 11;
inline constexpr NSStringEncoding NSWindowsCP1252StringEncoding = 12;
inline constexpr NSStringEncoding NSWindowsCP1253StringEncoding = 13;
inline constexpr NSStringEncoding NSWindowsCP1254StringEncoding = 14;
inline constexpr NSStringEncoding NSWindowsCP1250StringEncoding = 15;
inline constexpr NSStringEncoding NSISO2022JPStringEncoding = 21;
inline constexpr NSStringEncoding NSMacOSRomanStringEncoding = 30;
inline constexpr NSStringEncoding NSUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr NSStringEncoding NSUTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr NSStringEncoding NSUTF32StringEncoding = 0x8C000100;
inline constexpr NSStringEncoding NSUTF32BigEndianStringEncoding = 0x98000100;
inline constexpr NSStringEncoding NSUTF32LittleEndianStringEncoding = 0x9C000100;
// Other encodings of the registry (CFStringEncoding.h) are 0x80000000 | their number, e.g.
// GB 18030 0x80000632, KOI8-R 0x80000A02, Shift_JIS proper 0x80000A01; ICU converts them all.

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

// Text from bytes with every invalid or unmapped sequence read as U+FFFD; nullopt only for an
// encoding this platform cannot convert.
std::optional<std::string> initWithDataReplacingInvalid(const Value::Data& data, NSStringEncoding encoding);

// Whether text can be converted to and from `encoding` at all.
bool isSupportedEncoding(NSStringEncoding encoding);
}  // namespace NSString
