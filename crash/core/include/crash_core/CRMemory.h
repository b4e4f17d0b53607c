#pragma once
// Reads of memory that may be unmapped, for crash-time code: a bad address answers
// false or 0, never a fault. Async-signal-safe.

#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Size of the scratch buffer the readability checks read through.
#define CRMEM_SCRATCH_SIZE 10240

// True when all count bytes were copied.
bool crmem_copySafely(const void* source, void* destination, size_t count);

// True when every byte of the range can be read.
bool crmem_isMemoryReadable(const void* address, size_t count);

// The readable prefix of the range copied into destination: 0 when the first byte
// cannot be read.
size_t crmem_copyMaxPossible(const void* source, void* destination, size_t count);

// How many bytes from address on can be read, up to count.
size_t crmem_maxReadableBytes(const void* address, size_t count);

#ifdef __cplusplus
}
#endif
