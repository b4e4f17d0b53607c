#pragma once
// UTF-8 <-> UTF-16 conversion and UTF-16 length/index/range helpers over UTF-8 text.
// Malformed UTF-8 (bad bytes, overlong forms, surrogates, truncated sequences) and
// unpaired UTF-16 surrogates are read as U+FFFD; nothing here throws.

#include <cstddef>
#include <string>
#include <string_view>

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Number of UTF-16 code units the text takes (the string length the platform reports).
std::size_t utf16Length(std::string_view utf8);

// The UTF-16 code unit at `index`; 0 when out of range.
char16_t utf16CharacterAtIndex(std::string_view utf8, std::size_t index);

// The text in the UTF-16 range [location, location + length), clamped to the string.
// A range that splits a surrogate pair yields U+FFFD for the split half.
std::string utf16Substring(std::string_view utf8, std::size_t location, std::size_t length);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);
// The text with every malformed sequence replaced by U+FFFD.
std::string sanitizeUtf8(std::string_view bytes);

// Appends the UTF-8 encoding of a code point (invalid ones as U+FFFD).
void appendUtf8(std::string& out, char32_t codePoint);
// Decodes one code point at `pos` and advances it (at least one byte); bad input gives U+FFFD.
char32_t decodeUtf8(std::string_view utf8, std::size_t& pos);
