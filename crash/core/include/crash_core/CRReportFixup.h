#pragma once
// The load-time pass over a stored report: timestamps become UTC date text, C++ and
// Swift symbol names are demangled, the rest is re-encoded unchanged (pretty printed).
// Normal time only (allocates).

#include <stdint.h>
#include <time.h>

#include <crash_core/CRJSONCodec.h>

#ifdef __cplusplus
extern "C" {
#endif

// The fixed-up text (free it), or NULL for NULL, invalid JSON or nesting deeper than 100.
char* crcrashreport_fixupReport(const char* crashReport);
// The same pass handing its elements to a reader's callbacks without writing the text:
// the reader gets exactly what decoding crcrashreport_fixupReport's text would give it.
// An error from the reader ends what it is given, as it would end its reading of the
// text; the answer is CRJSON_OK where that function gives text, else the pass's error.
int crcrashreport_fixupReportTo(const char* crashReport, const CRJSONDecodeCallbacks* reader, void* readerUser);

// "%04d-%02d-%02dT%02d:%02d:%02dZ" in UTC into 21 bytes. Async-signal-safe.
void crdate_utcStringFromTimestamp(time_t timestamp, char* buffer21Chars);
// "...%02d.%06ldZ" in UTC into 28 bytes. Async-signal-safe.
void crdate_utcStringFromMicroseconds(int64_t microseconds, char* buffer28Chars);

#ifdef __cplusplus
}
#endif
