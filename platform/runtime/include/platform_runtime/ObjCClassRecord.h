#pragma once
// The fixed C layout of a class record, readable with plain memory reads (crash-time inspection).
//
// Every NSObject holds a pointer to its class's record at NSObject::isaOffset() from the
// object's address. The record and everything it points to live for the whole process.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// "OBJCCLS1" as a little-endian word: lets a reader reject a word that is not a record.
#define OBJC_CLASS_RECORD_MAGIC 0x31534C43434A424FULL

// Bit 0 is kept for a metaclass (never set: class objects have no record of their own).
#define OBJC_CLASS_FLAG_META 0x1u
// The root of the hierarchy (NSObject); its superclass is NULL.
#define OBJC_CLASS_FLAG_ROOT 0x2u

typedef struct ObjCPropertyRecord {
    const char* name;        // "firmwares"
    const char* attributes;  // "T@\"NSArray<FirmwareItem>\",&,N,V_firmwares"
} ObjCPropertyRecord;

// One stored instance variable: what a crash-time reader needs to find and type its bytes.
typedef struct ObjCIvarRecord {
    const char* name;      // "_absoluteString": the V part of the property's attributes
    const char* typeCode;  // "@\"NSString\"": the T part (a std::string is stored behind it)
    uint32_t offset;       // from the object's (NSObject) address
    uint32_t size;         // bytes of the C++ member
} ObjCIvarRecord;

typedef struct ObjCClassRecord {
    uint64_t magic;                              // OBJC_CLASS_RECORD_MAGIC
    const struct ObjCClassRecord* superclass;    // NULL for the root
    const char* name;                            // NUL-terminated class name
    uint32_t flags;                              // OBJC_CLASS_FLAG_*
    uint32_t instanceSize;                       // sizeof the C++ class, 0 when unknown
    uint32_t propertyCount;                      // own properties only
    uint32_t ivarCount;                          // own instance variables
    const ObjCPropertyRecord* properties;        // own properties in declaration order
    void* runtimeClass;                          // the owning ObjCClass; not for crash-time use
    const ObjCIvarRecord* ivars;                 // own instance variables in declaration order
} ObjCClassRecord;

#ifdef __cplusplus
}
#endif
