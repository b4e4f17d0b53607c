#include <crash_core/CRMonitor.h>

#include <crash_core/CRAppState.h>
#include <crash_core/CRMonitorCPPException.h>
#include <crash_core/CRMonitorDeadlock.h>
#include <crash_core/CRMonitorNSException.h>
#include <crash_core/CRMonitorMachException.h>
#include <crash_core/CRMonitorSignal.h>
#include <crash_core/CRMonitorSystem.h>
#include <crash_core/CRThread.h>
#include <crash_core/CRZombie.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchSource.h>
#include <platform_dispatch/DispatchTime.h>

#include <atomic>
#include <cstring>

namespace {

struct Monitor {
    CRCrashMonitorType type;
    const CRMonitorAPI* (*getAPI)();
};

const Monitor kMonitors[] = {
    {CRCrashMonitorTypeMachException, crcm_machexception_getAPI},
    {CRCrashMonitorTypeSignal, crcm_signal_getAPI},
    {CRCrashMonitorTypeNSException, crcm_nsexception_getAPI},
    {CRCrashMonitorTypeMainThreadDeadlock, crcm_deadlock_getAPI},
    {CRCrashMonitorTypeZombie, crcm_zombie_getAPI},
    {CRCrashMonitorTypeCPPException, crcm_cppexception_getAPI},
    {CRCrashMonitorTypeUserReported, crcm_user_getAPI},
    {CRCrashMonitorTypeSystem, crcm_system_getAPI},
    {CRCrashMonitorTypeApplicationState, crcm_appstate_getAPI},
};

std::atomic<uint32_t> gActiveMonitors{0};
void (*gOnEvent)(CRCrashEventContext*) = nullptr;
void (*gOnInactive)(uint32_t) = nullptr;
std::atomic<double> gCheckInterval{60.0};
bool gRequiresAsyncSafety = false;
volatile bool gHandlingFatalException = false;
volatile bool gCrashedDuringExceptionHandling = false;

// The liveness timer: touched at normal time only (never from the crash path).
dispatch_source_t& livenessTimer() {
    static auto* timer = new dispatch_source_t;
    return *timer;
}

const CRMonitorAPI* apiOf(const Monitor& m) { return m.getAPI ? m.getAPI() : nullptr; }

bool isEnabled(const CRMonitorAPI* api) { return api && api->isEnabled && api->isEnabled(); }

void armLivenessTimer() {
    double interval = gCheckInterval.load();
    if (interval <= 0) return;
    auto& timer = livenessTimer();
    if (timer) dispatch_source_cancel(timer);
    timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    auto ns = static_cast<int64_t>(interval * double(NSEC_PER_SEC));
    dispatch_source_set_timer(timer, dispatch_time(DISPATCH_TIME_NOW, ns), static_cast<uint64_t>(ns), NSEC_PER_SEC);
    dispatch_source_set_event_handler(timer, [] {
        if (gCheckInterval.load() <= 0) return;
        if (!crcm_checkMonitorsActive()) crcm_reactivateMonitors();
    });
    dispatch_resume(timer);
}

}  // namespace

extern "C" {

void crcm_setEventCallback(void (*onEvent)(CRCrashEventContext*)) { gOnEvent = onEvent; }

void crcm_setActiveMonitors(uint32_t monitorTypes) {
    if ((monitorTypes & CRCrashMonitorTypeDebuggerUnsafe) && crdebug_isBeingTraced())
        monitorTypes &= CRCrashMonitorTypeDebuggerSafe;
    if (gRequiresAsyncSafety && (monitorTypes & CRCrashMonitorTypeAsyncUnsafe))
        monitorTypes &= CRCrashMonitorTypeAsyncSafe;
    uint32_t active = 0;
    for (const auto& m : kMonitors) {
        const CRMonitorAPI* api = apiOf(m);
        if (api && api->setEnabled) api->setEnabled((monitorTypes & m.type) != 0);
        if (isEnabled(api)) active |= m.type;
    }
    gActiveMonitors.store(active);
    // On the crash path (everything being disabled) the timer is left alone: re-arming
    // allocates and locks.
    if (!gHandlingFatalException) armLivenessTimer();
}

uint32_t crcm_getActiveMonitors(void) { return gActiveMonitors.load(); }

bool crcm_notifyFatalExceptionCaptured(bool isAsyncSafeEnvironment) {
    gRequiresAsyncSafety |= isAsyncSafeEnvironment;
    if (gHandlingFatalException) gCrashedDuringExceptionHandling = true;
    gHandlingFatalException = true;
    if (gCrashedDuringExceptionHandling) crcm_setActiveMonitors(0);
    return gCrashedDuringExceptionHandling;
}

void crcm_handleException(CRCrashEventContext* context) {
    context->requiresAsyncSafety = gRequiresAsyncSafety;
    if (gCrashedDuringExceptionHandling) context->handlingCrash = true;
    for (const auto& m : kMonitors) {
        const CRMonitorAPI* api = apiOf(m);
        if (isEnabled(api) && api->addContextualInfoToEvent) api->addContextualInfoToEvent(context);
    }
    if (gOnEvent) gOnEvent(context);
    if (context->currentSnapshotUserReported) {
        gHandlingFatalException = false;
    } else if (gHandlingFatalException && !gCrashedDuringExceptionHandling) {
        crcm_setActiveMonitors(0);
    }
}

bool crcm_checkMonitorsActive(void) {
    uint32_t active = gActiveMonitors.load();
    for (const auto& m : kMonitors) {
        if (!(active & m.type)) continue;
        const CRMonitorAPI* api = apiOf(m);
        bool inactive = !isEnabled(api) || (api->handlersStillInstalled && !api->handlersStillInstalled());
        if (inactive) {
            if (gOnInactive) gOnInactive(m.type);
            return false;
        }
    }
    return true;
}

void crcm_reactivateMonitors(void) {
    uint32_t active = gActiveMonitors.load();
    for (const auto& m : kMonitors) {
        if (!(active & m.type)) continue;
        const CRMonitorAPI* api = apiOf(m);
        if (!api) continue;
        if (isEnabled(api) && (!api->handlersStillInstalled || api->handlersStillInstalled())) continue;
        if (api->setEnabled) api->setEnabled(true);
    }
}

void crcm_disableCaptureMonitors(void) {
    uint32_t active = gActiveMonitors.load();
    for (const auto& m : kMonitors) {
        if (!(active & m.type) || m.type == CRCrashMonitorTypeSystem || m.type == CRCrashMonitorTypeApplicationState)
            continue;
        const CRMonitorAPI* api = apiOf(m);
        if (isEnabled(api) && api->setEnabled) api->setEnabled(false);
    }
}

void crcm_setCallOriginalHandler(bool callOriginal) {
    for (const auto& m : kMonitors) {
        const CRMonitorAPI* api = apiOf(m);
        if (api && api->setCallOriginalHandler) api->setCallOriginalHandler(callOriginal);
    }
}

void crcm_setMonitorInactiveCallback(void (*callback)(uint32_t)) { gOnInactive = callback; }

void crcm_setMonitorCheckInterval(double seconds) { gCheckInterval.store(seconds < 0 ? 0 : seconds); }

void crcm_resetForTesting(void) {
    gRequiresAsyncSafety = false;
    gHandlingFatalException = false;
    gCrashedDuringExceptionHandling = false;
}

}  // extern "C"
