#pragma once
// Reads of our own memory that cannot fault: an unmapped or unreadable address is an
// error, never a signal. Async-signal-safe and callable from any thread.
//
// The reads go through process_vm_readv on our own pid. Where the kernel refuses that
// (EPERM, ENOSYS; probed once) a write into a private pipe does the same: the kernel
// answers EFAULT for a bad source instead of faulting.

#include <cstddef>

namespace kernel {

// Probes the read path and opens the fallback pipe. Call at normal time (install);
// a read before it probes on first use.
void prepareSafeMemory();

// Copies up to count bytes from source into destination and answers how many were
// copied: the readable prefix of the range (at page granularity of the fault).
[[nodiscard]] std::size_t safeReadPrefix(const void* source, void* destination, std::size_t count);

// True when all count bytes were copied.
[[nodiscard]] bool safeRead(const void* source, void* destination, std::size_t count);

// Tests force the pipe path (true) or the default probe (false).
void safeMemoryUsePipeForTesting(bool usePipe);

}  // namespace kernel
