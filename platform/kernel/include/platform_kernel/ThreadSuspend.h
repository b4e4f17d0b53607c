#pragma once
// Suspending, resuming and reading the registers of other threads of this process.
//
// A real-time signal sent with tgkill stops the target: its handler stores the thread's
// general registers in a preallocated slot, acknowledges through an atomic and a futex
// and waits there until released. Every operation is async-signal-safe and lock-free,
// so a crash handler may suspend the task. Waits elsewhere in the platform retry on
// EINTR (the handler is SA_RESTART besides), so a suspension is invisible to them.

#include <cstdint>
#include <sys/types.h>
#include <sys/ucontext.h>

namespace kernel {

// The signal used to stop threads.
int suspendSignal();

// Installs the stop handler (SA_SIGINFO | SA_RESTART | SA_ONSTACK). Call at normal time;
// suspending installs it on first use otherwise. False when it cannot be installed.
bool prepareThreadSuspension();

// Stops the thread and answers true once it is parked. A thread that does not answer
// within the timeout (100 ms by default) is not suspended: the answer is false.
[[nodiscard]] bool suspendThread(pid_t tid, int timeoutMs = 100);

// Releases a thread stopped by suspendThread. False when it was not suspended.
bool resumeThread(pid_t tid);

// The parked thread's general registers (indexes REG_R8 .. REG_CR2 of <sys/ucontext.h>).
// False when the thread is not suspended.
[[nodiscard]] bool suspendedThreadRegisters(pid_t tid, greg_t (&registers)[NGREG]);

}  // namespace kernel
