#pragma once
// One thread that calls short callbacks at monotonic deadlines: the clock
// behind dispatch_after and timer sources. Callbacks only hand work on.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace dispatch_detail {

class TimerScheduler {
public:
    using Id = uint64_t;
    static TimerScheduler& shared();

    // Calls `fn` on the scheduler thread at `deadline` (monotonic ns); equal
    // deadlines fire in the order they were scheduled.
    Id schedule(uint64_t deadline, std::function<void()> fn);
    // Forgets a callback that has not started; harmless for unknown ids.
    void cancel(Id id);

private:
    TimerScheduler();
    void loop();

    std::mutex m_;
    std::condition_variable cv_;
    std::map<std::pair<uint64_t, Id>, std::function<void()>> entries_;
    std::map<Id, uint64_t> deadlines_;
    Id nextId_ = 1;
};

}  // namespace dispatch_detail
