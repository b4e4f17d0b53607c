#pragma once
// An input source for a run loop: a callback that runs on the loop's thread
// on the turn after someone signals the source (from any thread).

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSRunLoop;

class RunLoopSource {
public:
    explicit RunLoopSource(std::function<void()> perform);

    // Marks the source as having work and wakes the run loops it is on; the
    // callback runs once per turn however often it was signalled.
    void signal();
    // The callback never runs again.
    void invalidate();
    bool isValid() const { return valid_.load(); }

private:
    friend class NSRunLoop;
    bool takeSignal() { return signalled_.exchange(false); }
    void perform();
    void attach(const std::shared_ptr<NSRunLoop>& loop);

    std::function<void()> perform_;
    std::atomic<bool> signalled_{false};
    std::atomic<bool> valid_{true};
    std::mutex m_;
    std::vector<std::weak_ptr<NSRunLoop>> loops_;
};
