#include <crash_core/CRCrashC.h>

#include <crash_core/CRAppState.h>
#include <crash_core/CRCachedData.h>
#include <crash_core/CRFileUtils.h>
#include <crash_core/CRLogger.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRMonitor.h>
#include <crash_core/CRMonitorCPPException.h>
#include <crash_core/CRMonitorDeadlock.h>
#include <crash_core/CRReportFixup.h>
#include <crash_core/CRReportStore.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kPathLength = 500;

enum AppState { kNone, kDidBecomeActive, kWillResignActive, kDidEnterBackground, kWillEnterForeground, kWillTerminate };

std::atomic<bool> gInstalled{false};
std::atomic<uint32_t> gMonitoring{CRCrashMonitorTypeProductionSafe};
char gConsoleLogPath[kPathLength];
std::atomic<bool> gShouldAddConsoleLogToReport{false};
std::atomic<bool> gShouldPrintPreviousLog{false};
// The report being written; cleared once it is finished.
char gLastReportPath[kPathLength];
std::atomic<CRReportWrittenCallback> gReportWrittenCallback{nullptr};
std::atomic<int> gLastApplicationState{kNone};

void printPreviousLog(const char* path) {
    char* data = nullptr;
    int length = 0;
    if (!crfu_readEntireFile(path, &data, &length, 0)) return;
    std::printf("\nvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv Previous Log vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv\n\n");
    std::fwrite(data, 1, size_t(length), stdout);
    std::printf("%s\n\n", std::string(84, '^').c_str());
    std::fflush(stdout);
    std::free(data);
}

}  // namespace

extern "C" {

uint32_t crcrash_install(const char* appName, const char* installPath) {
    if (gInstalled.exchange(true)) return gMonitoring.load();
    crmc_prepare();
    crcrashreport_prepare();

    char path[kPathLength];
    std::snprintf(path, sizeof path, "%s/Reports", installPath);
    crfu_makePath(path);
    crcrs_initialize(appName, path);

    std::snprintf(path, sizeof path, "%s/Data", installPath);
    crfu_makePath(path);
    std::snprintf(path, sizeof path, "%s/Data/CrashState.json", installPath);
    crcrashstate_initialize(path);

    std::snprintf(gConsoleLogPath, sizeof gConsoleLogPath, "%s/Data/ConsoleLog.txt", installPath);
    if (gShouldPrintPreviousLog.load()) printPreviousLog(gConsoleLogPath);
    crlog_setLogFilename(gConsoleLogPath, true);
    crccd_init(60);

    crcm_setEventCallback(crcrash_onCrash);
    uint32_t active = crcrash_setMonitoring(gMonitoring.load());

    switch (gLastApplicationState.load()) {
    case kDidBecomeActive: crcrashstate_notifyAppActive(true); break;
    case kWillResignActive: crcrashstate_notifyAppActive(false); break;
    case kDidEnterBackground: crcrashstate_notifyAppInForeground(false); break;
    case kWillEnterForeground: crcrashstate_notifyAppInForeground(true); break;
    case kWillTerminate: crcrashstate_notifyAppTerminate(); break;
    default: break;
    }
    return active;
}

uint32_t crcrash_setMonitoring(uint32_t monitors) {
    gMonitoring.store(monitors);
    if (!gInstalled.load()) return monitors;
    crcm_setActiveMonitors(monitors);
    return crcm_getActiveMonitors();
}

void crcrash_onCrash(CRCrashEventContext* event) {
    if (!event->currentSnapshotUserReported) crcrashstate_notifyAppCrash();
    event->consoleLogPath = gShouldAddConsoleLogToReport.load() ? gConsoleLogPath : nullptr;

    if (event->handlingCrash) {
        // Over the report in progress; without one, on a path of its own.
        if (gLastReportPath[0] == '\0') crcrs_nextReportPath(gLastReportPath);
        crcrashreport_writeRecrashReport(event, gLastReportPath);
        return;
    }
    int64_t reportID = 0;
    int fd = crcrs_createNextReportFile(gLastReportPath, &reportID);
    if (fd < 0) {
        gLastReportPath[0] = '\0';
        return;
    }
    crcrashreport_writeStandardReportToDescriptor(event, fd);
    gLastReportPath[0] = '\0';
    if (CRReportWrittenCallback callback = gReportWrittenCallback.load())
        callback(reportID, event->eventID, uint32_t(event->crashType), event->exceptionObject);
}

void crcrash_setReportWrittenCallback(CRReportWrittenCallback callback) { gReportWrittenCallback.store(callback); }

void crcrash_setUserInfoJSON(const char* userInfoJSON) { crcrashreport_setUserInfoJSON(userInfoJSON); }
void crcrash_setDeadlockWatchdogInterval(double interval) { crcm_setDeadlockHandlerWatchdogInterval(interval); }
void crcrash_setSearchQueueNames(bool searchQueueNames) { crccd_setSearchQueueNames(searchQueueNames); }
void crcrash_setIntrospectMemory(bool introspectMemory) { crcrashreport_setIntrospectMemory(introspectMemory); }
void crcrash_setDoNotIntrospectClasses(const char** classes, int length) {
    crcrashreport_setDoNotIntrospectClasses(classes, length);
}
void crcrash_setUserSectionWriteCallback(CRReportWriteCallback callback) {
    crcrashreport_setUserSectionWriteCallback(callback);
}
void crcrash_setAddConsoleLogToReport(bool add) { gShouldAddConsoleLogToReport.store(add); }
void crcrash_setPrintPreviousLog(bool print) { gShouldPrintPreviousLog.store(print); }
void crcrash_setMaxReportCount(int maxReportCount) { crcrs_setMaxReportCount(maxReportCount); }
void crcrash_enableSwapOfCxaThrow(void) { crcm_enableSwapOfCxaThrow(); }
void crcrash_notifyObjCLoad(void) { crcrashstate_notifyObjCLoad(); }

void crcrash_reportUserException(const char* name, const char* reason, const char* language, const char* lineOfCode,
                                 const char* stackTrace, bool logAllThreads, bool terminateProgram) {
    crcm_reportUserException(name, reason, language, lineOfCode, stackTrace, logAllThreads, terminateProgram);
    if (gShouldAddConsoleLogToReport.load()) crlog_clearLogFile();
}

void crcrash_notifyAppActive(bool isActive) {
    if (gInstalled.load()) crcrashstate_notifyAppActive(isActive);
    gLastApplicationState.store(isActive ? kDidBecomeActive : kWillResignActive);
}

void crcrash_notifyAppInForeground(bool isInForeground) {
    if (gInstalled.load()) crcrashstate_notifyAppInForeground(isInForeground);
    gLastApplicationState.store(isInForeground ? kWillEnterForeground : kDidEnterBackground);
}

void crcrash_notifyAppTerminate(void) {
    if (gInstalled.load()) crcrashstate_notifyAppTerminate();
    gLastApplicationState.store(kWillTerminate);
}

int crcrash_getReportCount(void) { return crcrs_getReportCount(); }
int crcrash_getReportIDs(int64_t* reportIDs, int count) { return crcrs_getReportIDs(reportIDs, count); }

char* crcrash_readReport(int64_t reportID) {
    if (reportID < 1) return nullptr;
    char* raw = crcrs_readReport(reportID);
    if (!raw) return nullptr;
    char* fixed = crcrashreport_fixupReport(raw);
    std::free(raw);
    return fixed;
}

int crcrash_readReportTo(int64_t reportID, const CRJSONDecodeCallbacks* reader, void* readerUser) {
    if (reportID < 1) return -1;
    char* raw = crcrs_readReport(reportID);
    if (!raw) return -1;
    int result = crcrashreport_fixupReportTo(raw, reader, readerUser);
    std::free(raw);
    return result;
}

void crcrash_deleteAllReports(void) { crcrs_deleteAllReports(); }
void crcrash_deleteReportWithID(int64_t reportID) { crcrs_deleteReportWithID(reportID); }

void crcrash_setCallOriginalHandler(bool callOriginal) { crcm_setCallOriginalHandler(callOriginal); }
bool crcrash_checkMonitorsActive(void) { return crcm_checkMonitorsActive(); }
void crcrash_reactivateMonitors(void) { crcm_reactivateMonitors(); }
void crcrash_disableCaptureMonitors(void) { crcm_disableCaptureMonitors(); }
void crcrash_setMonitorCheckInterval(double seconds) { crcm_setMonitorCheckInterval(seconds); }
void crcrash_setMonitorInactiveCallback(void (*callback)(uint32_t)) { crcm_setMonitorInactiveCallback(callback); }

}  // extern "C"
