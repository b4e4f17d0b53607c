#pragma once
// Text conversion through ICU converters, for the encodings the hand-written paths of
// NSStringEncoding.cpp do not cover. Any thread (each call opens its own converter; ICU
// shares the tables).

#include <optional>
#include <string>
#include <string_view>

#include <platform_foundation/NSStringEncoding.h>

namespace icu_text {

// The ICU converter for an encoding; nullptr when there is none.
const char* converterName(NSStringEncoding encoding);

// UTF-8 text from bytes. Strict: nullopt on any invalid or unmapped sequence. Lossy: such
// sequences become U+FFFD. nullopt also when ICU cannot open the converter.
std::optional<std::string> decode(const char* converter, const void* bytes, std::size_t length, bool lossy);

// Bytes of UTF-8 text. Strict: nullopt when a character has no mapping. Lossy: "?" for it.
std::optional<Value::Data> encode(const char* converter, std::string_view utf8, bool lossy);

}  // namespace icu_text
