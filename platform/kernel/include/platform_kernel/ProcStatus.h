#pragma once
// Facts of the process's /proc/self/status. Async-signal-safe (a stack buffer).

namespace kernel {

// The TracerPid line: the id of the process tracing us, 0 when none, -1 when the
// file cannot be read.
[[nodiscard]] int tracerPid();

// True when another process traces this one (a debugger, strace).
[[nodiscard]] bool isBeingTraced();

}  // namespace kernel
