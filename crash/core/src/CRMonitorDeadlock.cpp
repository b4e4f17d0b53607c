#include <crash_core/CRMonitorDeadlock.h>

#include <crash_core/CRID.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>
#include <crash_core/CRThread.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSThread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

constexpr double kIdlePause = 5.0;
constexpr int kMaxStackDepth = 500;

struct Watchdog {
    std::shared_ptr<NSThread> thread;
    std::atomic<bool> awaitingResponse{false};
};

std::atomic<bool> gEnabled{false};
std::atomic<double> gInterval{0};
std::atomic<CRThread> gMainThread{0};
std::once_flag gMainThreadOnce;
// The running watchdog; its thread owns it (freed when the thread ends, never on the
// crash path).
std::atomic<Watchdog*> gWatchdog{nullptr};
CRCrashEventContext gEvent;

void handleDeadlock() {
    CRThread* threads = nullptr;
    int threadCount = 0;
    crmc_suspendEnvironment(&threads, &threadCount);
    crcm_notifyFatalExceptionCaptured(false);
    // Taken as a crashed context, so the report lists the threads and the main thread
    // is its crashed thread.
    CRMachineContext context;
    crmc_getContextForThread(gMainThread.load(), &context, true);
    CRStackCursor cursor;
    crsc_initWithMachineContext(&cursor, kMaxStackDepth, &context);
    char eventID[37];
    crid_generate(eventID);
    std::memset(&gEvent, 0, sizeof gEvent);
    gEvent.crashType = CRCrashMonitorTypeMainThreadDeadlock;
    std::memcpy(gEvent.eventID, eventID, sizeof eventID);
    gEvent.registersAreValid = false;
    gEvent.offendingMachineContext = &context;
    gEvent.stackCursor = &cursor;
    crcm_handleException(&gEvent);
    crmc_resumeEnvironment(threads, threadCount);
    std::abort();
}

void runMonitor(const std::shared_ptr<Watchdog>& watchdog) {
    const auto& thread = watchdog->thread;
    while (!thread->isCancelled()) {
        double interval = gInterval.load();
        NSThread::sleepForTimeInterval(interval > 0 ? interval : kIdlePause);
        if (thread->isCancelled() || interval <= 0) continue;
        if (watchdog->awaitingResponse.load()) {
            handleDeadlock();
        } else {
            watchdog->awaitingResponse.store(true);
            std::weak_ptr<Watchdog> weak = watchdog;
            dispatch_async(dispatch_get_main_queue(), [weak] {
                if (auto w = weak.lock()) w->awaitingResponse.store(false);
            });
        }
    }
}

void setEnabled(bool enabled) {
    if (enabled == gEnabled.load()) return;
    gEnabled.store(enabled);
    if (enabled) {
        std::call_once(gMainThreadOnce, [] {
            dispatch_async(dispatch_get_main_queue(), [] { gMainThread.store(crthread_self()); });
        });
        auto watchdog = std::make_shared<Watchdog>();
        watchdog->thread = std::make_shared<NSThread>([watchdog] {
            runMonitor(watchdog);
            watchdog->thread.reset();  // the cycle ends with the thread
        });
        watchdog->thread->setName("CRCrash Deadlock Detection Thread");
        Watchdog* previous = gWatchdog.exchange(watchdog.get());
        if (previous) previous->thread->cancel();
        watchdog->thread->start();
    } else if (Watchdog* watchdog = gWatchdog.exchange(nullptr)) {
        watchdog->thread->cancel();
    }
}

bool isEnabled() { return gEnabled.load(); }

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, nullptr, nullptr};

}  // namespace

extern "C" {

const CRMonitorAPI* crcm_deadlock_getAPI(void) { return &kAPI; }
void crcm_setDeadlockHandlerWatchdogInterval(double value) { gInterval.store(value); }

}  // extern "C"
