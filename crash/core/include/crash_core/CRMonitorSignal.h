#pragma once
// The signal monitor (0x02): catches the fatal signals on an alternate stack, records one
// event through the registry and passes the signal on (the handler in force before it,
// or the signal raised again). Its handler is async-signal-safe; the API's operations
// run at normal time.

#include <stdbool.h>

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
extern "C" {
#endif

const CRMonitorAPI* crcm_signal_getAPI(void);
// With the flag set a SIGPIPE is ignored: no report, the process goes on.
void crsignal_setIgnoreSIGPIPE(bool ignore);

#ifdef __cplusplus
}
#endif
