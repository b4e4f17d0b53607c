#pragma once
// The application-state tracker (monitor 0x80): durations and counts since the last
// crash and since this launch, kept across launches in "Data/CrashState.json".
// Notifications come on the main thread; crcrashstate_notifyAppCrash and the contextual
// information run on the crashing thread and are async-signal-safe (plain memory, a
// stack-buffered file write). No lock.

#include <stdbool.h>

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
extern "C" {
#endif

// At class load: the whole state cleared, the application active, the transition now.
void crcrashstate_notifyObjCLoad(void);
// Keeps a copy of the path and loads the file (a missing one leaves the state as is).
void crcrashstate_initialize(const char* stateFilePath);
void crcrashstate_notifyAppActive(bool isActive);
void crcrashstate_notifyAppInForeground(bool isInForeground);
void crcrashstate_notifyAppTerminate(void);
void crcrashstate_notifyAppCrash(void);
const CRAppState* crcrashstate_currentState(void);
const CRMonitorAPI* crcm_appstate_getAPI(void);

// Tests: the wall clock the tracker reads (seconds since 1970); NULL restores it.
void crcrashstate_setClockForTesting(double (*now)(void));

#ifdef __cplusplus
}
#endif
