#include <crash_core/CRJSONCodec.h>

#include "CRJSONDecoder.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace crjson_detail {

namespace {

// Nesting deeper than this is refused rather than overflowing the stack.
constexpr int kMaxDepth = 512;

struct Decoder {
    Source& src;
    const Buffers& buf;
    const CRJSONDecodeCallbacks* cb;
    void* user;
    int depth = 0;

    // Makes n bytes from pos available when the data holds them; a file window refills
    // whenever less than half of it is unread.
    bool ensure(int n) {
        if (src.fd >= 0 && (src.end - src.pos < src.capacity / 2 || src.end - src.pos < n) && !src.eof) {
            int unread = src.end - src.pos;
            std::memmove(src.data, src.data + src.pos, static_cast<size_t>(unread));
            src.consumed += src.pos;
            src.pos = 0;
            src.end = unread;
            while (src.end < src.capacity) {
                ssize_t r = ::read(src.fd, src.data + src.end, static_cast<size_t>(src.capacity - src.end));
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) {
                    src.eof = true;
                    break;
                }
                src.end += static_cast<int>(r);
            }
        }
        return src.end - src.pos >= n;
    }
    char at(int i) const { return src.data[src.pos + i]; }

    static bool space(char c) {
        return c == ' ' || (c >= '\t' && c <= '\r');  // space, \t \n \v \f \r
    }

    void skipSpace() {
        while (ensure(1)) {
            // Through the bytes at hand before asking for more; indentation eight at a time.
            constexpr uint64_t kEightSpaces = 0x2020202020202020ull;
            const char* p = src.data + src.pos;
            const char* end = src.data + src.end;
            for (;;) {
                uint64_t word;
                while (end - p >= 8 && (std::memcpy(&word, p, 8), word == kEightSpaces)) p += 8;
                if (p < end && space(*p)) {
                    ++p;
                    continue;
                }
                break;
            }
            src.pos = static_cast<int>(p - src.data);
            if (src.pos < src.end) return;
        }
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // Reads a string at pos (the opening quote) into out.
    int string(char* out, int outLength) {
        // The closing quote first: the next quote when no backslash comes before it, else
        // found byte by byte past the escapes.
        int i = 1;
        bool escaped = false;
        for (;;) {
            const char* at0 = src.data + src.pos;
            const int held = src.end - src.pos;
            if (!escaped && i < held) {
                const void* quote = std::memchr(at0 + i, '"', static_cast<size_t>(held - i));
                const int stop = quote ? static_cast<int>(static_cast<const char*>(quote) - at0) : held;
                const void* backslash = std::memchr(at0 + i, '\\', static_cast<size_t>(stop - i));
                if (!backslash && quote) {
                    i = stop;
                    break;
                }
                if (backslash) {
                    escaped = true;
                    i = static_cast<int>(static_cast<const char*>(backslash) - at0);
                } else {
                    i = held;
                }
            }
            while (i < held && at0[i] != '"') i += at0[i] == '\\' ? 2 : 1;
            if (i < held) break;
            if (!ensure(i + 1)) return CRJSON_ERROR_INCOMPLETE;
        }
        int contentLength = i - 1;
        if (contentLength >= outLength) return CRJSON_ERROR_DATA_TOO_LONG;
        const char* p = src.data + src.pos + 1;
        const char* end = p + contentLength;
        int n = 0;
        if (!escaped) {
            std::memcpy(out, p, static_cast<size_t>(contentLength));
            n = contentLength;
            p = end;
        }
        while (p < end) {
            if (*p != '\\') {
                const void* next = std::memchr(p, '\\', static_cast<size_t>(end - p));
                const char* stop = next ? static_cast<const char*>(next) : end;
                std::memcpy(out + n, p, static_cast<size_t>(stop - p));
                n += static_cast<int>(stop - p);
                p = stop;
                continue;
            }
            ++p;
            switch (*p++) {
                case '"': out[n++] = '"'; break;
                case '\\': out[n++] = '\\'; break;
                case '/': out[n++] = '/'; break;
                case 'b': out[n++] = 8; break;
                case 'f': out[n++] = 12; break;
                case 'n': out[n++] = 10; break;
                case 'r': out[n++] = 13; break;
                case 't': out[n++] = 9; break;
                case 'u': {
                    auto hex4 = [&](uint32_t& v) -> int {
                        if (end - p < 4) return CRJSON_ERROR_INCOMPLETE;
                        v = 0;
                        for (int k = 0; k < 4; ++k) {
                            int h = hexValue(p[k]);
                            if (h < 0) return CRJSON_ERROR_INVALID_CHARACTER;
                            v = v * 16 + static_cast<uint32_t>(h);
                        }
                        p += 4;
                        return CRJSON_OK;
                    };
                    uint32_t cp;
                    if (int e = hex4(cp)) return e;
                    if (cp >= 0xDC00 && cp <= 0xDFFF) return CRJSON_ERROR_INVALID_CHARACTER;
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        if (end - p < 2) return CRJSON_ERROR_INCOMPLETE;
                        if (p[0] != '\\' || p[1] != 'u') return CRJSON_ERROR_INVALID_CHARACTER;
                        p += 2;
                        uint32_t low;
                        if (int e = hex4(low)) return e;
                        if (low < 0xDC00 || low > 0xDFFF) return CRJSON_ERROR_INVALID_CHARACTER;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    // UTF-8 is never longer than the six-byte escape it replaces.
                    if (cp < 0x80) {
                        out[n++] = static_cast<char>(cp);
                    } else if (cp < 0x800) {
                        out[n++] = static_cast<char>(0xC0 | (cp >> 6));
                        out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
                    } else if (cp < 0x10000) {
                        out[n++] = static_cast<char>(0xE0 | (cp >> 12));
                        out[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                        out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
                    } else {
                        out[n++] = static_cast<char>(0xF0 | (cp >> 18));
                        out[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                        out[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                        out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
                    }
                    break;
                }
                default: return CRJSON_ERROR_INVALID_CHARACTER;
            }
        }
        out[n] = '\0';
        src.pos += contentLength + 2;
        return CRJSON_OK;
    }

    static bool numberChar(char c) {
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
    }

    int number(const char* name) {
        int sign = 1;
        if (at(0) == '-') {
            sign = -1;
            src.pos++;
            if (!ensure(1)) return CRJSON_ERROR_INCOMPLETE;
            if (at(0) < '0' || at(0) > '9') return CRJSON_ERROR_INVALID_CHARACTER;
        }
        uint64_t value = 0;
        bool overflow = false;
        int i = 0;
        for (;; ++i) {
            if (src.pos + i >= src.end && !ensure(i + 1)) return CRJSON_ERROR_INCOMPLETE;
            char c = at(i);
            if (c < '0' || c > '9') break;
            uint64_t digit = static_cast<uint64_t>(c - '0');
            if (value > (UINT64_MAX - digit) / 10) overflow = true;
            value = value * 10 + digit;
        }
        bool negativeTooLarge = sign < 0 && value > (uint64_t(1) << 63);
        if (!numberChar(at(i)) && !overflow && !negativeTooLarge) {
            src.pos += i;
            int64_t v = sign < 0 ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
            return cb->onIntegerElement(name, v, user);
        }
        for (;; ++i) {
            if (!ensure(i + 1)) return CRJSON_ERROR_INCOMPLETE;
            if (!numberChar(at(i))) break;
        }
        if (i >= buf.stringsLength) return CRJSON_ERROR_DATA_TOO_LONG;
        std::memcpy(buf.strings, src.data + src.pos, static_cast<size_t>(i));
        buf.strings[i] = '\0';
        src.pos += i;
        double d = std::strtod(buf.strings, nullptr);
        return cb->onFloatingPointElement(name, d * sign, user);
    }

    int literal(const char* word) {
        int n = static_cast<int>(std::strlen(word));
        if (!ensure(n)) return CRJSON_ERROR_INCOMPLETE;
        if (std::memcmp(src.data + src.pos, word, static_cast<size_t>(n)) != 0) return CRJSON_ERROR_INVALID_CHARACTER;
        src.pos += n;
        return CRJSON_OK;
    }

    int container(const char* name, bool object) {
        if (++depth > kMaxDepth) return CRJSON_ERROR_INVALID_DATA;
        src.pos++;
        int result = object ? cb->onBeginObject(name, user) : cb->onBeginArray(name, user);
        if (result) return result;
        for (;;) {
            skipSpace();
            if (!ensure(1)) return CRJSON_ERROR_INCOMPLETE;
            if (at(0) == (object ? '}' : ']')) {
                src.pos++;
                --depth;
                return cb->onEndContainer(user);
            }
            const char* member = nullptr;
            if (object) {
                if (at(0) != '"') return CRJSON_ERROR_INVALID_CHARACTER;
                if ((result = string(buf.names, buf.namesLength))) return result;
                member = buf.names;
                skipSpace();
                if (!ensure(1)) return CRJSON_ERROR_INCOMPLETE;
                if (at(0) != ':') return CRJSON_ERROR_INVALID_CHARACTER;
                src.pos++;
                skipSpace();
            }
            if ((result = element(member))) return result;
            skipSpace();
            if (!ensure(1)) return CRJSON_ERROR_INCOMPLETE;
            if (at(0) == ',') src.pos++;
        }
    }

    int element(const char* name) {
        skipSpace();
        if (!ensure(1)) return CRJSON_ERROR_INCOMPLETE;
        char c = at(0);
        int result;
        switch (c) {
            case '{': return container(name, true);
            case '[': return container(name, false);
            case '"':
                if ((result = string(buf.strings, buf.stringsLength))) return result;
                return cb->onStringElement(name, buf.strings, user);
            case 't':
                if ((result = literal("true"))) return result;
                return cb->onBooleanElement(name, true, user);
            case 'f':
                if ((result = literal("false"))) return result;
                return cb->onBooleanElement(name, false, user);
            case 'n':
                if ((result = literal("null"))) return result;
                return cb->onNullElement(name, user);
            default:
                if (c == '-' || (c >= '0' && c <= '9')) return number(name);
                return CRJSON_ERROR_INVALID_CHARACTER;
        }
    }
};

}  // namespace

int decode(Source& source, const Buffers& buffers, const CRJSONDecodeCallbacks* callbacks, void* userData,
           int* errorOffset) {
    Decoder d{source, buffers, callbacks, userData};
    int result = d.element(nullptr);
    if (!result) result = callbacks->onEndData(userData);
    if (result && errorOffset) *errorOffset = static_cast<int>(source.consumed + source.pos);
    return result;
}

}  // namespace crjson_detail

extern "C" int crjson_decode(const char* data, int length, char* stringBuffer, int stringBufferLength,
                             const CRJSONDecodeCallbacks* callbacks, void* userData, int* errorOffset) {
    crjson_detail::Source source{const_cast<char*>(data)};
    source.end = length > 0 ? length : 0;
    int names = stringBufferLength / 4;
    crjson_detail::Buffers buffers{stringBuffer, names, stringBuffer + names, stringBufferLength - names};
    return crjson_detail::decode(source, buffers, callbacks, userData, errorOffset);
}
