#pragma once
// Thread and queue names kept ready for the report writer, which cannot allocate while
// it runs: a detached thread refreshes them (every second for the first four refreshes,
// then at the interval). The writer freezes the cache while it reads.

#include <stdbool.h>

#include <crash_core/CRThread.h>

#ifdef __cplusplus
extern "C" {
#endif

// Starts the refresh thread ("CRCrash Cached Data Monitor") once per process.
void crccd_init(int pollingIntervalInSeconds);
// While frozen the cache is not replaced. Async-signal-safe.
void crccd_freeze(void);
void crccd_unfreeze(void);
// The cached name of a thread, or NULL. Async-signal-safe; call while frozen.
const char* crccd_getThreadName(CRThread thread);
const char* crccd_getQueueName(CRThread thread);
void crccd_setSearchQueueNames(bool searchQueueNames);

// Tests: replaces the pause between refreshes (seconds) and counts refreshes.
void crccd_setSleepFunctionForTesting(void (*sleepFunction)(double seconds));
int crccd_refreshCountForTesting(void);

#ifdef __cplusplus
}
#endif
