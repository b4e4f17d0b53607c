#pragma once
// Points in time for dispatch deadlines: nanoseconds on the monotonic clock.

#include <cstdint>

using dispatch_time_t = uint64_t;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;

inline constexpr uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr uint64_t NSEC_PER_MSEC = 1000000ull;
inline constexpr uint64_t NSEC_PER_USEC = 1000ull;
inline constexpr uint64_t USEC_PER_SEC = 1000000ull;

// `when` (or now for DISPATCH_TIME_NOW) moved by `delta` nanoseconds; FOREVER
// stays FOREVER and results saturate instead of wrapping.
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);

namespace dispatch_detail {
// The monotonic clock dispatch_time counts on, in nanoseconds (never 0).
uint64_t monotonicNow();
// An absolute deadline for `when` (resolving DISPATCH_TIME_NOW to now).
uint64_t resolve(dispatch_time_t when);
}  // namespace dispatch_detail
