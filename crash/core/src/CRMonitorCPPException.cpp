#include <crash_core/CRMonitorCPPException.h>

#include <crash_core/CRID.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>
#include <crash_core/CRThread.h>

#include <platform_kernel/ImageTable.h>
#include <platform_kernel/SymbolRebinding.h>
#include <platform_runtime/NSException.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <exception>

namespace {

using ThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));

constexpr int kDescriptionLength = 1000;
constexpr int kMaxRebound = 512;

std::atomic<bool> gEnabled{false};
std::atomic<bool> gCapture{false};
std::atomic<bool> gRebindMode{false};
std::atomic<ThrowFunction> gRuntimeThrow{nullptr};
std::terminate_handler gPreviousTerminate = nullptr;
std::atomic<bool> gTerminateEntered{false};
bool gCursorReady = false;
char gEventID[37];
char gDescription[kDescriptionLength];
CRStackCursor gThrowCursor;
CRCrashEventContext gEvent;

// The rebound slots: the image that holds each and the function it held before.
struct Rebound {
    std::atomic<uintptr_t> imageBase{0};
    std::atomic<ThrowFunction> replaced{nullptr};
};
Rebound gRebound[kMaxRebound];
std::atomic<int> gReboundCount{0};
std::atomic<CRCxaThrowCallback> gRebindCallback{nullptr};

ThrowFunction runtimeThrow() {
    ThrowFunction f = gRuntimeThrow.load();
    if (!f) {
        f = reinterpret_cast<ThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
        gRuntimeThrow.store(f);
    }
    return f;
}

// The throw-site backtrace: `skip` frames between this recorder and the thrower.
__attribute__((noinline)) void recordThrow(int skip) {
    crsc_initSelfThread(&gThrowCursor, skip);
    asm volatile("" ::: "memory");  // keep this frame: the skip counts it
}

// The monitor's callback before a rebound throw: trampoline -> here -> recorder.
__attribute__((noinline)) void recordReboundThrow(void*, std::type_info*, void (*)(void*)) {
    if (gCapture.load()) crsc_initSelfThread(&gThrowCursor, 2);
    asm volatile("" ::: "memory");
}

void describeCurrentException() {
    gDescription[0] = '\0';
    const char* description = gDescription;
    try {
        throw;
    } catch (const std::exception& e) {
        std::snprintf(gDescription, sizeof gDescription, "%s", e.what());
    } catch (char v) {
        std::snprintf(gDescription, sizeof gDescription, "%d", v);
    } catch (short v) {
        std::snprintf(gDescription, sizeof gDescription, "%d", v);
    } catch (int v) {
        std::snprintf(gDescription, sizeof gDescription, "%d", v);
    } catch (long v) {
        std::snprintf(gDescription, sizeof gDescription, "%ld", v);
    } catch (long long v) {
        std::snprintf(gDescription, sizeof gDescription, "%lld", v);
    } catch (unsigned char v) {
        std::snprintf(gDescription, sizeof gDescription, "%u", v);
    } catch (unsigned short v) {
        std::snprintf(gDescription, sizeof gDescription, "%u", v);
    } catch (unsigned int v) {
        std::snprintf(gDescription, sizeof gDescription, "%u", v);
    } catch (unsigned long v) {
        std::snprintf(gDescription, sizeof gDescription, "%lu", v);
    } catch (unsigned long long v) {
        std::snprintf(gDescription, sizeof gDescription, "%llu", v);
    } catch (float v) {
        std::snprintf(gDescription, sizeof gDescription, "%f", double(v));
    } catch (double v) {
        std::snprintf(gDescription, sizeof gDescription, "%f", v);
    } catch (long double v) {
        std::snprintf(gDescription, sizeof gDescription, "%Lf", v);
    } catch (const char* v) {
        std::snprintf(gDescription, sizeof gDescription, "%s", v ? v : "(null)");
    } catch (...) {
        description = nullptr;
    }
    gEvent.crashReason = description;
}

bool currentIsNSException() {
    try {
        throw;
    } catch (const NSException&) {
        return true;
    } catch (...) {
        return false;
    }
}

void onTerminate() {
    if (gTerminateEntered.exchange(true)) return;
    CRThread* threads = nullptr;
    int threadCount = 0;
    crmc_suspendEnvironment(&threads, &threadCount);
    std::type_info* type = abi::__cxa_current_exception_type();
    // An NSException is the NSException monitor's.
    if (type && currentIsNSException()) {
        crmc_resumeEnvironment(threads, threadCount);
        if (gPreviousTerminate) gPreviousTerminate();
        return;
    }
    crcm_notifyFatalExceptionCaptured(false);
    std::memset(&gEvent, 0, sizeof gEvent);
    gCapture.store(false);
    // Without a current exception there is nothing to rethrow: no name, no reason.
    if (type) describeCurrentException();
    gCapture.store(gEnabled.load());

    CRMachineContext context;
    crmc_getContextForThread(crthread_self(), &context, true);
    gEvent.crashType = CRCrashMonitorTypeCPPException;
    std::memcpy(gEvent.eventID, gEventID, sizeof gEventID);
    gEvent.registersAreValid = false;
    gEvent.offendingMachineContext = &context;
    gEvent.exceptionName = type ? type->name() : nullptr;
    gEvent.CPPException.name = gEvent.exceptionName;
    gEvent.stackCursor = &gThrowCursor;
    crcm_handleException(&gEvent);

    crmc_resumeEnvironment(threads, threadCount);
    if (gPreviousTerminate) gPreviousTerminate();
}

void setEnabled(bool enabled) {
    if (enabled == gEnabled.load()) return;
    gEnabled.store(enabled);
    if (enabled) {
        if (!gCursorReady) {
            crsc_initCursor(&gThrowCursor, nullptr, nullptr);
            gCursorReady = true;
        }
        crid_generate(gEventID);
        gPreviousTerminate = std::set_terminate(onTerminate);
    } else {
        std::set_terminate(gPreviousTerminate);
    }
    gCapture.store(enabled);
}

bool isEnabled() { return gEnabled.load(); }

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, nullptr, nullptr};

void remember(uintptr_t imageBase, uintptr_t, uintptr_t current, void*) {
    int n = gReboundCount.load();
    if (n >= kMaxRebound) return;
    // A slot not bound yet still points into its own image (the PLT): calling that would
    // bind again and overwrite the trampoline.
    const kernel::Image* holder = kernel::imageContaining(current);
    auto replaced = holder && holder->header == imageBase ? runtimeThrow() : reinterpret_cast<ThrowFunction>(current);
    gRebound[n].imageBase.store(imageBase);
    gRebound[n].replaced.store(replaced);
    gReboundCount.store(n + 1);
}

}  // namespace

// The trampoline written into rebound slots.
extern "C" __attribute__((noinline, noreturn)) void crcppexc_throwTrampoline(void* thrown, std::type_info* type,
                                                                            void (*destructor)(void*)) {
    if (CRCxaThrowCallback callback = gRebindCallback.load()) callback(thrown, type, destructor);
    auto caller = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    const kernel::Image* image = kernel::imageContaining(caller);
    ThrowFunction target = nullptr;
    int n = gReboundCount.load();
    for (int i = 0; image && i < n && !target; ++i)
        if (gRebound[i].imageBase.load() == image->header) target = gRebound[i].replaced.load();
    // No pair for the thrower's image: the runtime's throw (returning would land in code
    // that does not expect it).
    if (!target) target = runtimeThrow();
    target(thrown, type, destructor);
    __builtin_unreachable();
}

// Every program links this ahead of the C++ runtime's (declared by the runtime's header).
namespace __cxxabiv1 {
extern "C" void __cxa_throw(void* thrown, std::type_info* type, void (*destructor)(void*)) {
    if (!gRebindMode.load() && gCapture.load()) recordThrow(2);
    runtimeThrow()(thrown, type, destructor);
    __builtin_unreachable();
}
}  // namespace __cxxabiv1

extern "C" {

const CRMonitorAPI* crcm_cppexception_getAPI(void) { return &kAPI; }

void crcm_enableSwapOfCxaThrow(void) {
    if (gRebindMode.exchange(true)) return;
    cr_rebindCxaThrow(recordReboundThrow);
}

}  // extern "C"

void cr_rebindCxaThrow(CRCxaThrowCallback callback) {
    runtimeThrow();
    gReboundCount.store(0);
    bool again = gRebindCallback.exchange(callback) != nullptr;
    kernel::refreshImageTable();
    if (again) {
        kernel::rebindSymbolInLoadedImages("__cxa_throw", reinterpret_cast<void*>(crcppexc_throwTrampoline), remember,
                                           nullptr);
        return;
    }
    kernel::addImageCallback(
        [](const kernel::Image& image, void*) {
            kernel::rebindSymbolInImage(image.bias, "__cxa_throw", reinterpret_cast<void*>(crcppexc_throwTrampoline),
                                        remember, nullptr);
        },
        nullptr);
}
