#pragma once
// The signal stage of fault delivery. When the emulated exception port is active, its
// first-chance handler owns SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGTRAP, and the actions
// installed here run only for faults the port's receiver did not handle; for every other
// signal (and while no port is set) this is sigaction(2). A foreign sigaction(2) that
// replaces the first-chance handler shows here as the current action. Async-signal-safe.

#include <signal.h>

extern "C" int kern_sigaction(int signal, const struct sigaction* action, struct sigaction* oldAction);

// The signal's default action, now: the process-level action becomes SIG_DFL (past any
// first-chance handler), the signal is unblocked and raised on the calling thread.
extern "C" void kern_raiseWithDefaultAction(int signal);
