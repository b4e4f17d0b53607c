#pragma once
// The fatal signals the crash core catches and the names of signals and their codes
// (Linux numbers, names by constant). Async-signal-safe: static tables only.

#ifdef __cplusplus
extern "C" {
#endif

// SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGPIPE, SIGSEGV, SIGSYS, SIGTRAP, in this order.
const int* crsignal_fatalSignals(void);
int crsignal_numFatalSignals(void);
// NULL for a signal outside the list.
const char* crsignal_signalName(int signal);
// NULL when the signal has no code list or the code is not in it.
const char* crsignal_signalCodeName(int signal, int code);

#ifdef __cplusplus
}
#endif
