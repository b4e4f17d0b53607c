#pragma once
// The C layer of the crash core: installation (directories, report store, application
// state, console log, cached data, monitors), the event callback that writes reports,
// and the forwarders the front and the crash installation call. Everything runs at
// normal time on the caller's thread except crcrash_onCrash, which runs on the crashing
// thread with the others suspended and is async-signal-safe (fixed buffers only).

#include <stdbool.h>
#include <stdint.h>

#include <crash_core/CRCrashEventContext.h>
#include <crash_core/CRJSONCodec.h>
#include <crash_core/CRReportWriter.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*CRReportWrittenCallback)(int64_t reportID, const char* eventID, uint32_t monitorType,
                                        const void* exceptionObject);

// Once per process: answers the active monitor mask; later calls answer the requested one.
uint32_t crcrash_install(const char* appName, const char* installPath);
uint32_t crcrash_setMonitoring(uint32_t monitors);
void crcrash_onCrash(CRCrashEventContext* eventContext);
void crcrash_setReportWrittenCallback(CRReportWrittenCallback callback);

void crcrash_setUserInfoJSON(const char* userInfoJSON);
void crcrash_setDeadlockWatchdogInterval(double deadlockWatchdogInterval);
void crcrash_setSearchQueueNames(bool searchQueueNames);
void crcrash_setIntrospectMemory(bool introspectMemory);
void crcrash_setDoNotIntrospectClasses(const char** doNotIntrospectClasses, int length);
void crcrash_setUserSectionWriteCallback(CRReportWriteCallback onCrashNotify);
void crcrash_setAddConsoleLogToReport(bool shouldAddConsoleLogToReport);
void crcrash_setPrintPreviousLog(bool shouldPrintPreviousLog);
void crcrash_setMaxReportCount(int maxReportCount);
void crcrash_enableSwapOfCxaThrow(void);
void crcrash_notifyObjCLoad(void);

void crcrash_reportUserException(const char* name, const char* reason, const char* language, const char* lineOfCode,
                                 const char* stackTrace, bool logAllThreads, bool terminateProgram);

void crcrash_notifyAppActive(bool isActive);
void crcrash_notifyAppInForeground(bool isInForeground);
void crcrash_notifyAppTerminate(void);

int crcrash_getReportCount(void);
int crcrash_getReportIDs(int64_t* reportIDs, int count);
// The stored report fixed up for reading (free it), or NULL (also for an id below 1).
char* crcrash_readReport(int64_t reportID);
// The stored report's fixed-up elements handed to a reader as decoding crcrash_readReport's
// text would hand them (see crcrashreport_fixupReportTo): CRJSON_OK where that function
// gives text, -1 when there is no such report, else the fix-up's error.
int crcrash_readReportTo(int64_t reportID, const CRJSONDecodeCallbacks* reader, void* readerUser);
void crcrash_deleteAllReports(void);
void crcrash_deleteReportWithID(int64_t reportID);

void crcrash_setCallOriginalHandler(bool callOriginal);
bool crcrash_checkMonitorsActive(void);
void crcrash_reactivateMonitors(void);
void crcrash_disableCaptureMonitors(void);
void crcrash_setMonitorCheckInterval(double seconds);
void crcrash_setMonitorInactiveCallback(void (*callback)(uint32_t monitorType));

#ifdef __cplusplus
}
#endif
