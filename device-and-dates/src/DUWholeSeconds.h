#pragma once
// The whole-second length by which groups move their periods.

#include <cstdint>

#include <device_and_dates/DUTimePeriod.h>

namespace du_detail {

inline int64_t wholeSeconds(const DUTimePeriod& period) { return static_cast<int64_t>(period.durationInSeconds()); }

}  // namespace du_detail
