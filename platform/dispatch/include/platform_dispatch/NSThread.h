#pragma once
// Threads of the platform: detached threads running a block, with a name
// (also the Linux thread name) and a cancel flag; which thread is the main one.

#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCDeclare.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>

class NSThread : public NSObject {
    NS_CLASS(NSThread, NSObject)

public:
    // A thread that runs `block` once started.
    explicit NSThread(std::function<void()> block);

    // Starts a new thread running `block` at once.
    static void detachNewThreadWithBlock(std::function<void()> block);
    // The calling thread's object (made on first use for threads that were
    // not started as NSThreads).
    static std::shared_ptr<NSThread> currentThread();
    // The main thread's object: the process's initial thread.
    static std::shared_ptr<NSThread> mainThread();
    // True on the main thread (the process's initial thread).
    static bool isMainThread();
    static void sleepForTimeInterval(NSTimeInterval seconds);
    static void sleepUntilDate(const NSDate& date);

    // Runs the block on a new thread; only the first call starts one.
    void start();
    // Sets the cancel flag; the thread's block decides what it means.
    void cancel() { cancelled_.store(true); }
    bool isCancelled() const { return cancelled_.load(); }
    bool isExecuting() const { return state_.load() == State::Executing; }
    bool isFinished() const { return state_.load() == State::Finished; }
    // True for the main thread's object.
    bool isMain() const { return isMain_; }

    std::string name() const;
    // Also names the Linux thread (cut to 15 bytes at a character boundary),
    // at once when it runs, else when it starts.
    void setName(const std::string& name);

    // Objects for threads not started as NSThreads; use currentThread.
    NSThread(pthread_t running, bool isMain);

private:
    enum class State { Created, Executing, Finished };
    void applyLinuxName();

    std::function<void()> block_;
    std::atomic<bool> cancelled_{false};
    std::atomic<State> state_{State::Created};
    const bool isMain_ = false;
    mutable std::mutex m_;
    std::string name_;
    pthread_t handle_{};
    pid_t tid_ = 0;  // the kernel's id of the running thread, 0 when unknown
    bool hasHandle_ = false;
    bool foreign_ = false;  // not started by start()
};
