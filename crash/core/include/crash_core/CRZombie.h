#pragma once
// The zombie monitor (0x100): remembers the class of recently deallocated objects, so a
// report can name the class behind a dangling pointer, and the address, name and reason of
// the last destroyed exception.
//
// Enabling installs a replacement on NSObject's root dealloc slot (every object destroyed
// afterwards, on any thread, pays one table write: no lock, no allocation) and the
// exception-deallocation hook. It cannot be disabled again. Look-ups are async-signal-safe;
// a reader during a crash may see a slot being overwritten.

#include <stdint.h>

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
extern "C" {
#endif

// The class name cached for exactly that address, or NULL (a zero address, before the
// monitor was first enabled, or when the slot holds another address).
const char* crzombie_className(const void* object);

const CRMonitorAPI* crcm_zombie_getAPI(void);

// Tests: the last destroyed exception as recorded (address 0 when none).
void crzombie_lastDeallocatedException(uintptr_t* address, const char** name, const char** reason);

#ifdef __cplusplus
}
#endif
