#pragma once
// Mutual-exclusion locks in the platform's shape: NSLock (not recursive) and NSRecursiveLock,
// both with try, lock-before-a-date and a name.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include <platform_runtime/NSDate.h>

class NSLock {
public:
    NSLock() = default;
    NSLock(const NSLock&) = delete;
    NSLock& operator=(const NSLock&) = delete;

    void lock();
    // Unlocking a lock that is not held (or is held by another thread) is a programming
    // error: it is logged and ignored instead of corrupting the lock.
    void unlock();
    bool tryLock();
    // Waits until the lock is had or the date passes; answers whether it was had.
    bool lockBeforeDate(const NSDate& limit);

    std::string name() const;
    void setName(std::string name);

private:
    std::timed_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    mutable std::mutex nameMutex_;
    std::string name_;
};

class NSRecursiveLock {
public:
    NSRecursiveLock() = default;
    NSRecursiveLock(const NSRecursiveLock&) = delete;
    NSRecursiveLock& operator=(const NSRecursiveLock&) = delete;

    void lock();
    // Unlocking more often than locked, or from another thread, is logged and ignored.
    void unlock();
    bool tryLock();
    bool lockBeforeDate(const NSDate& limit);

    std::string name() const;
    void setName(std::string name);

private:
    void acquired();

    std::recursive_timed_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;  // touched only by the owner
    mutable std::mutex nameMutex_;
    std::string name_;
};
