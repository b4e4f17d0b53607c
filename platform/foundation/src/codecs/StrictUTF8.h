#pragma once
// Strict UTF-8 validation shared by the codecs: no overlong forms, no surrogates, nothing past
// U+10FFFF. Pure function, any thread.

#include <string_view>

namespace codecs {

// Whether the bytes are well-formed UTF-8 (ASCII runs are checked a vector at a time).
[[nodiscard]] bool isStrictUTF8(std::string_view text);
// The same check, copying the text to `destination` (text.size() bytes) in the same pass, and
// saying in `backslash` whether any byte is a backslash. On false the copy is incomplete.
[[nodiscard]] bool copyIfStrictUTF8(std::string_view text, char* destination, bool& backslash);

}  // namespace codecs
