#pragma once
// The exception-port monitor (0x01): takes over the task's exception port for the crash
// exceptions and records one event on a dedicated handler thread, then answers "not
// handled" so that the fault goes on to the signal stage. Two handler threads: the
// primary serves the first exception, the secondary waits suspended and takes over the
// port once the primary began. The API's operations run at normal time; the handler
// threads record with the other threads suspended and use no locks or allocation.

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
extern "C" {
#endif

const CRMonitorAPI* crcm_machexception_getAPI(void);

#ifdef __cplusplus
}
#endif
