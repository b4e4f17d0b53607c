#pragma once
// Dispatch groups: track a set of blocks and learn when all have finished.

#include <platform_dispatch/DispatchQueue.h>

#include <memory>

struct dispatch_group_s;
using dispatch_group_t = std::shared_ptr<dispatch_group_s>;

dispatch_group_t dispatch_group_create();
void dispatch_group_enter(const dispatch_group_t& group);
// A leave without a matching enter is ignored (the count never goes below 0).
void dispatch_group_leave(const dispatch_group_t& group);
// Submits `block` to `queue` as a member of `group`.
void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
// Submits `block` to `queue` once the group is empty (at once if it is now).
void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
// Waits until the group is empty: 0 when it is, non-zero when `timeout`
// passed first.
long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout);
