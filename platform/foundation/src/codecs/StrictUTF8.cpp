#include "codecs/StrictUTF8.h"

#include <climits>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/utf8.h>

namespace codecs {

namespace {

// Walks the text in ASCII runs and whole sequences, checking each sequence; with a destination,
// copies every byte it passed into the same place there. `backslash` (when given) says whether
// any byte was a backslash.
bool walkStrictUTF8(std::string_view text, char* destination, bool* backslash) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const std::size_t n = text.size();
    if (n > static_cast<std::size_t>(INT32_MAX)) return false;
    bool sawBackslash = false;
#if defined(__SSE2__)
    __m128i backslashes = _mm_setzero_si128();
    const __m128i backslashByte = _mm_set1_epi8('\\');
#endif
    std::size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        if (i + 16 <= n) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            if (destination) _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), block);
            backslashes = _mm_or_si128(backslashes, _mm_cmpeq_epi8(block, backslashByte));
            if (!_mm_movemask_epi8(block)) {
                i += 16;
                continue;
            }
        }
#else
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            if (!(word & 0x8080808080808080ull)) {
                if (destination) std::memcpy(destination + i, &word, 8);
                i += 8;
                continue;
            }
        }
#endif
        if (bytes[i] < 0x80) {
            if (destination) destination[i] = static_cast<char>(bytes[i]);
            sawBackslash |= bytes[i] == '\\';
            ++i;
            continue;
        }
        int32_t at = static_cast<int32_t>(i);
        UChar32 c;
        U8_NEXT(bytes, at, static_cast<int32_t>(n), c);
        if (c < 0) return false;
        if (destination) std::memcpy(destination + i, bytes + i, static_cast<std::size_t>(at) - i);
        i = static_cast<std::size_t>(at);
    }
    if (backslash) {
#if defined(__SSE2__)
        sawBackslash |= _mm_movemask_epi8(backslashes) != 0;
#else
        sawBackslash = std::memchr(text.data(), '\\', n) != nullptr;
#endif
        *backslash = sawBackslash;
    }
    return true;
}

}  // namespace

bool isStrictUTF8(std::string_view text) { return walkStrictUTF8(text, nullptr, nullptr); }

bool copyIfStrictUTF8(std::string_view text, char* destination, bool& backslash) {
    return walkStrictUTF8(text, destination, &backslash);
}

}  // namespace codecs
