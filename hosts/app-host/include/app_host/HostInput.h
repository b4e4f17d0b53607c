#pragma once
// The host's inputs as run-loop work: a terminal descriptor becomes a
// run-loop source that fires when keys are waiting, and SIGINT, SIGTERM,
// SIGHUP and SIGWINCH reach the main queue as calls of onSignal. A reader
// thread waits on both with poll(2); nothing polls with sleeps.
//
// Made and destroyed on the main thread, which the callbacks run on.

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class RunLoopSource;

class HostInput {
public:
    // inputFd < 0: signals only. onInput must read what is waiting and then
    // call consumed(), after which the reader watches the descriptor again.
    HostInput(int inputFd, std::function<void()> onInput, std::function<void(int signal)> onSignal);
    ~HostInput();
    HostInput(const HostInput&) = delete;
    HostInput& operator=(const HostInput&) = delete;

    void consumed();

private:
    void readerLoop();

    int inputFd_;
    std::atomic<bool> armed_{true};
    int wakePipe_[2] = {-1, -1};
    std::function<void(int)> onSignal_;
    std::shared_ptr<RunLoopSource> source_;
    std::thread reader_;
};
