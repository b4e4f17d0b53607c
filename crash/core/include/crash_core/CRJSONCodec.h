#pragma once
// A streaming JSON codec that builds no tree and allocates nothing: the encoder pushes
// text to an output callback as elements are added, the decoder walks a buffer and calls
// one callback per element. Usable from a crash handler when the callback is.
//
// Text is always written as valid JSON: control bytes become \u00XX, and a byte that is
// not part of a well-formed UTF-8 sequence is written as \u00XX too, so strict readers
// accept any report.

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CRJSON_OK 0
#define CRJSON_ERROR_INVALID_CHARACTER 1
#define CRJSON_ERROR_DATA_TOO_LONG 2
#define CRJSON_ERROR_CANNOT_ADD_DATA 3
#define CRJSON_ERROR_INCOMPLETE 4
#define CRJSON_ERROR_INVALID_DATA 5

// Deepest nesting the encoder tracks.
#define CRJSON_MAX_CONTAINER_LEVEL 200

const char* crjson_stringForError(int error);

typedef int (*CRJSONAddDataFunc)(const char* data, int length, void* userData);

typedef struct CRJSONEncoder {
    CRJSONAddDataFunc addJSONData;
    void* userData;
    int containerLevel;
    bool isObject[CRJSON_MAX_CONTAINER_LEVEL];
    bool containerFirstEntry;
    bool prettyPrint;
    // Bytes of a UTF-8 sequence that a string piece left unfinished, carried into the
    // next piece of the same string.
    unsigned char pending[4];
    int pendingLength;
} CRJSONEncoder;

void crjson_beginEncode(CRJSONEncoder* context, bool prettyPrint, CRJSONAddDataFunc addJSONData, void* userData);
int crjson_endEncode(CRJSONEncoder* context);
int crjson_addBooleanElement(CRJSONEncoder* context, const char* name, bool value);
int crjson_addFloatingPointElement(CRJSONEncoder* context, const char* name, double value);
int crjson_addIntegerElement(CRJSONEncoder* context, const char* name, int64_t value);
int crjson_addUIntegerElement(CRJSONEncoder* context, const char* name, uint64_t value);
int crjson_addNullElement(CRJSONEncoder* context, const char* name);
// length -1: up to the terminator. A NULL value writes null.
int crjson_addStringElement(CRJSONEncoder* context, const char* name, const char* value, int length);
int crjson_beginStringElement(CRJSONEncoder* context, const char* name);
int crjson_appendStringElement(CRJSONEncoder* context, const char* value, int length);
int crjson_endStringElement(CRJSONEncoder* context);
// A quoted string of uppercase hexadecimal digit pairs.
int crjson_addDataElement(CRJSONEncoder* context, const char* name, const char* value, int length);
int crjson_beginDataElement(CRJSONEncoder* context, const char* name);
int crjson_appendDataElement(CRJSONEncoder* context, const char* value, int length);
int crjson_endDataElement(CRJSONEncoder* context);
int crjson_beginObject(CRJSONEncoder* context, const char* name);
int crjson_beginArray(CRJSONEncoder* context, const char* name);
int crjson_endContainer(CRJSONEncoder* context);
// Embeds a JSON text (or a file's) as the element name. Without closeLastContainer the
// embedded text's outer container is left open for the caller (unless the encoder is
// three or more levels deep).
int crjson_addJSONElement(CRJSONEncoder* context, const char* name, const char* jsonData, int jsonDataLength,
                          bool closeLastContainer);
int crjson_addJSONFromFile(CRJSONEncoder* context, const char* name, const char* filename,
                           bool closeLastContainer);
// The same through caller buffers: the file is read through a window of windowLength
// bytes, and a string may be up to stringLength - 1 bytes long.
int crjson_addJSONFromFileWithBuffers(CRJSONEncoder* context, const char* name, const char* filename,
                                      bool closeLastContainer, char* window, int windowLength, char* strings,
                                      int stringLength);

typedef struct CRJSONDecodeCallbacks {
    int (*onBooleanElement)(const char* name, bool value, void* userData);
    int (*onFloatingPointElement)(const char* name, double value, void* userData);
    int (*onIntegerElement)(const char* name, int64_t value, void* userData);
    int (*onNullElement)(const char* name, void* userData);
    int (*onStringElement)(const char* name, const char* value, void* userData);
    int (*onBeginObject)(const char* name, void* userData);
    int (*onBeginArray)(const char* name, void* userData);
    int (*onEndContainer)(void* userData);
    int (*onEndData)(void* userData);
} CRJSONDecodeCallbacks;

// The first quarter of the work buffer holds member names, the rest string values.
int crjson_decode(const char* data, int length, char* stringBuffer, int stringBufferLength,
                  const CRJSONDecodeCallbacks* callbacks, void* userData, int* errorOffset);

#ifdef __cplusplus
}
#endif
