#pragma once
// The layer's upload queues (envelope jobs, stateless files), known from the moment their
// owners exist, so that a wait for the uploads still queued or running never creates an owner
// (and so never starts the layer). Any thread; the queues are owned by their singletons.

#include <memory>

#include <platform_dispatch/DispatchTime.h>
#include <platform_dispatch/NSOperationQueue.h>

namespace ZVUploadQueues {
void add(const std::shared_ptr<NSOperationQueue>& queue);
// Waits until every known queue was found empty in one look, or until `deadline`; true when
// they were. A job queued on one queue while the wait was on another is waited for as well.
[[nodiscard]] bool waitUntilDrained(dispatch_time_t deadline);
}  // namespace ZVUploadQueues
