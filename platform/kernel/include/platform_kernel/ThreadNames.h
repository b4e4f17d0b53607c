#pragma once
// Full thread names by thread id. The kernel keeps only 15 bytes of a name (comm); the
// platform records the whole name of every thread it names here, and readers fall back
// to comm for the others. Reading is async-signal-safe and lock-free.

#include <cstddef>
#include <sys/types.h>

namespace kernel {

// Longest name kept whole (bytes, without the terminator); longer names are cut at a
// UTF-8 character boundary.
constexpr std::size_t kThreadNameCapacity = 127;

// Records the thread's full name (any thread may name any thread) and sets its comm to
// the first 15 bytes. An empty name forgets the entry. Normal time only.
void setThreadName(pid_t tid, const char* name);

// Drops the entry of a thread that is ending (call from the thread itself or after it
// ended); its tid may be reused.
void forgetThreadName(pid_t tid);

// Copies the thread's name into buffer (always terminated when capacity > 0): the
// recorded full name, else its comm. False when neither is known or the name is empty.
[[nodiscard]] bool threadName(pid_t tid, char* buffer, std::size_t capacity);

}  // namespace kernel
