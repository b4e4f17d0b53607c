#include <crash_core/CRID.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRMonitor.h>
#include <crash_core/CRStackCursor.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<bool> gEnabled{false};

void setEnabled(bool enabled) { gEnabled.store(enabled); }
bool isEnabled() { return gEnabled.load(); }

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, nullptr, nullptr};

}  // namespace

extern "C" {

const CRMonitorAPI* crcm_user_getAPI(void) { return &kAPI; }

void crcm_reportUserException(const char* name, const char* reason, const char* language, const char* lineOfCode,
                              const char* stackTraceJSON, bool logAllThreads, bool terminateProgram) {
    if (!gEnabled.load()) return;
    CRThread* threads = nullptr;
    int threadCount = 0;
    if (logAllThreads) {
        crsc_prepareSelfThread();  // before the other threads stop: it may allocate
        crmc_suspendEnvironment(&threads, &threadCount);
    }
    if (terminateProgram) crcm_notifyFatalExceptionCaptured(false);

    CRCrashEventContext event;
    std::memset(&event, 0, sizeof event);
    crid_generate(event.eventID);
    CRMachineContext context;
    CRStackCursor cursor;
    if (logAllThreads) {
        crmc_getContextForThread(crthread_self(), &context, true);
        crsc_initSelfThread(&cursor, 0);
        event.offendingMachineContext = &context;
        event.stackCursor = &cursor;
    }
    event.crashType = CRCrashMonitorTypeUserReported;
    event.registersAreValid = false;
    event.crashReason = reason;
    event.userException.name = name;
    event.userException.language = language;
    event.userException.lineOfCode = lineOfCode;
    event.userException.customStackTrace = stackTraceJSON;
    event.terminateProgram = terminateProgram;
    event.logAllThreads = logAllThreads;
    crcm_handleException(&event);

    if (logAllThreads) crmc_resumeEnvironment(threads, threadCount);
    if (terminateProgram) std::abort();
}

}  // extern "C"
