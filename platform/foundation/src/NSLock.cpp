#include <platform_foundation/NSLock.h>

#include <chrono>
#include <cstdio>

namespace {

// Time left until `limit`, measured against the wall clock once, then waited on a steady
// clock so a clock change cannot stretch the wait.
std::chrono::steady_clock::time_point deadline(const NSDate& limit) {
    double seconds = limit.timeIntervalSinceNow();
    if (seconds < 0) seconds = 0;
    if (seconds > 1e9) seconds = 1e9;  // distantFuture: effectively forever
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

void reportMisuse(const char* cls, const std::string& name) {
    std::fprintf(stderr, "*** -[%s unlock]: lock (%s) unlocked when not locked by this thread\n", cls,
                 name.empty() ? "unnamed" : name.c_str());
}

}  // namespace

void NSLock::lock() {
    mutex_.lock();
    owner_ = std::this_thread::get_id();
}

void NSLock::unlock() {
    if (owner_ != std::this_thread::get_id()) {
        reportMisuse("NSLock", name());
        return;
    }
    owner_ = std::thread::id();
    mutex_.unlock();
}

bool NSLock::tryLock() {
    if (!mutex_.try_lock()) return false;
    owner_ = std::this_thread::get_id();
    return true;
}

bool NSLock::lockBeforeDate(const NSDate& limit) {
    if (!mutex_.try_lock_until(deadline(limit))) return false;
    owner_ = std::this_thread::get_id();
    return true;
}

std::string NSLock::name() const {
    std::lock_guard g(nameMutex_);
    return name_;
}

void NSLock::setName(std::string name) {
    std::lock_guard g(nameMutex_);
    name_ = std::move(name);
}

void NSRecursiveLock::acquired() {
    owner_ = std::this_thread::get_id();
    ++depth_;
}

void NSRecursiveLock::lock() {
    mutex_.lock();
    acquired();
}

void NSRecursiveLock::unlock() {
    if (owner_ != std::this_thread::get_id() || depth_ == 0) {
        reportMisuse("NSRecursiveLock", name());
        return;
    }
    if (--depth_ == 0) owner_ = std::thread::id();
    mutex_.unlock();
}

bool NSRecursiveLock::tryLock() {
    if (!mutex_.try_lock()) return false;
    acquired();
    return true;
}

bool NSRecursiveLock::lockBeforeDate(const NSDate& limit) {
    if (!mutex_.try_lock_until(deadline(limit))) return false;
    acquired();
    return true;
}

std::string NSRecursiveLock::name() const {
    std::lock_guard g(nameMutex_);
    return name_;
}

void NSRecursiveLock::setName(std::string name) {
    std::lock_guard g(nameMutex_);
    name_ = std::move(name);
}
