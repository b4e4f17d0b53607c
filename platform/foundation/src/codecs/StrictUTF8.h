#pragma once
// Strict UTF-8 validation shared by the codecs: no overlong forms, no surrogates, nothing past
// U+10FFFF. Pure function, any thread.

#include <string_view>

namespace codecs {

// Whether the bytes are well-formed UTF-8 (ASCII runs are checked eight bytes at a time).
[[nodiscard]] bool isStrictUTF8(std::string_view text);

}  // namespace codecs
