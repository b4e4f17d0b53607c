#pragma once
// The load-time pass over a stored report: timestamps become UTC date text, C++ and
// Swift symbol names are demangled, the rest is re-encoded unchanged (pretty printed).
// Normal time only (allocates).

#include <stdint.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

// The fixed-up text (free it), or NULL for NULL, invalid JSON or nesting deeper than 100.
char* crcrashreport_fixupReport(const char* crashReport);

// "%04d-%02d-%02dT%02d:%02d:%02dZ" in UTC into 21 bytes. Async-signal-safe.
void crdate_utcStringFromTimestamp(time_t timestamp, char* buffer21Chars);
// "...%02d.%06ldZ" in UTC into 28 bytes. Async-signal-safe.
void crdate_utcStringFromMicroseconds(int64_t microseconds, char* buffer28Chars);

#ifdef __cplusplus
}
#endif
