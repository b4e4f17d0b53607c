#pragma once
// The C++ exception monitor (0x04): records a backtrace at every throw and, when an
// exception ends in terminate, one event whose backtrace is the throw's. Throws pass
// through the `__cxa_throw` this library exports (programs link it ahead of the C++
// runtime) and, once rebinding is on, through a trampoline written into the global
// offset table slots of every image. Normal time throughout (throws and terminate run
// in ordinary code).

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
#include <typeinfo>
extern "C" {
#endif

const CRMonitorAPI* crcm_cppexception_getAPI(void);
// Switches rebinding on, once: every image present now or loaded later gets the
// trampoline in its `__cxa_throw` slots.
void crcm_enableSwapOfCxaThrow(void);

#ifdef __cplusplus
// Called before each rebound throw with its arguments.
using CRCxaThrowCallback = void (*)(void* thrownException, std::type_info* type, void (*destructor)(void*));
// Installs the rebinding for all images present now and loaded later.
void cr_rebindCxaThrow(CRCxaThrowCallback callback);
}
#endif
