#pragma once
// Look-up of objects the zombie monitor saw deallocated. Async-signal-safe.
// Until the zombie monitor is part of the core, no address is known.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The class name of the object last deallocated at the address, or NULL.
const char* crzombie_className(const void* object);

#ifdef __cplusplus
}
#endif
