#pragma once
// The loaded images and their symbols, read from the kernel layer's image table without
// the dynamic linker's locks: address lookup (a dladdr for crash time), the records of the
// report's binary-image list and build ids. Async-signal-safe, except crdm_demangleCPP.

#include <dlfcn.h>
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// x86_64 as the platform numbers it.
#define CRDL_CPU_TYPE_X86_64 16777223
#define CRDL_CPU_SUBTYPE_X86_64_ALL 3

typedef struct CRBinaryImage {
    uintptr_t address;         // the ELF header (lowest PT_LOAD)
    uint64_t vmAddress;        // lowest p_vaddr
    uint64_t size;             // span of the PT_LOADs
    const char* name;          // path
    const uint8_t* uuid;       // first 16 bytes of the GNU build id, or NULL
    int32_t cpuType;
    int32_t cpuSubType;
    uint64_t majorVersion;     // from a trailing ".so.X.Y.Z" of the file name, else 0
    uint64_t minorVersion;
    uint64_t revisionVersion;
    const char* crashInfoMessage;
    const char* crashInfoMessage2;
} CRBinaryImage;

uint32_t crdl_imageCount(void);
// Index of the first image whose path equals (exact) or contains the name; UINT32_MAX
// when none or name is NULL.
uint32_t crdl_imageNamed(const char* name, bool exactMatch);
const uint8_t* crdl_imageUUID(const char* name, bool exactMatch);
// The image holding the address and the nearest symbol at or below it. False when no
// image holds it; true with a NULL symbol when it lies before the image's first symbol.
bool crdl_dladdr(uintptr_t address, Dl_info* info);
bool crdl_getBinaryImage(int index, CRBinaryImage* image);
bool crdl_getBinaryImageForHeader(const void* header, const char* name, CRBinaryImage* image);
// A new demangled C string (free it), or NULL. Normal time only.
char* crdm_demangleCPP(const char* mangledName);

#ifdef __cplusplus
}
#endif
