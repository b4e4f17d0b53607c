#pragma once
// For a host or test waiting for quiet: what the dispatch queues still hold.
//
// Any thread.

#include <cstddef>

// Whether blocks wait on the main queue (a dispatch_after block from when it is due).
bool dispatch_main_queue_has_work();
// How many blocks of the other queues wait or run (a block waiting in a
// semaphore or a sync is not counted).
std::size_t dispatch_active_block_count();
