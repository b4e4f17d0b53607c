#pragma once
// Fills a stack cursor's entry with its image and symbol. Async-signal-safe.

#include <stdbool.h>

#include <crash_core/CRStackCursor.h>

#ifdef __cplusplus
extern "C" {
#endif

// A return address is looked up at address - 1 (the call before it), a context's pc at
// itself. False, with the four fields cleared, when no image holds the address.
bool crsymbolicator_symbolicate(CRStackCursor* cursor);

#ifdef __cplusplus
}
#endif
