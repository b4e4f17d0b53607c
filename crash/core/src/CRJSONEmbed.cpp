#include <crash_core/CRJSONCodec.h>

#include "CRJSONDecoder.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kNameBuffer = 100;
constexpr int kStringBuffer = 5000;
constexpr int kFileStringBuffer = 500;
constexpr int kFileWindow = 1000;

// Re-encodes decoded elements into the encoder; the top element takes the caller's name.
struct Embed {
    CRJSONEncoder* encoder;
    const char* topName;
    bool closeLastContainer;
    bool atTop = true;
    int opened = 0;  // containers opened by this embedding and still open

    const char* name(const char* decoded) {
        if (!atTop) return decoded;
        atTop = false;
        return topName;
    }
};

Embed* of(void* user) { return static_cast<Embed*>(user); }

int onBoolean(const char* name, bool value, void* user) {
    return crjson_addBooleanElement(of(user)->encoder, of(user)->name(name), value);
}
int onFloatingPoint(const char* name, double value, void* user) {
    return crjson_addFloatingPointElement(of(user)->encoder, of(user)->name(name), value);
}
int onInteger(const char* name, int64_t value, void* user) {
    return crjson_addIntegerElement(of(user)->encoder, of(user)->name(name), value);
}
int onNull(const char* name, void* user) {
    return crjson_addNullElement(of(user)->encoder, of(user)->name(name));
}
int onString(const char* name, const char* value, void* user) {
    return crjson_addStringElement(of(user)->encoder, of(user)->name(name), value, -1);
}
int onBeginObject(const char* name, void* user) {
    int result = crjson_beginObject(of(user)->encoder, of(user)->name(name));
    if (!result) of(user)->opened++;
    return result;
}
int onBeginArray(const char* name, void* user) {
    int result = crjson_beginArray(of(user)->encoder, of(user)->name(name));
    if (!result) of(user)->opened++;
    return result;
}
int onEndContainer(void* user) {
    Embed* e = of(user);
    // Without closeLastContainer the embedded text's outer container stays open for the
    // caller, unless the encoder is nested three or more levels deep.
    if (!e->closeLastContainer && e->encoder->containerLevel < 3) return CRJSON_OK;
    e->opened--;
    return crjson_endContainer(e->encoder);
}
int onEndData(void*) { return CRJSON_OK; }

const CRJSONDecodeCallbacks kCallbacks = {onBoolean,     onFloatingPoint, onInteger,     onNull,   onString,
                                          onBeginObject, onBeginArray,    onEndContainer, onEndData};

int finish(Embed& e, int result) {
    if (e.closeLastContainer)
        while (e.opened > 0) {
            e.opened--;
            int r = crjson_endContainer(e.encoder);
            if (!result) result = r;
        }
    return result;
}

}  // namespace

extern "C" {

int crjson_addJSONElement(CRJSONEncoder* encoder, const char* name, const char* jsonData, int jsonDataLength,
                          bool closeLastContainer) {
    char names[kNameBuffer];
    char strings[kStringBuffer];
    Embed e{encoder, name, closeLastContainer};
    crjson_detail::Source source{const_cast<char*>(jsonData)};
    source.end = jsonData && jsonDataLength > 0 ? jsonDataLength : 0;
    crjson_detail::Buffers buffers{names, kNameBuffer, strings, kStringBuffer};
    int errorOffset = 0;
    return finish(e, crjson_detail::decode(source, buffers, &kCallbacks, &e, &errorOffset));
}

int crjson_addJSONFromFile(CRJSONEncoder* encoder, const char* name, const char* filename,
                           bool closeLastContainer) {
    char strings[kFileStringBuffer];
    char window[kFileWindow];
    return crjson_addJSONFromFileWithBuffers(encoder, name, filename, closeLastContainer, window, kFileWindow, strings,
                                             kFileStringBuffer);
}

int crjson_addJSONFromFileWithBuffers(CRJSONEncoder* encoder, const char* name, const char* filename,
                                      bool closeLastContainer, char* window, int windowLength, char* strings,
                                      int stringLength) {
    char names[kNameBuffer];
    Embed e{encoder, name, closeLastContainer};
    crjson_detail::Source source{window};
    source.capacity = windowLength;
    int fd = filename ? ::open(filename, O_RDONLY | O_CLOEXEC) : -1;
    // An unopened file reads as no data: an incomplete decode.
    source.fd = fd;
    source.eof = fd < 0;
    crjson_detail::Buffers buffers{names, kNameBuffer, strings, stringLength};
    int errorOffset = 0;
    int result = crjson_detail::decode(source, buffers, &kCallbacks, &e, &errorOffset);
    if (fd >= 0) ::close(fd);
    return finish(e, result);
}

}  // extern "C"
