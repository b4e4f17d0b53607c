#include <crash_core/CRCPU.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>

#include "CRCPUInternal.h"

#include <platform_kernel/ImageTable.h>
#include <platform_kernel/SafeMemory.h>
#include <platform_kernel/ThreadList.h>
#include <platform_kernel/ThreadSuspend.h>

#include <atomic>
#include <cstring>
#include <sys/ucontext.h>
#include <unistd.h>

namespace {

std::atomic<CRThread> gReserved[CRMC_MAX_RESERVED_THREADS];
std::atomic<int> gReservedCount{0};

// The environment list handed out by crmc_suspendEnvironment.
constexpr int kMaxSuspended = 4096;
CRThread gSuspended[kMaxSuspended];
pid_t gListing[kMaxSuspended];

bool isReserved(CRThread t) {
    int n = gReservedCount.load(std::memory_order_acquire);
    for (int i = 0; i < n && i < CRMC_MAX_RESERVED_THREADS; ++i)
        if (gReserved[i].load(std::memory_order_relaxed) == t) return true;
    return false;
}

void fillThreadList(CRMachineContext* context) {
    pid_t tids[CRMC_MAX_THREADS];
    int n = kernel::listThreads(tids, CRMC_MAX_THREADS);
    if (n < 0) return;
    if (n > CRMC_MAX_THREADS) n = CRMC_MAX_THREADS;
    for (int i = 0; i < n; ++i) context->allThreads[i] = static_cast<CRThread>(tids[i]);
    context->threadCount = n;
}

void probeStackOverflow(CRMachineContext* context) {
    CRStackCursor cursor;
    crsc_initWithMachineContext(&cursor, CRSC_STACK_OVERFLOW_THRESHOLD, context);
    while (cursor.advanceCursor(&cursor)) {
    }
    context->isStackOverflow = cursor.state.hasGivenUp;
}

}  // namespace

extern "C" {

size_t crmc_contextSize(void) { return sizeof(CRMachineContext); }

void crmc_prepare(void) {
    kernel::prepareSafeMemory();
    kernel::prepareThreadList();
    kernel::prepareThreadSuspension();
    kernel::refreshImageTable();
}

bool crmc_getContextForThread(CRThread thread, CRMachineContext* context, bool isCrashedContext) {
    std::memset(context, 0, sizeof *context);
    context->thread = thread;
    context->isCrashedContext = isCrashedContext;
    context->isCurrentThread = thread == crthread_self();
    if (!context->isCurrentThread) crcpu_getState(context);
    if (!isCrashedContext) return true;
    probeStackOverflow(context);
    fillThreadList(context);
    return true;
}

bool crmc_getContextForSignal(const void* userContext, CRMachineContext* context) {
    std::memset(context, 0, sizeof *context);
    const auto* uc = static_cast<const ucontext_t*>(userContext);
    crcpu_copyRegisters(context, uc->uc_mcontext.gregs);
    context->thread = crthread_self();
    context->isCurrentThread = true;
    context->isCrashedContext = true;
    context->isSignalContext = true;
    probeStackOverflow(context);
    fillThreadList(context);
    return true;
}

CRThread crmc_getThreadFromContext(const CRMachineContext* context) { return context->thread; }
int crmc_getThreadCount(const CRMachineContext* context) { return context->threadCount; }

CRThread crmc_getThreadAtIndex(const CRMachineContext* context, int index) {
    return index >= 0 && index < context->threadCount ? context->allThreads[index] : 0;
}

int crmc_indexOfThread(const CRMachineContext* context, CRThread thread) {
    for (int i = 0; i < context->threadCount; ++i)
        if (context->allThreads[i] == thread) return i;
    return -1;
}

bool crmc_isCrashedContext(const CRMachineContext* context) { return context->isCrashedContext; }

bool crmc_canHaveCPUState(const CRMachineContext* context) {
    return !context->isCurrentThread || context->isSignalContext;
}

bool crmc_hasValidExceptionRegisters(const CRMachineContext* context) {
    return context->isCrashedContext && (!context->isCurrentThread || context->isSignalContext);
}

void crmc_addReservedThread(CRThread thread) {
    int n = gReservedCount.load();
    if (n >= CRMC_MAX_RESERVED_THREADS) return;
    gReserved[n].store(thread);
    gReservedCount.store(n + 1, std::memory_order_release);
}

bool crmc_suspendEnvironment(CRThread** threads, int* count) {
    pid_t* tids = gListing;
    int n = kernel::listThreads(tids, kMaxSuspended);
    if (n < 0) {
        *threads = nullptr;
        *count = 0;
        return false;
    }
    if (n > kMaxSuspended) n = kMaxSuspended;
    CRThread self = crthread_self();
    for (int i = 0; i < n; ++i) {
        gSuspended[i] = static_cast<CRThread>(tids[i]);
        if (gSuspended[i] != self && !isReserved(gSuspended[i])) (void)kernel::suspendThread(tids[i]);
    }
    *threads = gSuspended;
    *count = n;
    return true;
}

void crmc_resumeEnvironment(CRThread* threads, int count) {
    if (!threads || count <= 0) return;
    CRThread self = crthread_self();
    for (int i = 0; i < count; ++i)
        if (threads[i] != self && !isReserved(threads[i])) kernel::resumeThread(static_cast<pid_t>(threads[i]));
}

}  // extern "C"
