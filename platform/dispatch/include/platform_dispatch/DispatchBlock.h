#pragma once
// Cancellable blocks: a block made by dispatch_block_create can be cancelled
// before it starts, through any copy of it.

#include <platform_dispatch/DispatchQueue.h>

using dispatch_block_flags_t = unsigned long;

// Wraps `block` so that dispatch_block_cancel can stop it from running.
// `flags` is accepted for the platform's signature; no flag changes anything.
dispatch_block_t dispatch_block_create(dispatch_block_flags_t flags, dispatch_block_t block);
// Later runs of `block` (made by dispatch_block_create) do nothing; a run
// already under way finishes. Harmless for other blocks.
void dispatch_block_cancel(const dispatch_block_t& block);
// Non-zero when `block` was cancelled.
long dispatch_block_testcancel(const dispatch_block_t& block);
