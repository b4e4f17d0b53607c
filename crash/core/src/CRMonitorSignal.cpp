#include <crash_core/CRMonitorSignal.h>

#include <crash_core/CRID.h>
#include <crash_core/CRMachNames.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRSignalInfo.h>
#include <crash_core/CRStackCursor.h>
#include <crash_core/CRThread.h>

#include <platform_kernel/SignalStage.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The alternate stack of the enabling thread.
constexpr size_t kAlternateStackSize = 0x20000;
constexpr int kMaxStackDepth = 500;
constexpr int kFatalSignalCount = 8;

std::atomic<bool> gEnabled{false};
std::atomic<bool> gCallOriginal{true};
std::atomic<bool> gIgnoreSIGPIPE{false};
// Set by the first signal handled, never cleared; the handling thread's id beside it.
std::atomic<bool> gHandling{false};
std::atomic<CRThread> gHandlingThread{0};
void* gAlternateStack = nullptr;
struct sigaction gPreviousActions[kFatalSignalCount];
struct sigaction gChainedActions[NSIG];
char gEventID[37];

// Event records live here, not on the (alternate) stack: one for the first signal, one
// for a crash while it is handled.
CRCrashEventContext gEvent;
CRCrashEventContext gRecrashEvent;

void handleSignal(int sigNum, siginfo_t* info, void* userContext);

bool isOurs(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == handleSignal;
}

// Code of a signal a process sent (kill, abort): 0.
int codeOf(const siginfo_t* info) { return info->si_code <= 0 ? 0 : info->si_code; }

// Records the signal as an event (the context and cursor live on this stack).
void recordEvent(CRCrashEventContext* event, int sigNum, siginfo_t* info, void* userContext) {
    CRMachineContext context;
    crmc_getContextForSignal(userContext, &context);
    CRStackCursor cursor;
    crsc_initWithMachineContext(&cursor, kMaxStackDepth, &context);
    std::memset(event, 0, sizeof *event);
    event->crashType = CRCrashMonitorTypeSignal;
    std::memcpy(event->eventID, gEventID, sizeof gEventID);
    event->registersAreValid = true;
    event->offendingMachineContext = &context;
    // A sent signal's si_addr overlaps the sender's pid and uid: no address.
    event->faultAddress = info->si_code <= 0 ? 0 : reinterpret_cast<uintptr_t>(info->si_addr);
    event->signal.userContext = userContext;
    event->signal.signum = sigNum;
    event->signal.sigcode = codeOf(info);
    event->stackCursor = &cursor;
    crcm_handleException(event);
}

// A fault of the thread that is handling one: the minimal report, then the default action.
void handleCrashWhileHandling(int sigNum, siginfo_t* info, void* userContext) {
    crcm_notifyFatalExceptionCaptured(false);
    recordEvent(&gRecrashEvent, sigNum, info, userContext);
    kern_raiseWithDefaultAction(sigNum);
    _exit(128 + sigNum);
}

void handleSignal(int sigNum, siginfo_t* info, void* userContext) {
    if (sigNum == SIGPIPE && gIgnoreSIGPIPE.load()) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, nullptr);
        return;
    }
    CRThread self = crthread_self();
    if (gHandling.exchange(true)) {
        // Returning would run the faulting instruction again, forever.
        if (gHandlingThread.load() == self) handleCrashWhileHandling(sigNum, info, userContext);
        return;
    }
    gHandlingThread.store(self);

    if (gEnabled.load()) {
        CRThread* threads = nullptr;
        int threadCount = 0;
        crmc_suspendEnvironment(&threads, &threadCount);
        crcm_notifyFatalExceptionCaptured(false);
        recordEvent(&gEvent, sigNum, info, userContext);
        crmc_resumeEnvironment(threads, threadCount);
    }

    // By now the registry has disabled the monitors, which put the previous actions back.
    const struct sigaction& chained = gChainedActions[sigNum];
    bool hasChained = (chained.sa_flags & SA_SIGINFO) ? chained.sa_sigaction != nullptr
                                                       : chained.sa_handler != nullptr;
    if (hasChained && gCallOriginal.load()) {
        if (chained.sa_flags & SA_SIGINFO)
            chained.sa_sigaction(sigNum, info, userContext);
        else
            chained.sa_handler(sigNum);
    } else {
        raise(sigNum);
    }
}

void restorePrevious(int upTo) {
    const int* signals = crsignal_fatalSignals();
    for (int i = upTo - 1; i >= 0; --i) kern_sigaction(signals[i], &gPreviousActions[i], nullptr);
}

bool handlersStillInstalled() {
    if (!gEnabled.load()) return false;
    const int* signals = crsignal_fatalSignals();
    for (int i = 0; i < crsignal_numFatalSignals(); ++i) {
        struct sigaction current {};
        if (kern_sigaction(signals[i], nullptr, &current) == 0 && !isOurs(current)) return false;
    }
    return true;
}

void setEnabled(bool enabled) {
    if (enabled) {
        if (gEnabled.load() && handlersStillInstalled()) return;
        gEnabled.store(true);
        crid_generate(gEventID);
        if (!gAlternateStack) {
            void* stack = mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (stack == MAP_FAILED) {
                gEnabled.store(false);
                return;
            }
            stack_t ss{};
            ss.ss_sp = stack;
            ss.ss_size = kAlternateStackSize;
            if (sigaltstack(&ss, nullptr) != 0) {
                munmap(stack, kAlternateStackSize);
                gEnabled.store(false);
                return;
            }
            gAlternateStack = stack;
        }
        struct sigaction action {};
        action.sa_sigaction = handleSignal;
        action.sa_flags = SA_ONSTACK | SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        const int* signals = crsignal_fatalSignals();
        for (int i = 0; i < crsignal_numFatalSignals(); ++i) {
            struct sigaction old {};
            if (kern_sigaction(signals[i], &action, &old) != 0) {
                restorePrevious(i);
                gEnabled.store(false);
                return;
            }
            if (isOurs(old)) continue;
            gPreviousActions[i] = old;
            struct sigaction chained = old;
            // SIG_DFL, SIG_IGN and other small values: nothing to chain to.
            if (reinterpret_cast<uintptr_t>(chained.sa_handler) < 4096) chained.sa_handler = nullptr;
            gChainedActions[signals[i]] = chained;
        }
    } else {
        if (!gEnabled.exchange(false)) return;
        const int* signals = crsignal_fatalSignals();
        for (int i = 0; i < crsignal_numFatalSignals(); ++i)
            kern_sigaction(signals[i], &gPreviousActions[i], nullptr);
        // The stack stays registered (a handler may still run on it); the next enabling
        // registers a fresh one.
        gAlternateStack = nullptr;
    }
}

bool isEnabled() { return gEnabled.load(); }

void addContextualInfo(CRCrashEventContext* event) {
    if (event->crashType != CRCrashMonitorTypeMachException && event->crashType != CRCrashMonitorTypeSignal)
        event->signal.signum = SIGABRT;
}

void setCallOriginalHandler(bool callOriginal) { gCallOriginal.store(callOriginal); }

const CRMonitorAPI kAPI = {setEnabled, isEnabled, handlersStillInstalled, addContextualInfo, setCallOriginalHandler};

}  // namespace

extern "C" {

const CRMonitorAPI* crcm_signal_getAPI(void) { return &kAPI; }
void crsignal_setIgnoreSIGPIPE(bool ignore) { gIgnoreSIGPIPE.store(ignore); }

}  // extern "C"
