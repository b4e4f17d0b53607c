#pragma once
// The task's threads, by thread id (the tid stands for a thread port). Async-signal-safe:
// raw getdents64 of /proc/self/task into a stack buffer.

#include <sys/types.h>

namespace kernel {

// Opens /proc/self/task once, so a listing still works when the process has run out
// of descriptors. Call at normal time (install).
void prepareThreadList();

// Writes at most capacity thread ids in the kernel's listing order and answers how
// many threads the task has (which may exceed capacity), or -1 when the directory
// cannot be read.
[[nodiscard]] int listThreads(pid_t* tids, int capacity);

// The calling thread's id.
[[nodiscard]] pid_t currentThreadId();

}  // namespace kernel
