#pragma once
// The NSException monitor (0x08): the process's uncaught-exception handler records the
// exception with its own call-stack return addresses as the backtrace; a second entry
// records an exception as a user-reported snapshot and returns. Normal time (the
// handlers run in the terminate path or on the reporting thread).

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
#include <platform_runtime/NSException.h>

extern "C" {
#endif

const CRMonitorAPI* crcm_nsexception_getAPI(void);

#ifdef __cplusplus
}

// The handlers the crash-core front stores: the uncaught one and the snapshot one.
NSUncaughtExceptionHandler crcm_nsexception_uncaughtHandler();
NSUncaughtExceptionHandler crcm_nsexception_snapshotHandler();
#endif
