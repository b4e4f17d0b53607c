#pragma once
// The main-thread deadlock monitor (0x10): a watchdog thread ("CRCrash Deadlock
// Detection Thread") posts a block to the main queue every interval; a block still not
// run one interval later is a deadlock, recorded with the main thread's stack, and the
// process aborts. Does nothing while the interval is 0. Normal time throughout; on the
// crash path disabling only raises the watchdog's cancel flag.

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
extern "C" {
#endif

const CRMonitorAPI* crcm_deadlock_getAPI(void);
// Seconds; read by the watchdog at its next pass.
void crcm_setDeadlockHandlerWatchdogInterval(double value);

#ifdef __cplusplus
}
#endif
