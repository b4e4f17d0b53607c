#include "codecs/StrictUTF8.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include <unicode/utf8.h>

namespace codecs {

bool isStrictUTF8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const std::size_t n = text.size();
    if (n > static_cast<std::size_t>(INT32_MAX)) return false;
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            if (!(word & 0x8080808080808080ull)) {
                i += 8;
                continue;
            }
        }
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        int32_t at = static_cast<int32_t>(i);
        UChar32 c;
        U8_NEXT(bytes, at, static_cast<int32_t>(n), c);
        if (c < 0) return false;
        i = static_cast<std::size_t>(at);
    }
    return true;
}

}  // namespace codecs
