#pragma once
// The monitor registry: the fixed table of the nine monitors, the requested mask turned
// into the enabled set, events fanned out for contextual facts and handed to the one
// event callback, the crash-during-handling switch and the periodic liveness check.
//
// crcm_notifyFatalExceptionCaptured and crcm_handleException run on the capturing thread
// and are async-signal-safe (plain flags, no lock, no allocation; on the crash path the
// liveness timer is left alone). The other operations are for normal time: the mask is
// set at install on the main thread, the liveness timer fires on the main queue.

#include <stdbool.h>
#include <stdint.h>

#include <crash_core/CRCrashEventContext.h>
#include <crash_core/CRMonitorType.h>

#ifdef __cplusplus
extern "C" {
#endif

// Operations of one monitor, in slot order; any may be NULL.
typedef struct CRMonitorAPI {
    void (*setEnabled)(bool isEnabled);
    bool (*isEnabled)(void);
    bool (*handlersStillInstalled)(void);
    void (*addContextualInfoToEvent)(CRCrashEventContext* eventContext);
    void (*setCallOriginalHandler)(bool callOriginal);
} CRMonitorAPI;

void crcm_setEventCallback(void (*onEvent)(CRCrashEventContext* eventContext));
// Enables the monitors of the mask (less what a debugger or a required async safety
// excludes) and disables the others; answers nothing, crcm_getActiveMonitors tells.
void crcm_setActiveMonitors(uint32_t monitorTypes);
uint32_t crcm_getActiveMonitors(void);

// A monitor calls this first when it catches a fatal event. True: the crash happened
// while another was being handled (every monitor is then disabled at once).
// Async-signal-safe.
bool crcm_notifyFatalExceptionCaptured(bool isAsyncSafeEnvironment);
// Adds every enabled monitor's facts, calls the event callback, then disables all
// monitors after a fatal event. Async-signal-safe when the callback is.
void crcm_handleException(CRCrashEventContext* eventContext);

bool crcm_checkMonitorsActive(void);
void crcm_reactivateMonitors(void);
// Disables every enabled capture monitor (all but System and ApplicationState); the
// active mask keeps naming them.
void crcm_disableCaptureMonitors(void);
void crcm_setCallOriginalHandler(bool callOriginal);
void crcm_setMonitorInactiveCallback(void (*callback)(uint32_t monitorType));
// Seconds between liveness checks (default 60); 0 makes each firing do nothing.
void crcm_setMonitorCheckInterval(double seconds);

// The user-reported monitor. Drops the report while the monitor is disabled. With
// logAllThreads the other threads are suspended while the report is written; with
// terminateProgram the event is fatal and the process aborts afterwards.
void crcm_reportUserException(const char* name, const char* reason, const char* language, const char* lineOfCode,
                              const char* stackTraceJSON, bool logAllThreads, bool terminateProgram);
const CRMonitorAPI* crcm_user_getAPI(void);

// Tests: the registry's flags back to a fresh process's (monitors are not touched).
void crcm_resetForTesting(void);

#ifdef __cplusplus
}
#endif
