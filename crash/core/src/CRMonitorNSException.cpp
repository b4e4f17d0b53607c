#include <crash_core/CRMonitorNSException.h>

#include <crash_core/CRID.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>
#include <crash_core/CRThread.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::atomic<bool> gEnabled{false};
std::atomic<bool> gCallOriginal{true};
std::atomic<bool> gHandling{false};
NSUncaughtExceptionHandler gPrevious = nullptr;
CRCrashEventContext gEvent;

void record(const NSException& exception, bool isUserReported) {
    if (!gEnabled.load() || gHandling.load()) return;
    if (!isUserReported) gHandling.store(true);
    CRThread* threads = nullptr;
    int threadCount = 0;
    crmc_suspendEnvironment(&threads, &threadCount);
    crcm_notifyFatalExceptionCaptured(false);
    std::vector<uintptr_t> addresses(exception.callStackReturnAddresses());
    char eventID[37];
    crid_generate(eventID);
    CRMachineContext context;
    crmc_getContextForThread(crthread_self(), &context, true);
    CRStackCursor cursor;
    crsc_initWithBacktrace(&cursor, addresses.data(), int(addresses.size()), 0);
    // Ours always carry a dictionary; an empty one reads as a missing object.
    const Value::Dictionary& info = exception.userInfo();
    std::string userInfo = info.empty() ? "(null)" : Value(info).description();

    std::memset(&gEvent, 0, sizeof gEvent);
    gEvent.crashType = CRCrashMonitorTypeNSException;
    std::memcpy(gEvent.eventID, eventID, sizeof eventID);
    gEvent.registersAreValid = false;
    gEvent.offendingMachineContext = &context;
    gEvent.NSException.name = exception.name().c_str();
    gEvent.NSException.userInfo = userInfo.c_str();
    gEvent.exceptionName = exception.name().c_str();
    gEvent.crashReason = exception.reason().c_str();
    gEvent.stackCursor = &cursor;
    gEvent.currentSnapshotUserReported = isUserReported;
    gEvent.exceptionObject = &exception;
    crcm_handleException(&gEvent);

    if (isUserReported) {
        crmc_resumeEnvironment(threads, threadCount);
        return;
    }
    // After a fatal event the other threads stay suspended.
    if (gCallOriginal.load() && gPrevious) gPrevious(exception);
}

void handleUncaught(const NSException& exception) { record(exception, false); }
void handleSnapshot(const NSException& exception) { record(exception, true); }

bool handlersStillInstalled() { return gEnabled.load() && NSGetUncaughtExceptionHandler() == handleUncaught; }

void setEnabled(bool enabled) {
    if (enabled) {
        if (gEnabled.load() && handlersStillInstalled()) return;
        gEnabled.store(true);
        NSUncaughtExceptionHandler current = NSGetUncaughtExceptionHandler();
        if (current != handleUncaught) gPrevious = current;
        NSSetUncaughtExceptionHandler(handleUncaught);
    } else if (gEnabled.exchange(false)) {
        NSSetUncaughtExceptionHandler(gPrevious);
    }
}

bool isEnabled() { return gEnabled.load(); }
void setCallOriginalHandler(bool callOriginal) { gCallOriginal.store(callOriginal); }

const CRMonitorAPI kAPI = {setEnabled, isEnabled, handlersStillInstalled, nullptr, setCallOriginalHandler};

}  // namespace

extern "C" const CRMonitorAPI* crcm_nsexception_getAPI(void) { return &kAPI; }

NSUncaughtExceptionHandler crcm_nsexception_uncaughtHandler() { return handleUncaught; }
NSUncaughtExceptionHandler crcm_nsexception_snapshotHandler() { return handleSnapshot; }
