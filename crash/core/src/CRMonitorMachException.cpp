#include <crash_core/CRMonitorMachException.h>

#include <crash_core/CRCPU.h>
#include <crash_core/CRID.h>
#include <crash_core/CRMachNames.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>
#include <crash_core/CRThread.h>

#include <platform_kernel/ExceptionPort.h>
#include <platform_kernel/ThreadList.h>
#include <platform_kernel/ThreadNames.h>

#include <atomic>
#include <cstring>
#include <pthread.h>

namespace {

constexpr exception_mask_t kExceptionMask = EXC_MASK_BAD_ACCESS | EXC_MASK_BAD_INSTRUCTION | EXC_MASK_ARITHMETIC |
                                            EXC_MASK_SOFTWARE | EXC_MASK_BREAKPOINT;
constexpr exception_behavior_t kBehavior = EXCEPTION_DEFAULT | MACH_EXCEPTION_CODES;
constexpr int kMaxStackDepth = 500;
constexpr int kReceiveBufferSize = 580;
const char* const kPrimaryName = "CRCrash Exception Handler (Primary)";
const char* const kSecondaryName = "CRCrash Exception Handler (Secondary)";

struct SavedPorts {
    exception_mask_t masks[EXC_TYPES_COUNT];
    mach_port_t ports[EXC_TYPES_COUNT];
    exception_behavior_t behaviors[EXC_TYPES_COUNT];
    thread_state_flavor_t flavors[EXC_TYPES_COUNT];
    uint32_t count;
};

struct HandlerThread {
    pthread_t handle;
    std::atomic<mach_port_t> port{MACH_PORT_NULL};  // the thread's id once it runs
    bool exists = false;
    char eventID[37];
};

std::atomic<bool> gEnabled{false};
std::atomic<bool> gHandling{false};
SavedPorts gSaved;
mach_port_t gExceptionPort = MACH_PORT_NULL;
HandlerThread gPrimary;
HandlerThread gSecondary;
CRCrashEventContext gEvent;
CRStackCursor gCursor;

void restoreExceptionPorts() {
    for (uint32_t i = 0; i < gSaved.count; ++i)
        task_set_exception_ports(mach_task_self(), gSaved.masks[i], gSaved.ports[i], gSaved.behaviors[i],
                                 gSaved.flavors[i]);
    gSaved.count = 0;
}

void* handleExceptions(void* argument) {
    const char* name = static_cast<const char*>(argument);
    bool isPrimary = name == kPrimaryName;
    HandlerThread& me = isPrimary ? gPrimary : gSecondary;
    me.port.store(mach_thread_self());
    kernel::setThreadName(kernel::currentThreadId(), name);
    if (!isPrimary) thread_suspend(mach_thread_self());

    alignas(8) char buffer[kReceiveBufferSize];
    auto* request = reinterpret_cast<CRExceptionRequest*>(buffer);
    while (mach_msg(&request->Head, MACH_RCV_MSG, 0, sizeof buffer, gExceptionPort, 0, MACH_PORT_NULL) !=
           MACH_MSG_SUCCESS) {
        if (!gEnabled.load()) return nullptr;
    }

    if (gEnabled.load()) {
        CRThread* threads = nullptr;
        int threadCount = 0;
        crmc_suspendEnvironment(&threads, &threadCount);
        gHandling.store(true);
        crcm_notifyFatalExceptionCaptured(true);
        if (isPrimary) {
            // From here a crash goes to the handlers that were there before.
            restoreExceptionPorts();
            thread_resume(gSecondary.port.load());
        }
        CRMachineContext context;
        crsc_initCursor(&gCursor, nullptr, nullptr);
        std::memset(&gEvent, 0, sizeof gEvent);
        CRThread crashed = CRThread(request->thread.name);
        if (crmc_getContextForThread(crashed, &context, true)) {
            crsc_initWithMachineContext(&gCursor, kMaxStackDepth, &context);
            gEvent.faultAddress = request->exception == CR_EXC_BAD_ACCESS ? crcpu_faultAddress(&context)
                                                                          : crcpu_instructionAddress(&context);
        }
        gEvent.crashType = CRCrashMonitorTypeMachException;
        std::memcpy(gEvent.eventID, me.eventID, sizeof gEvent.eventID);
        gEvent.registersAreValid = true;
        gEvent.offendingMachineContext = &context;
        gEvent.mach.type = request->exception;
        gEvent.mach.code = request->code[0];
        gEvent.mach.subcode = request->code[1];
        // A protection failure of an overflowing stack is an invalid address.
        if (gEvent.mach.code == CR_KERN_PROTECTION_FAILURE && context.isStackOverflow)
            gEvent.mach.code = CR_KERN_INVALID_ADDRESS;
        gEvent.signal.signum = crmach_signalForMachException(gEvent.mach.type, gEvent.mach.code);
        gEvent.stackCursor = &gCursor;
        crcm_handleException(&gEvent);
        gHandling.store(false);
        crmc_resumeEnvironment(threads, threadCount);
    }

    CRExceptionReply reply;
    std::memset(&reply, 0, sizeof reply);
    reply.Head = request->Head;
    reply.NDR = request->NDR;
    reply.RetCode = KERN_FAILURE;
    mach_msg(&reply.Head, MACH_SEND_MSG, sizeof reply, 0, MACH_PORT_NULL, 0, MACH_PORT_NULL);
    return nullptr;
}

void stopThread(HandlerThread& t) {
    if (!t.exists || pthread_equal(t.handle, pthread_self())) return;
    mach_port_t port = t.port.load();
    // Handler threads wait in the port or in their own suspension; termination wakes them
    // to exit (also while an exception is being handled).
    if (port != MACH_PORT_NULL) thread_terminate(port);
    t.exists = false;
    t.port.store(MACH_PORT_NULL);
}

void uninstall() {
    restoreExceptionPorts();
    stopThread(gPrimary);
    stopThread(gSecondary);
}

bool startThread(HandlerThread& t, const char* name) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    int error = pthread_create(&t.handle, &attr, handleExceptions, const_cast<char*>(name));
    pthread_attr_destroy(&attr);
    if (error != 0) return false;
    t.exists = true;
    // The thread's id is what the environment suspension skips.
    while (t.port.load() == MACH_PORT_NULL) sched_yield();
    crmc_addReservedThread(CRThread(t.port.load()));
    return true;
}

void setEnabled(bool enabled) {
    if (enabled == gEnabled.load()) return;
    gEnabled.store(enabled);
    if (!enabled) {
        uninstall();
        return;
    }
    crid_generate(gPrimary.eventID);
    crid_generate(gSecondary.eventID);
    gSaved.count = EXC_TYPES_COUNT;
    bool ok = task_get_exception_ports(mach_task_self(), kExceptionMask, gSaved.masks, &gSaved.count, gSaved.ports,
                                       gSaved.behaviors, gSaved.flavors) == KERN_SUCCESS;
    if (ok && gExceptionPort == MACH_PORT_NULL) {
        ok = mach_port_allocate(mach_task_self(), MACH_PORT_RIGHT_RECEIVE, &gExceptionPort) == KERN_SUCCESS &&
             mach_port_insert_right(mach_task_self(), gExceptionPort, gExceptionPort, MACH_MSG_TYPE_MAKE_SEND) ==
                 KERN_SUCCESS;
    }
    ok = ok && task_set_exception_ports(mach_task_self(), kExceptionMask, gExceptionPort, kBehavior,
                                        THREAD_STATE_NONE) == KERN_SUCCESS;
    ok = ok && startThread(gSecondary, kSecondaryName) && startThread(gPrimary, kPrimaryName);
    if (!ok) {
        uninstall();
        gEnabled.store(false);
    }
}

bool isEnabled() { return gEnabled.load(); }

void addContextualInfo(CRCrashEventContext* event) {
    if (event->crashType == CRCrashMonitorTypeMachException) return;
    event->mach.type = event->crashType == CRCrashMonitorTypeSignal ? crmach_machExceptionForSignal(event->signal.signum)
                                                                    : CR_EXC_CRASH;
}

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, addContextualInfo, nullptr};

}  // namespace

extern "C" const CRMonitorAPI* crcm_machexception_getAPI(void) { return &kAPI; }
