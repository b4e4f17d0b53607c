#include <platform_dispatch/NSThread.h>

#include "MainThread.h"

#include <platform_kernel/ThreadSignalStack.h>
#include <platform_kernel/ThreadList.h>
#include <platform_kernel/ThreadNames.h>

#include <chrono>
#include <thread>

namespace {

thread_local std::shared_ptr<NSThread> tlsCurrent;

// The Linux limit is 15 bytes plus the terminator; a UTF-8 sequence is not
// split.
std::string linuxName(const std::string& name) {
    if (name.size() <= 15) return name;
    std::size_t end = 15;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

std::shared_ptr<NSThread>& mainThreadRef() {
    // Never destroyed: other threads may ask for it while the process exits.
    static auto* thread = new std::shared_ptr<NSThread>();
    return *thread;
}

// Records the main thread's handle while the initial thread loads us.
struct MainThreadCapture {
    MainThreadCapture() {
        if (dispatch_detail::isMainThread()) mainThreadRef() = std::make_shared<NSThread>(pthread_self(), true);
    }
} mainThreadCapture;

}  // namespace

NSThread::NSThread(std::function<void()> block) : block_(std::move(block)) {}

NSThread::NSThread(pthread_t running, bool isMain)
    : state_(State::Executing), isMain_(isMain), handle_(running), hasHandle_(true), foreign_(true) {
    // Made on the running thread itself, or for the main thread (whose id is the pid).
    if (isMain)
        tid_ = getpid();
    else if (pthread_equal(running, pthread_self()))
        tid_ = kernel::currentThreadId();
}

void NSThread::detachNewThreadWithBlock(std::function<void()> block) {
    std::make_shared<NSThread>(std::move(block))->start();
}

std::shared_ptr<NSThread> NSThread::mainThread() {
    auto& main = mainThreadRef();
    // Loaded after start-up by another thread: the handle is unknown, but
    // the object still answers isMain and carries the name.
    static std::once_flag once;
    std::call_once(once, [&] {
        if (!main) main = std::make_shared<NSThread>(pthread_t{}, true);
    });
    return main;
}

std::shared_ptr<NSThread> NSThread::currentThread() {
    if (dispatch_detail::isMainThread()) return mainThread();
    if (!tlsCurrent) tlsCurrent = std::make_shared<NSThread>(pthread_self(), false);
    return tlsCurrent;
}

bool NSThread::isMainThread() { return dispatch_detail::isMainThread(); }

void NSThread::sleepForTimeInterval(NSTimeInterval seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void NSThread::sleepUntilDate(const NSDate& date) { sleepForTimeInterval(date.timeIntervalSinceNow()); }

void NSThread::start() {
    State expected = State::Created;
    if (!state_.compare_exchange_strong(expected, State::Executing)) return;
    auto self = std::static_pointer_cast<NSThread>(shared_from_this());
    std::thread([self] {
        kernel::installThreadSignalStack();
        tlsCurrent = self;
        {
            std::lock_guard lock(self->m_);
            self->handle_ = pthread_self();
            self->tid_ = kernel::currentThreadId();
            self->hasHandle_ = true;
        }
        self->applyLinuxName();
        auto block = std::move(self->block_);
        if (block) block();
        block = nullptr;
        {
            std::lock_guard lock(self->m_);
            self->hasHandle_ = false;
            kernel::forgetThreadName(self->tid_);
        }
        self->state_.store(State::Finished);
        tlsCurrent.reset();
    }).detach();
}

std::string NSThread::name() const {
    std::lock_guard lock(m_);
    return name_;
}

void NSThread::setName(const std::string& name) {
    {
        std::lock_guard lock(m_);
        name_ = name;
    }
    applyLinuxName();
}

void NSThread::applyLinuxName() {
    std::lock_guard lock(m_);
    pthread_t target;
    if (isMain_ && dispatch_detail::isMainThread())
        target = pthread_self();
    else if (hasHandle_ && (!foreign_ || (isMain_ && handle_ != pthread_t{})))
        target = handle_;  // ours until it finishes; the main thread lives as long as the process
    else if (hasHandle_ && pthread_equal(handle_, pthread_self()))
        target = handle_;
    else
        return;  // a thread we did not start, named from elsewhere: it may be gone
    // The kernel layer keeps the whole name for crash reports and sets the short one.
    if (tid_ > 0 && !name_.empty()) {
        kernel::setThreadName(tid_, name_.c_str());
        return;
    }
    if (tid_ > 0) kernel::forgetThreadName(tid_);
    pthread_setname_np(target, linuxName(name_).c_str());
}
