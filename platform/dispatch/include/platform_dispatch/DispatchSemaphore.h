#pragma once
// Counting semaphores with waits that can time out.

#include <platform_dispatch/DispatchTime.h>

#include <memory>

struct dispatch_semaphore_s;
using dispatch_semaphore_t = std::shared_ptr<dispatch_semaphore_s>;

// A semaphore starting at `value`; null for a negative value.
dispatch_semaphore_t dispatch_semaphore_create(long value);
// Takes one unit, waiting for it until `timeout`: 0 when taken, non-zero
// when the time-out passed first.
long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout);
// Gives one unit back; non-zero when that woke a waiting thread.
long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore);
