#pragma once
// One captured thread of the task: its registers and the list of the task's threads.
// Callers reserve the storage (crmc_contextSize bytes, normally on their own stack).
// Async-signal-safe throughout: no allocation, no locks.

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include <crash_core/CRThread.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CRMC_MAX_THREADS 100
#define CRMC_MAX_RESERVED_THREADS 10
#define CRMC_REGISTER_COUNT 21

typedef struct CRMachineContext {
    CRThread thread;
    CRThread allThreads[CRMC_MAX_THREADS];  // the kernel's listing order
    int32_t threadCount;
    bool isCrashedContext;
    bool isCurrentThread;
    bool isStackOverflow;
    bool isSignalContext;
    struct {
        uint64_t trapno;
        uint64_t err;
        uint64_t cr2;  // the fault address
    } exceptionState;
    // rax rbx rcx rdx rdi rsi rbp rsp r8-r15 rip rflags cs fs gs
    uint64_t registers[CRMC_REGISTER_COUNT];
} CRMachineContext;

size_t crmc_contextSize(void);

// Fills the context for a thread: another thread's registers are read while it is
// suspended (crmc_suspendEnvironment), the calling thread's are left zero. A crashed
// context also gets the stack-overflow probe and the thread list. Always true.
bool crmc_getContextForThread(CRThread thread, CRMachineContext* context, bool isCrashedContext);

// Fills the context from a signal handler's user context (ucontext_t*).
bool crmc_getContextForSignal(const void* userContext, CRMachineContext* context);

CRThread crmc_getThreadFromContext(const CRMachineContext* context);
int crmc_getThreadCount(const CRMachineContext* context);
CRThread crmc_getThreadAtIndex(const CRMachineContext* context, int index);
int crmc_indexOfThread(const CRMachineContext* context, CRThread thread);
bool crmc_isCrashedContext(const CRMachineContext* context);
bool crmc_canHaveCPUState(const CRMachineContext* context);
bool crmc_hasValidExceptionRegisters(const CRMachineContext* context);

// A thread that is never suspended (10 at most; later ones are ignored). Set while
// monitors are enabled, before any crash.
void crmc_addReservedThread(CRThread thread);

// Suspends every thread of the task but the caller and the reserved ones. The list
// handed back (all threads seen, in a buffer of this module) goes to
// crmc_resumeEnvironment. A thread that does not stop within 100 ms stays listed and
// keeps zero registers. Call crmc_prepare first, at normal time.
bool crmc_suspendEnvironment(CRThread** threads, int* count);
void crmc_resumeEnvironment(CRThread* threads, int count);

// Prepares the kernel services used at crash time (thread listing, suspension, safe
// reads, the image table). Normal time, once at install.
void crmc_prepare(void);

#ifdef __cplusplus
}
#endif
