#pragma once
// An alternate signal stack for the calling thread. Linux keeps sigaltstack per thread,
// so every thread the platform starts registers its own: a fault that overflows the
// thread's stack can then still run a crash handler. The stack lives until the thread
// ends. Normal time only (it maps memory).

#include <cstddef>

namespace kernel {

// Bytes of each thread's alternate stack: room for a crash handler that writes a report.
inline constexpr std::size_t kThreadSignalStackSize = 128 * 1024;

// Registers a stack for the calling thread unless one is registered already. False when
// none could be set up.
bool installThreadSignalStack();

}  // namespace kernel
