#pragma once
// Base64 encoding of bytes (with the platform's line-length options) and decoding, strict or
// skipping characters outside the alphabet.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <platform_runtime/Value.h>

using NSDataBase64EncodingOptions = uint32_t;
inline constexpr NSDataBase64EncodingOptions NSDataBase64Encoding64CharacterLineLength = 1;
inline constexpr NSDataBase64EncodingOptions NSDataBase64Encoding76CharacterLineLength = 2;
inline constexpr NSDataBase64EncodingOptions NSDataBase64EncodingEndLineWithCarriageReturn = 16;
inline constexpr NSDataBase64EncodingOptions NSDataBase64EncodingEndLineWithLineFeed = 32;

using NSDataBase64DecodingOptions = uint32_t;
inline constexpr NSDataBase64DecodingOptions NSDataBase64DecodingIgnoreUnknownCharacters = 1;

// Standard alphabet with "=" padding. With a line-length option, lines of 64 or 76 characters
// end with CR LF (or only CR / only LF when just that option is given); the last line has no
// line ending.
std::string NSDataBase64EncodedString(const Value::Data& data, NSDataBase64EncodingOptions options = 0);
std::string NSDataBase64EncodedString(const void* bytes, std::size_t length, NSDataBase64EncodingOptions options = 0);

// Decodes base64 text. The text must be padded to a multiple of four characters, with padding
// only at the end; any other character (line breaks included) makes it fail, unless
// NSDataBase64DecodingIgnoreUnknownCharacters is given: then characters outside the alphabet
// are skipped and missing padding is tolerated. A dangling single character fails either way.
std::optional<Value::Data> NSDataFromBase64EncodedString(std::string_view text,
                                                         NSDataBase64DecodingOptions options = 0);
