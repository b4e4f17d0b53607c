#include <crash_core/CRJSONCodec.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kEscapePiece = 256;
constexpr int kEscapeBuffer = 512;
// Room for the longest escape of one input byte (\u00XX) and a whole UTF-8 sequence.
constexpr int kEscapeSlack = 8;

int emit(CRJSONEncoder* c, const char* data, int length) {
    return length > 0 ? c->addJSONData(data, length, c->userData) : CRJSON_OK;
}

int emitText(CRJSONEncoder* c, const char* text) {
    return emit(c, text, static_cast<int>(std::strlen(text)));
}

// Escaped text collected in a fixed buffer and handed on when nearly full.
struct EscapeOut {
    explicit EscapeOut(CRJSONEncoder* encoder) : c(encoder) {}
    CRJSONEncoder* c;
    char buffer[kEscapeBuffer];
    int used = 0;
    int error = CRJSON_OK;

    void flush() {
        if (error == CRJSON_OK && used) error = emit(c, buffer, used);
        used = 0;
    }
    void ensure() {
        if (used > kEscapeBuffer - kEscapeSlack) flush();
    }
    void byte(char b) {
        ensure();
        buffer[used++] = b;
    }
    void unicodeEscape(unsigned char b) {
        static const char kHex[] = "0123456789ABCDEF";
        ensure();
        std::memcpy(buffer + used, "\\u00", 4);
        buffer[used + 4] = kHex[b >> 4];
        buffer[used + 5] = kHex[b & 15];
        used += 6;
    }
};

// Length of the UTF-8 sequence a lead byte starts (0: not a lead byte).
int sequenceLength(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 0;
}

// Whether b may follow the bytes held so far (lead byte first) in a well-formed sequence.
bool continues(const unsigned char* held, int heldLength, unsigned char b) {
    if ((b & 0xC0) != 0x80) return false;
    if (heldLength != 1) return true;
    switch (held[0]) {
        case 0xE0: return b >= 0xA0;
        case 0xED: return b <= 0x9F;
        case 0xF0: return b >= 0x90;
        case 0xF4: return b <= 0x8F;
        default: return true;
    }
}

void dropPending(CRJSONEncoder* c, EscapeOut& out) {
    for (int i = 0; i < c->pendingLength; ++i) out.unicodeEscape(c->pending[i]);
    c->pendingLength = 0;
}

void escapeByte(CRJSONEncoder* c, EscapeOut& out, unsigned char b) {
    if (c->pendingLength) {
        if (continues(c->pending, c->pendingLength, b)) {
            c->pending[c->pendingLength++] = b;
            if (c->pendingLength == sequenceLength(c->pending[0])) {
                out.ensure();
                std::memcpy(out.buffer + out.used, c->pending, static_cast<size_t>(c->pendingLength));
                out.used += c->pendingLength;
                c->pendingLength = 0;
            }
            return;
        }
        dropPending(c, out);
    }
    if (b >= 0x80) {
        if (sequenceLength(b)) {
            c->pending[0] = b;
            c->pendingLength = 1;
        } else {
            out.unicodeEscape(b);
        }
        return;
    }
    switch (b) {
        case '"': out.byte('\\'); out.byte('"'); return;
        case '\\': out.byte('\\'); out.byte('\\'); return;
        case 8: out.byte('\\'); out.byte('b'); return;
        case 9: out.byte('\\'); out.byte('t'); return;
        case 10: out.byte('\\'); out.byte('n'); return;
        case 12: out.byte('\\'); out.byte('f'); return;
        case 13: out.byte('\\'); out.byte('r'); return;
        default: break;
    }
    if (b < 0x20)
        out.unicodeEscape(b);
    else
        out.byte(static_cast<char>(b));
}

// Printable ASCII other than the quote and the backslash goes out as it is.
bool plain(unsigned char b) { return b >= 0x20 && b < 0x80 && b != '"' && b != '\\'; }

// Escapes the text in pieces of 256 bytes; a UTF-8 sequence cut at the end stays pending
// for the next piece of the same string. Runs of plain bytes are copied whole.
int appendEscaped(CRJSONEncoder* c, const char* text, int length) {
    EscapeOut out(c);
    for (int start = 0; start < length; start += kEscapePiece) {
        int end = start + kEscapePiece < length ? start + kEscapePiece : length;
        for (int i = start; i < end;) {
            auto b = static_cast<unsigned char>(text[i]);
            if (c->pendingLength || !plain(b)) {
                escapeByte(c, out, b);
                ++i;
                continue;
            }
            int run = i + 1;
            while (run < end && plain(static_cast<unsigned char>(text[run]))) ++run;
            // A piece is at most 256 bytes: it fits the buffer once flushed.
            if (out.used + (run - i) > kEscapeBuffer - kEscapeSlack) out.flush();
            std::memcpy(out.buffer + out.used, text + i, static_cast<size_t>(run - i));
            out.used += run - i;
            i = run;
        }
        out.flush();
        if (out.error) return out.error;
    }
    return CRJSON_OK;
}

int finishString(CRJSONEncoder* c) {
    EscapeOut out(c);
    dropPending(c, out);
    out.byte('"');
    out.flush();
    return out.error;
}

int writeQuoted(CRJSONEncoder* c, const char* text, int length) {
    int result = emit(c, "\"", 1);
    if (result) return result;
    c->pendingLength = 0;
    int escaped = appendEscaped(c, text, length);
    int closed = finishString(c);
    return escaped ? escaped : closed;
}

// A line break and four spaces per level, handed on in as few pieces as the levels allow.
int newLine(CRJSONEncoder* c, int level) {
    static const char kIndent[] = "\n                                                                "
                                  "                                                                ";
    constexpr int kLevelsPerPiece = (sizeof kIndent - 2) / 4;
    int first = level < kLevelsPerPiece ? level : kLevelsPerPiece;
    int result = emit(c, kIndent, 1 + 4 * first);
    for (level -= first; !result && level > 0; level -= first) {
        first = level < kLevelsPerPiece ? level : kLevelsPerPiece;
        result = emit(c, kIndent + 1, 4 * first);
    }
    return result;
}

// The separator, line break, indentation and a plain member name go out as one piece;
// false when they do not fit or the name needs escaping (then they go piece by piece).
bool beginElementAtOnce(CRJSONEncoder* c, const char* name, int& result) {
    char piece[256];
    int used = 0;
    const bool object = c->isObject[c->containerLevel];
    const int nameLength = object && name ? static_cast<int>(std::strlen(name)) : 0;
    const int indent = c->prettyPrint && c->containerLevel > 0 ? 1 + 4 * c->containerLevel : 0;
    if (object && !name) return false;
    if (2 + indent + nameLength + 4 > static_cast<int>(sizeof piece)) return false;
    for (int i = 0; i < nameLength; ++i)
        if (!plain(static_cast<unsigned char>(name[i]))) return false;
    if (!c->containerFirstEntry) piece[used++] = ',';
    if (indent) {
        piece[used++] = '\n';
        std::memset(piece + used, ' ', static_cast<size_t>(indent - 1));
        used += indent - 1;
    }
    if (object) {
        piece[used++] = '"';
        std::memcpy(piece + used, name, static_cast<size_t>(nameLength));
        used += nameLength;
        piece[used++] = '"';
        piece[used++] = ':';
        if (c->prettyPrint) piece[used++] = ' ';
    }
    c->containerFirstEntry = false;
    c->pendingLength = 0;
    result = emit(c, piece, used);
    return true;
}

int beginElement(CRJSONEncoder* c, const char* name) {
    int result;
    if (beginElementAtOnce(c, name, result)) return result;
    if (c->containerFirstEntry) {
        c->containerFirstEntry = false;
    } else if ((result = emit(c, ",", 1))) {
        return result;
    }
    if (c->prettyPrint && c->containerLevel > 0 && (result = newLine(c, c->containerLevel))) return result;
    if (c->isObject[c->containerLevel]) {
        if (!name) return CRJSON_ERROR_INVALID_DATA;
        if ((result = writeQuoted(c, name, static_cast<int>(std::strlen(name))))) return result;
        return c->prettyPrint ? emit(c, ": ", 2) : emit(c, ":", 1);
    }
    return CRJSON_OK;
}

int beginContainer(CRJSONEncoder* c, const char* name, bool object) {
    int result = beginElement(c, name);
    if (result) return result;
    if (c->containerLevel + 1 >= CRJSON_MAX_CONTAINER_LEVEL) return CRJSON_ERROR_DATA_TOO_LONG;
    c->containerLevel++;
    c->isObject[c->containerLevel] = object;
    c->containerFirstEntry = true;
    return emit(c, object ? "{" : "[", 1);
}

char* formatUnsigned(char* end, uint64_t v) {
    *--end = '\0';
    do *--end = static_cast<char>('0' + v % 10), v /= 10;
    while (v);
    return end;
}

}  // namespace

extern "C" {

const char* crjson_stringForError(int error) {
    switch (error) {
        case CRJSON_ERROR_INVALID_CHARACTER: return "Invalid character";
        case CRJSON_ERROR_DATA_TOO_LONG: return "Data too long";
        case CRJSON_ERROR_CANNOT_ADD_DATA: return "Cannot add data";
        case CRJSON_ERROR_INCOMPLETE: return "Incomplete data";
        case CRJSON_ERROR_INVALID_DATA: return "Invalid data";
        default: return "(unknown error)";
    }
}

void crjson_beginEncode(CRJSONEncoder* c, bool prettyPrint, CRJSONAddDataFunc addJSONData, void* userData) {
    std::memset(c, 0, sizeof *c);
    c->addJSONData = addJSONData;
    c->userData = userData;
    c->prettyPrint = prettyPrint;
    c->containerFirstEntry = true;
}

int crjson_endContainer(CRJSONEncoder* c) {
    if (c->containerLevel <= 0) return CRJSON_OK;
    bool object = c->isObject[c->containerLevel];
    c->containerLevel--;
    int result;
    if (c->prettyPrint && !c->containerFirstEntry && (result = newLine(c, c->containerLevel))) return result;
    c->containerFirstEntry = false;
    return emit(c, object ? "}" : "]", 1);
}

int crjson_endEncode(CRJSONEncoder* c) {
    int result = CRJSON_OK;
    while (c->containerLevel > 0)
        if ((result = crjson_endContainer(c))) return result;
    return result;
}

int crjson_addBooleanElement(CRJSONEncoder* c, const char* name, bool value) {
    int result = beginElement(c, name);
    return result ? result : emitText(c, value ? "true" : "false");
}

int crjson_addFloatingPointElement(CRJSONEncoder* c, const char* name, double value) {
    int result = beginElement(c, name);
    if (result) return result;
    // JSON has no spelling for NaN or the infinities.
    if (!std::isfinite(value)) return emitText(c, "null");
    char buffer[30];
    std::snprintf(buffer, sizeof buffer, "%lg", value);
    return emitText(c, buffer);
}

int crjson_addIntegerElement(CRJSONEncoder* c, const char* name, int64_t value) {
    int result = beginElement(c, name);
    if (result) return result;
    char buffer[30];
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char* text = formatUnsigned(buffer + sizeof buffer, magnitude);
    if (value < 0) *--text = '-';
    return emitText(c, text);
}

int crjson_addUIntegerElement(CRJSONEncoder* c, const char* name, uint64_t value) {
    int result = beginElement(c, name);
    if (result) return result;
    char buffer[30];
    return emitText(c, formatUnsigned(buffer + sizeof buffer, value));
}

int crjson_addNullElement(CRJSONEncoder* c, const char* name) {
    int result = beginElement(c, name);
    return result ? result : emitText(c, "null");
}

int crjson_addStringElement(CRJSONEncoder* c, const char* name, const char* value, int length) {
    if (!value) return crjson_addNullElement(c, name);
    int result = beginElement(c, name);
    if (result) return result;
    if (length < 0) length = static_cast<int>(std::strlen(value));
    return writeQuoted(c, value, length);
}

int crjson_beginStringElement(CRJSONEncoder* c, const char* name) {
    int result = beginElement(c, name);
    if (result) return result;
    c->pendingLength = 0;
    return emit(c, "\"", 1);
}

int crjson_appendStringElement(CRJSONEncoder* c, const char* value, int length) {
    if (!value) return CRJSON_OK;
    if (length < 0) length = static_cast<int>(std::strlen(value));
    return appendEscaped(c, value, length);
}

int crjson_endStringElement(CRJSONEncoder* c) {
    return finishString(c);
}

int crjson_beginDataElement(CRJSONEncoder* c, const char* name) {
    int result = beginElement(c, name);
    return result ? result : emit(c, "\"", 1);
}

int crjson_appendDataElement(CRJSONEncoder* c, const char* value, int length) {
    static const char kHex[] = "0123456789ABCDEF";
    char buffer[kEscapeBuffer];
    int used = 0;
    for (int i = 0; i < length; ++i) {
        auto b = static_cast<unsigned char>(value[i]);
        buffer[used++] = kHex[b >> 4];
        buffer[used++] = kHex[b & 15];
        if (used == kEscapeBuffer) {
            int result = emit(c, buffer, used);
            if (result) return result;
            used = 0;
        }
    }
    return emit(c, buffer, used);
}

int crjson_endDataElement(CRJSONEncoder* c) {
    return emit(c, "\"", 1);
}

int crjson_addDataElement(CRJSONEncoder* c, const char* name, const char* value, int length) {
    int result = crjson_beginDataElement(c, name);
    if (!result) result = crjson_appendDataElement(c, value, length);
    if (!result) result = crjson_endDataElement(c);
    return result;
}

int crjson_beginObject(CRJSONEncoder* c, const char* name) {
    return beginContainer(c, name, true);
}

int crjson_beginArray(CRJSONEncoder* c, const char* name) {
    return beginContainer(c, name, false);
}

}  // extern "C"
