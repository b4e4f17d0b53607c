#pragma once
// Crash-time inspection of our object runtime, through safe reads only: whether a pointer
// is a class (a class record) or an object (an NSObject whose class-record word is a
// valid record), its class name, its instance variables, and short descriptions. Two
// probes for raw memory come with it. Async-signal-safe.
//
// The runtime has no tagged pointers, non-pointer isa words or block objects: those
// questions answer "not that kind". Of the platform's classes only NSURL is an object the
// report describes (strings, numbers, dates and arrays are values, found by the raw
// string probe).

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum { CRObjCTypeUnknown = 0, CRObjCTypeClass = 1, CRObjCTypeObject = 2, CRObjCTypeBlock = 3 } CRObjCType;

typedef enum {
    CRObjCClassTypeUnknown = 0,
    CRObjCClassTypeString = 1,
    CRObjCClassTypeDate = 2,
    CRObjCClassTypeURL = 3,
    CRObjCClassTypeArray = 4,
    CRObjCClassTypeNumber = 6,
} CRObjCClassType;

typedef struct CRObjCIvar {
    const char* name;
    const char* type;
    int index;
} CRObjCIvar;

bool crobjc_isTaggedPointer(const void* pointer);
bool crobjc_isValidTaggedPointer(const void* pointer);
uintptr_t crobjc_taggedPointerPayload(const void* pointer);

// The class record an object points to (not checked).
const void* crobjc_isaPointer(const void* objectPointer);
const char* crobjc_className(const void* classPointer);
const char* crobjc_objectClassName(const void* objectPointer);
CRObjCType crobjc_objectType(const void* objectOrClassPointer);
bool crobjc_isValidObject(const void* object);
CRObjCClassType crobjc_objectClassType(const void* object);

// Own instance variables of a class.
int crobjc_ivarCount(const void* classPointer);
int crobjc_ivarList(const void* classPointer, CRObjCIvar* dstIvars, int ivarsCount);
bool crobjc_ivarNamed(const void* classPointer, const char* name, CRObjCIvar* dst);
// The first min(size, 8) bytes of the variable (scalars whole; for an object-typed
// variable the first word of its storage).
bool crobjc_ivarValue(const void* objectPointer, int ivarIndex, void* dst);

// Text of a URL object (its absolute string); 0 for anything else. Always terminated.
int crobjc_copyStringContents(const void* stringPtr, char* dst, int maxLength);
int crobjc_stringLength(const void* stringPtr);
double crobjc_numberAsFloat(const void* object);
int64_t crobjc_numberAsInteger(const void* object);
double crobjc_dateContents(const void* datePtr);
int crobjc_arrayCount(const void* arrayPtr);
int crobjc_arrayContents(const void* arrayPtr, uintptr_t* contents, int count);

// "<Class: 0x%016x>" (the pointer's low 32 bits), for a URL followed by ": \"text\"".
// Cut at the buffer; answers the characters written.
int crobjc_getDescription(void* object, char* buffer, int bufferLength);

bool crstring_isNullTerminatedUTF8String(const void* memory, int minLength, int maxLength);
bool crstring_extractHexValue(const char* string, int stringLength, uint64_t* result);

#ifdef __cplusplus
}
#endif
