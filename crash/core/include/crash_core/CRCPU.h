#pragma once
// The x86_64 register layer over a machine context. Async-signal-safe.

#include <stdbool.h>
#include <stdint.h>

#include <crash_core/CRMachineContext.h>

#ifdef __cplusplus
extern "C" {
#endif

uintptr_t crcpu_framePointer(const CRMachineContext* context);
uintptr_t crcpu_stackPointer(const CRMachineContext* context);
uintptr_t crcpu_instructionAddress(const CRMachineContext* context);
// x86_64 has no link register: always 0.
uintptr_t crcpu_linkRegister(const CRMachineContext* context);
// cr2 of the exception state.
uintptr_t crcpu_faultAddress(const CRMachineContext* context);
// Reads the (suspended) thread's registers into the context; false when unavailable.
bool crcpu_getState(CRMachineContext* context);
int crcpu_numRegisters(void);
const char* crcpu_registerName(int index);
uint64_t crcpu_registerValue(const CRMachineContext* context, int index);
int crcpu_numExceptionRegisters(void);
const char* crcpu_exceptionRegisterName(int index);
uint64_t crcpu_exceptionRegisterValue(const CRMachineContext* context, int index);
int crcpu_stackGrowDirection(void);
// Addresses are kept whole: x86_64 carries no authentication bits in them.
uintptr_t crcpu_normaliseInstructionPointer(uintptr_t ip);
// "x86_64".
const char* crcpu_currentArch(void);
// Copies the general registers of a suspended thread, or of one waiting in an exception
// message (its faulting state) (count words of <sys/ucontext.h>'s
// gregset, flavour 1) into state. False for another flavour or a thread not suspended.
bool crcpu_fillState(CRThread thread, uint64_t* state, int flavour, int count);

#ifdef __cplusplus
}
#endif
