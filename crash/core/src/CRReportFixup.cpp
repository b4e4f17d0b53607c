#include <crash_core/CRReportFixup.h>

#include <crash_core/CRDemangle.h>
#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRJSONCodec.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kMaxDepth = 100;
constexpr int kMaxNameLength = 100;

const char* const kDatePaths[][kMaxDepth] = {
    {"", "report", "timestamp", nullptr},
    {"", "recrash_report", "report", "timestamp", nullptr},
};
const char* const kSymbolPaths[][kMaxDepth] = {
    {"", "crash", "threads", "", "backtrace", "contents", "", "symbol_name", nullptr},
    {"", "recrash_report", "crash", "threads", "", "backtrace", "contents", "", "symbol_name", nullptr},
};
const char* const kTypeNamePaths[][kMaxDepth] = {
    {"", "crash", "error", "cpp_exception", "name", nullptr},
    {"", "recrash_report", "crash", "error", "cpp_exception", "name", nullptr},
};
const char* const kVersionPaths[][kMaxDepth] = {
    {"", "report", "version", nullptr},
    {"", "recrash_report", "report", "version", nullptr},
};

// Where the fixed-up elements go: the encoder of the text, or a reader's callbacks.
struct Fixup {
    const CRJSONDecodeCallbacks* out;
    void* outUser;
    int version[3];
    char path[kMaxDepth][kMaxNameLength + 1];
    int depth;
};

Fixup* of(void* user) { return static_cast<Fixup*>(user); }

template <size_t N>
bool matches(const Fixup* f, const char* name, const char* const (&paths)[N][kMaxDepth]) {
    for (size_t p = 0; p < N; ++p) {
        const char* const* path = paths[p];
        // Only a path exactly one longer than the open containers can match.
        if (f->depth + 1 >= kMaxDepth || !path[f->depth] || path[f->depth + 1]) continue;
        // The element's own name first: it rules out nearly every element.
        if (std::strncmp(path[f->depth], name ? name : "", kMaxNameLength) != 0) continue;
        int i = 0;
        for (; i < f->depth; ++i)
            if (!path[i] || std::strncmp(path[i], f->path[i], kMaxNameLength) != 0) break;
        if (i == f->depth) return true;
    }
    return false;
}

bool versionAtLeast330(const int* v) {
    return v[0] > 3 || (v[0] == 3 && v[1] > 3) || (v[0] == 3 && v[1] == 3);
}

int onBoolean(const char* name, bool value, void* user) {
    return of(user)->out->onBooleanElement(name, value, of(user)->outUser);
}
int onFloatingPoint(const char* name, double value, void* user) {
    return of(user)->out->onFloatingPointElement(name, value, of(user)->outUser);
}
int onInteger(const char* name, int64_t value, void* user) {
    Fixup* f = of(user);
    if (matches(f, name, kDatePaths)) {
        char text[32];
        if (versionAtLeast330(f->version))
            crdate_utcStringFromMicroseconds(value, text);
        else
            crdate_utcStringFromTimestamp(time_t(value), text);
        return f->out->onStringElement(name, text, f->outUser);
    }
    return f->out->onIntegerElement(name, value, f->outUser);
}
int onNull(const char* name, void* user) { return of(user)->out->onNullElement(name, of(user)->outUser); }

// Only mangled C++ symbol names go to the C++ demangler: it also reads bare type codes
// ("f" would come back as "float").
char* demangleSymbol(const char* value) {
    if (std::strncmp(value, "_Z", 2) == 0)
        if (char* demangled = crdm_demangleCPP(value)) return demangled;
    return crdm_demangleSwift(value);
}

int onString(const char* name, const char* value, void* user) {
    Fixup* f = of(user);
    if (matches(f, name, kVersionPaths)) {
        int parts[3] = {0, 0, 0};
        const char* p = value;
        for (int i = 0; i < 3 && *p; ++i) {
            parts[i] = std::atoi(p);
            p = std::strchr(p, '.');
            if (!p) break;
            ++p;
        }
        std::memcpy(f->version, parts, sizeof parts);
    }
    char* demangled = nullptr;
    if (matches(f, name, kSymbolPaths))
        demangled = demangleSymbol(value);
    else if (matches(f, name, kTypeNamePaths))
        demangled = crdm_demangleCPP(value);
    int result = f->out->onStringElement(name, demangled ? demangled : value, f->outUser);
    std::free(demangled);
    return result;
}

int push(Fixup* f, const char* name) {
    if (f->depth >= kMaxDepth) return CRJSON_ERROR_DATA_TOO_LONG;
    std::strncpy(f->path[f->depth], name ? name : "", kMaxNameLength);
    f->path[f->depth][kMaxNameLength] = '\0';
    f->depth++;
    return CRJSON_OK;
}

int onBeginObject(const char* name, void* user) {
    int result = of(user)->out->onBeginObject(name, of(user)->outUser);
    return result ? result : push(of(user), name);
}
int onBeginArray(const char* name, void* user) {
    int result = of(user)->out->onBeginArray(name, of(user)->outUser);
    return result ? result : push(of(user), name);
}
int onEndContainer(void* user) {
    Fixup* f = of(user);
    if (f->depth > 0) f->depth--;
    return f->out->onEndContainer(f->outUser);
}
int onEndData(void* user) { return of(user)->out->onEndData(of(user)->outUser); }

const CRJSONDecodeCallbacks kCallbacks = {onBoolean,     onFloatingPoint, onInteger,      onNull,   onString,
                                          onBeginObject, onBeginArray,    onEndContainer, onEndData};

// Runs the fix-up over the report, handing its elements to out. CRJSON_OK, or the first
// error of the decoder, the fix-up or out.
int runFixup(const char* crashReport, const CRJSONDecodeCallbacks* out, void* outUser) {
    size_t inputLength = std::strlen(crashReport);
    if (inputLength > size_t(INT32_MAX / 2)) return CRJSON_ERROR_DATA_TOO_LONG;
    // Sized from the input: every string of it fits the work buffer (names take its
    // first quarter).
    int workLength = int(inputLength) * 4 + 1024;
    std::unique_ptr<char, decltype(&std::free)> work(static_cast<char*>(std::malloc(size_t(workLength))), &std::free);
    std::unique_ptr<Fixup, decltype(&std::free)> f(static_cast<Fixup*>(std::calloc(1, sizeof(Fixup))), &std::free);
    if (!work || !f) return CRJSON_ERROR_CANNOT_ADD_DATA;
    f->out = out;
    f->outUser = outUser;
    int errorOffset = 0;
    int error = crjson_decode(crashReport, int(inputLength), work.get(), workLength, &kCallbacks, f.get(), &errorOffset);
    if (error == CRJSON_OK && f->depth != 0) error = CRJSON_ERROR_INCOMPLETE;
    return error;
}

// ---- into text: the pretty-printing encoder ------------------------------------------

struct TextOut {
    CRJSONEncoder encoder;
    char* output;
    size_t length;
    size_t capacity;
};

int addData(const char* data, int length, void* user) {
    auto* t = static_cast<TextOut*>(user);
    if (t->length + size_t(length) > t->capacity) {
        size_t capacity = t->capacity * 2 + size_t(length);
        char* grown = static_cast<char*>(std::realloc(t->output, capacity + 1));
        if (!grown) return CRJSON_ERROR_DATA_TOO_LONG;
        t->output = grown;
        t->capacity = capacity;
    }
    std::memcpy(t->output + t->length, data, size_t(length));
    t->length += size_t(length);
    return CRJSON_OK;
}

CRJSONEncoder* encoderOf(void* user) { return &static_cast<TextOut*>(user)->encoder; }

const CRJSONDecodeCallbacks kToText = {
    [](const char* name, bool value, void* user) { return crjson_addBooleanElement(encoderOf(user), name, value); },
    [](const char* name, double value, void* user) {
        return crjson_addFloatingPointElement(encoderOf(user), name, value);
    },
    [](const char* name, int64_t value, void* user) { return crjson_addIntegerElement(encoderOf(user), name, value); },
    [](const char* name, void* user) { return crjson_addNullElement(encoderOf(user), name); },
    [](const char* name, const char* value, void* user) {
        return crjson_addStringElement(encoderOf(user), name, value, -1);
    },
    [](const char* name, void* user) { return crjson_beginObject(encoderOf(user), name); },
    [](const char* name, void* user) { return crjson_beginArray(encoderOf(user), name); },
    [](void* user) { return crjson_endContainer(encoderOf(user)); },
    [](void* user) { return crjson_endEncode(encoderOf(user)); },
};

// ---- into a reader: the elements as a decoder of the text would see them -------------
//
// Integers, booleans, nulls and ASCII text come back from the text unchanged. Text with
// other bytes (an invalid byte is written as \u00XX and read back as U+00XX) and floating
// point numbers (written with "%lg": an integral one is read back as an integer, a
// non-finite one is written as null) are written with the encoder and read back with
// the decoder, so they reach the reader as they would from the text.

struct ReaderOut {
    const CRJSONDecodeCallbacks* reader;
    void* readerUser;
    bool stopped;  // the reader answered an error: it gets nothing more
    std::string name;
    std::string value;
};

bool ascii(const char* text) {
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    return true;
}

// One element as the decoder reads it back from the encoder's text.
struct ReadBack {
    enum Kind { None, Boolean, Floating, Integer, Null, String } kind = None;
    bool boolean = false;
    double floating = 0;
    int64_t integer = 0;
    std::string name;
    std::string text;
};

int appendTo(const char* data, int length, void* user) {
    static_cast<std::string*>(user)->append(data, size_t(length));
    return CRJSON_OK;
}

ReadBack* readBackOf(void* user) { return static_cast<ReadBack*>(user); }

const CRJSONDecodeCallbacks kReadBack = {
    [](const char* name, bool value, void* user) {
        readBackOf(user)->kind = ReadBack::Boolean, readBackOf(user)->boolean = value;
        if (name) readBackOf(user)->name = name;
        return CRJSON_OK;
    },
    [](const char* name, double value, void* user) {
        readBackOf(user)->kind = ReadBack::Floating, readBackOf(user)->floating = value;
        if (name) readBackOf(user)->name = name;
        return CRJSON_OK;
    },
    [](const char* name, int64_t value, void* user) {
        readBackOf(user)->kind = ReadBack::Integer, readBackOf(user)->integer = value;
        if (name) readBackOf(user)->name = name;
        return CRJSON_OK;
    },
    [](const char* name, void* user) {
        readBackOf(user)->kind = ReadBack::Null;
        if (name) readBackOf(user)->name = name;
        return CRJSON_OK;
    },
    [](const char* name, const char* value, void* user) {
        readBackOf(user)->kind = ReadBack::String, readBackOf(user)->text = value;
        if (name) readBackOf(user)->name = name;
        return CRJSON_OK;
    },
    [](const char*, void*) { return CRJSON_OK; },
    [](const char*, void*) { return CRJSON_OK; },
    [](void*) { return CRJSON_OK; },
    [](void*) { return CRJSON_OK; },
};

// Encodes one element (inside an object when it has a name) and decodes it again.
template <typename Add>
ReadBack readBack(const char* name, Add add) {
    std::string text;
    CRJSONEncoder encoder;
    crjson_beginEncode(&encoder, false, appendTo, &text);
    ReadBack back;
    if (name && crjson_beginObject(&encoder, nullptr) != CRJSON_OK) return back;
    if (add(&encoder, name) != CRJSON_OK || crjson_endEncode(&encoder) != CRJSON_OK) return back;
    text += ' ';  // a number at the very end of the text would read as cut short
    std::string work(text.size() * 4 + 64, '\0');
    int errorOffset = 0;
    if (crjson_decode(text.data(), int(text.size()), work.data(), int(work.size()), &kReadBack, &back,
                      &errorOffset) != CRJSON_OK)
        back.kind = ReadBack::None;
    return back;
}

ReaderOut* readerOf(void* user) { return static_cast<ReaderOut*>(user); }

// The name as the reader gets it; null stays null.
const char* readerName(ReaderOut* r, const char* name) {
    if (!name || ascii(name)) return name;
    ReadBack back = readBack(name, [](CRJSONEncoder* e, const char* n) { return crjson_addNullElement(e, n); });
    r->name = back.name;
    return r->name.c_str();
}

// Hands one element to the reader unless it has stopped; its error stops it.
template <typename Deliver>
int deliver(ReaderOut* r, Deliver call) {
    if (!r->stopped && call(r->reader, r->readerUser) != CRJSON_OK) r->stopped = true;
    return CRJSON_OK;
}

int readerFloatingPoint(const char* name, double value, void* user) {
    ReaderOut* r = readerOf(user);
    if (r->stopped) return CRJSON_OK;
    const char* n = readerName(r, name);
    ReadBack back = readBack(nullptr, [value](CRJSONEncoder* e, const char*) {
        return crjson_addFloatingPointElement(e, nullptr, value);
    });
    return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) {
        switch (back.kind) {
            case ReadBack::Floating: return cb->onFloatingPointElement(n, back.floating, u);
            case ReadBack::Integer: return cb->onIntegerElement(n, back.integer, u);
            case ReadBack::Null: return cb->onNullElement(n, u);
            default: return CRJSON_ERROR_INVALID_CHARACTER;
        }
    });
}

int readerString(const char* name, const char* value, void* user) {
    ReaderOut* r = readerOf(user);
    if (r->stopped) return CRJSON_OK;
    const char* n = readerName(r, name);
    if (!ascii(value)) {
        ReadBack back = readBack(nullptr, [value](CRJSONEncoder* e, const char*) {
            return crjson_addStringElement(e, nullptr, value, -1);
        });
        r->value = back.text;
        value = r->value.c_str();
    }
    return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onStringElement(n, value, u); });
}

const CRJSONDecodeCallbacks kToReader = {
    [](const char* name, bool value, void* user) {
        ReaderOut* r = readerOf(user);
        if (r->stopped) return CRJSON_OK;
        const char* n = readerName(r, name);
        return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onBooleanElement(n, value, u); });
    },
    readerFloatingPoint,
    [](const char* name, int64_t value, void* user) {
        ReaderOut* r = readerOf(user);
        if (r->stopped) return CRJSON_OK;
        const char* n = readerName(r, name);
        return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onIntegerElement(n, value, u); });
    },
    [](const char* name, void* user) {
        ReaderOut* r = readerOf(user);
        if (r->stopped) return CRJSON_OK;
        const char* n = readerName(r, name);
        return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onNullElement(n, u); });
    },
    readerString,
    [](const char* name, void* user) {
        ReaderOut* r = readerOf(user);
        if (r->stopped) return CRJSON_OK;
        const char* n = readerName(r, name);
        return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onBeginObject(n, u); });
    },
    [](const char* name, void* user) {
        ReaderOut* r = readerOf(user);
        if (r->stopped) return CRJSON_OK;
        const char* n = readerName(r, name);
        return deliver(r, [&](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onBeginArray(n, u); });
    },
    [](void* user) {
        return deliver(readerOf(user), [](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onEndContainer(u); });
    },
    // The reader's end comes once the whole report has been read (see below).
    [](void*) { return CRJSON_OK; },
};

}  // namespace

extern "C" {

char* crcrashreport_fixupReport(const char* crashReport) {
    if (!crashReport) return nullptr;
    auto* t = static_cast<TextOut*>(std::calloc(1, sizeof(TextOut)));
    if (!t) return nullptr;
    // Grown as the pretty-printed form needs.
    t->capacity = std::strlen(crashReport) * 3 / 2 + 1024;
    t->output = static_cast<char*>(std::malloc(t->capacity + 1));
    char* result = nullptr;
    if (t->output) {
        crjson_beginEncode(&t->encoder, true, addData, t);
        if (runFixup(crashReport, &kToText, t) == CRJSON_OK) {
            t->output[t->length] = '\0';
            result = t->output;
        } else {
            std::free(t->output);
        }
    }
    std::free(t);
    return result;
}

int crcrashreport_fixupReportTo(const char* crashReport, const CRJSONDecodeCallbacks* reader, void* readerUser) {
    if (!crashReport) return CRJSON_ERROR_INVALID_DATA;
    ReaderOut out{reader, readerUser, false, {}, {}};
    int result = runFixup(crashReport, &kToReader, &out);
    // The reader sees the end of the text only when there is a whole text to read.
    if (result == CRJSON_OK) deliver(&out, [](const CRJSONDecodeCallbacks* cb, void* u) { return cb->onEndData(u); });
    return result;
}

}  // extern "C"
