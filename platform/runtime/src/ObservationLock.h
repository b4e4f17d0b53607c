#pragma once
// The lock over one object's observation records: held for a few dozen instructions at a
// time and rarely contended, so taking it is one atomic exchange and releasing it one store.
// A waiter spins briefly, then yields. Any thread; not recursive; lives as long as its owner.

#include <atomic>
#include <thread>

class ObservationLock {
public:
    void lock() noexcept {
        while (locked_.exchange(true, std::memory_order_acquire)) {
            for (int spins = 0; locked_.load(std::memory_order_relaxed); ++spins)
                if (spins >= 64) std::this_thread::yield();
        }
    }
    bool try_lock() noexcept {
        return !locked_.load(std::memory_order_relaxed) && !locked_.exchange(true, std::memory_order_acquire);
    }
    void unlock() noexcept { locked_.store(false, std::memory_order_release); }

private:
    std::atomic<bool> locked_{false};
};
