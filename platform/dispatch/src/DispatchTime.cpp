#include <platform_dispatch/DispatchTime.h>

#include <chrono>

namespace dispatch_detail {

uint64_t monotonicNow() {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
    // 0 means "now" as a dispatch_time_t, so the clock never answers it.
    return ns > 0 ? static_cast<uint64_t>(ns) : 1;
}

uint64_t resolve(dispatch_time_t when) {
    return when == DISPATCH_TIME_NOW ? monotonicNow() : when;
}

}  // namespace dispatch_detail

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta) {
    if (when == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
    uint64_t base = dispatch_detail::resolve(when);
    if (delta >= 0) {
        uint64_t d = static_cast<uint64_t>(delta);
        if (base > DISPATCH_TIME_FOREVER - 1 - d) return DISPATCH_TIME_FOREVER;
        return base + d;
    }
    uint64_t d = static_cast<uint64_t>(-(delta + 1)) + 1;
    return base > d ? base - d : 1;
}
