#include <platform_runtime/NSException.h>

#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

NSException::NSException(std::string name, std::string reason, Value::Dictionary userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {
    void* frames[128];
    const int n = backtrace(frames, 128);
    // Frame 0 is this constructor; the stack of interest starts at its caller.
    for (int i = 1; i < n; ++i) callStack_.push_back(reinterpret_cast<uintptr_t>(frames[i]));
}

void NSException::raise(std::string name, std::string reason, Value::Dictionary userInfo) {
    throw NSException(std::move(name), std::move(reason), std::move(userInfo));
}

namespace {
std::atomic<NSExceptionDeallocationHook> gDeallocationHook{nullptr};
}

void NSExceptionSetDeallocationHook(NSExceptionDeallocationHook hook) { gDeallocationHook.store(hook); }

NSException::~NSException() {
    NSExceptionDeallocationHook hook = gDeallocationHook.load(std::memory_order_acquire);
    if (hook && !(name_.empty() && reason_.empty())) hook(this, name_.c_str(), reason_.c_str());
}

std::string NSException::description() const { return name_ + ": " + reason_; }

namespace {

std::atomic<NSUncaughtExceptionHandler> gHandler{nullptr};
std::terminate_handler gPreviousTerminate = nullptr;
std::once_flag gInstallOnce;

void uncaughtTerminate() {
    // A handler that itself throws ends up here again; run the hook only once.
    static std::atomic<bool> entered{false};
    if (!entered.exchange(true)) {
        if (const std::exception_ptr current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const NSException& e) {
                if (const NSUncaughtExceptionHandler h = gHandler.load()) h(e);
            } catch (...) {
            }
        }
    }
    if (gPreviousTerminate) gPreviousTerminate();
    std::abort();
}

}  // namespace

void NSSetUncaughtExceptionHandler(NSUncaughtExceptionHandler handler) {
    std::call_once(gInstallOnce, [] { gPreviousTerminate = std::set_terminate(uncaughtTerminate); });
    gHandler.store(handler);
}

NSUncaughtExceptionHandler NSGetUncaughtExceptionHandler() { return gHandler.load(); }
