#pragma once
// What the run loop, timers and dispatch_after ask of the manual clock.

#include <chrono>
#include <cstdint>
#include <functional>

namespace dispatch_detail {
using SteadyTime = std::chrono::steady_clock::time_point;

bool manualClockActive();
// Manual time on the steady clock's scale (the real time while not installed).
SteadyTime manualNow();
// Runs `block` on the main queue once manual time reached now + delayNs;
// false when the manual clock is not installed (nothing scheduled then).
bool scheduleManualMainAfter(uint64_t delayNs, std::function<void()> block);
}  // namespace dispatch_detail
