#pragma once
// Ending a process whose queues may still be at work.
//
// A block still running on a worker while `exit` destroys the process's static objects would
// use objects that are already gone (and corrupt the heap). A program's `main` calls this as
// its last step: blocks still waiting are dropped, no new block starts, and the running ones get
// up to `timeoutMs` to end.
//
// Thread and lifetime: call it once, from the main thread, right before `main` returns; it is
// irreversible. The main queue is not affected (it runs only when the main thread spins).
// Declared with C linkage so the shared test main can call it when the library is loaded.
extern "C" void dispatch_stop_workers_for_exit(long timeoutMs);
