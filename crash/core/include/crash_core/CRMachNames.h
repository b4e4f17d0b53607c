#pragma once
// Names of exception types and kernel return codes, and the mapping between exception
// types and signals that the Mach exception monitor and the report writer share.
// Async-signal-safe: static tables only.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CR_EXC_BAD_ACCESS 1
#define CR_EXC_BAD_INSTRUCTION 2
#define CR_EXC_ARITHMETIC 3
#define CR_EXC_EMULATION 4
#define CR_EXC_SOFTWARE 5
#define CR_EXC_BREAKPOINT 6
#define CR_EXC_CRASH 10
#define CR_EXC_SOFT_SIGNAL_SYS 0x10000
#define CR_EXC_SOFT_SIGNAL_PIPE 0x10001
#define CR_EXC_SOFT_SIGNAL_ABRT 0x10002
#define CR_EXC_SOFT_SIGNAL_KILL 0x10003
#define CR_KERN_INVALID_ADDRESS 1
#define CR_KERN_PROTECTION_FAILURE 2
#define CR_KERN_MEMORY_ERROR 10

// "EXC_BAD_ACCESS" ... "EXC_CRASH" for 1 to 10, else NULL.
const char* crmach_exceptionName(int64_t exceptionType);
// "KERN_SUCCESS" ... "KERN_CODESIGN_ERROR" for 0 to 50, else NULL.
const char* crmach_kernelReturnCodeName(int64_t returnCode);
// The signal an exception stands for (0 when none).
int crmach_signalForMachException(int exceptionType, int64_t code);
// The exception type that stands for a signal (0 when none).
int crmach_machExceptionForSignal(int signal);

#ifdef __cplusplus
}
#endif
