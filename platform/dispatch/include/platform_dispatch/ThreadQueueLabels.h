#pragma once
// Which queue each thread is running a block of, by thread id: a lock-free table that a
// crash handler reads without locks or allocation.
//
// The table holds the address of the queue's label text, not a copy: a queue freed while
// a crash is recorded leaves a stale address, so crash-time readers copy the text with the
// kernel layer's safe reads and check it before use.

#include <sys/types.h>

namespace dispatch_detail {

// Records that the calling thread now runs a block of a queue with this label (nullptr:
// no queue) and answers the label recorded before, to be put back when the block ends.
const char* exchangeCurrentQueueLabel(const char* label);

}  // namespace dispatch_detail

// The label address recorded for the thread, or nullptr when it runs no queue's block.
// Async-signal-safe.
const char* dispatchQueueLabelAddressOfThread(pid_t tid);
