// Decoder of the Punycode variant ("_" delimiter, digits a-z A-J) used for non-ASCII identifiers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ZUDDemangle {

// Decodes as far as the input is well formed; never fails.
void decodePunycode(const char* bytes, size_t length, std::vector<uint32_t>& codePoints);

// Appends the decoded text as UTF-8; false (and an emptied output) when a decoded value is a
// surrogate or lies above 0x10FFFF.
bool decodePunycodeUTF8(const char* bytes, size_t length, std::string& output);

}  // namespace ZUDDemangle
