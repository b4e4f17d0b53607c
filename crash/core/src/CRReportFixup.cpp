#include <crash_core/CRReportFixup.h>

#include <crash_core/CRDemangle.h>
#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRJSONCodec.h>

#include <cstdlib>
#include <cstring>

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

struct Fixup {
    CRJSONEncoder encoder;
    char* output;
    size_t length;
    size_t capacity;
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
        int i = 0;
        for (; i < f->depth; ++i)
            if (!path[i] || std::strncmp(path[i], f->path[i], kMaxNameLength) != 0) break;
        if (i != f->depth || !path[i]) continue;
        if (std::strncmp(path[i], name ? name : "", kMaxNameLength) == 0 && !path[i + 1]) return true;
    }
    return false;
}

int addData(const char* data, int length, void* user) {
    Fixup* f = of(user);
    if (f->length + size_t(length) > f->capacity) {
        size_t capacity = f->capacity * 2 + size_t(length);
        char* grown = static_cast<char*>(std::realloc(f->output, capacity + 1));
        if (!grown) return CRJSON_ERROR_DATA_TOO_LONG;
        f->output = grown;
        f->capacity = capacity;
    }
    std::memcpy(f->output + f->length, data, size_t(length));
    f->length += size_t(length);
    return CRJSON_OK;
}

bool versionAtLeast330(const int* v) {
    return v[0] > 3 || (v[0] == 3 && v[1] > 3) || (v[0] == 3 && v[1] == 3);
}

int onBoolean(const char* name, bool value, void* user) {
    return crjson_addBooleanElement(&of(user)->encoder, name, value);
}
int onFloatingPoint(const char* name, double value, void* user) {
    return crjson_addFloatingPointElement(&of(user)->encoder, name, value);
}
int onInteger(const char* name, int64_t value, void* user) {
    Fixup* f = of(user);
    if (matches(f, name, kDatePaths)) {
        char text[32];
        if (versionAtLeast330(f->version))
            crdate_utcStringFromMicroseconds(value, text);
        else
            crdate_utcStringFromTimestamp(time_t(value), text);
        return crjson_addStringElement(&f->encoder, name, text, -1);
    }
    return crjson_addIntegerElement(&f->encoder, name, value);
}
int onNull(const char* name, void* user) { return crjson_addNullElement(&of(user)->encoder, name); }

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
    int result = crjson_addStringElement(&f->encoder, name, demangled ? demangled : value, -1);
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
    int result = crjson_beginObject(&of(user)->encoder, name);
    return result ? result : push(of(user), name);
}
int onBeginArray(const char* name, void* user) {
    int result = crjson_beginArray(&of(user)->encoder, name);
    return result ? result : push(of(user), name);
}
int onEndContainer(void* user) {
    Fixup* f = of(user);
    if (f->depth > 0) f->depth--;
    return crjson_endContainer(&f->encoder);
}
int onEndData(void* user) { return crjson_endEncode(&of(user)->encoder); }

const CRJSONDecodeCallbacks kCallbacks = {onBoolean,     onFloatingPoint, onInteger,      onNull,   onString,
                                          onBeginObject, onBeginArray,    onEndContainer, onEndData};

}  // namespace

extern "C" {

char* crcrashreport_fixupReport(const char* crashReport) {
    if (!crashReport) return nullptr;
    size_t inputLength = std::strlen(crashReport);
    if (inputLength > size_t(INT32_MAX / 2)) return nullptr;
    // Sized from the input: every string of it fits the work buffer (names take its
    // first quarter), and the output grows as the pretty-printed form needs.
    int workLength = int(inputLength) * 4 + 1024;
    char* work = static_cast<char*>(std::malloc(size_t(workLength)));
    auto* f = static_cast<Fixup*>(std::calloc(1, sizeof(Fixup)));
    if (!work || !f) {
        std::free(work);
        std::free(f);
        return nullptr;
    }
    f->capacity = inputLength * 3 / 2 + 1024;
    f->output = static_cast<char*>(std::malloc(f->capacity + 1));
    char* result = nullptr;
    if (f->output) {
        crjson_beginEncode(&f->encoder, true, addData, f);
        int errorOffset = 0;
        int error = crjson_decode(crashReport, int(inputLength), work, workLength, &kCallbacks, f, &errorOffset);
        if (error == CRJSON_OK && f->depth == 0) {
            f->output[f->length] = '\0';
            result = f->output;
        } else {
            std::free(f->output);
        }
    }
    std::free(work);
    std::free(f);
    return result;
}

}  // extern "C"
