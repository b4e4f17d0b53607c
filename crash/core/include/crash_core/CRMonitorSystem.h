#pragma once
// The system-information monitor (0x40): device, system, bundle and process facts
// gathered once at its first enabling (normal time), copied into every event with free
// storage and memory measured at that moment (async-signal-safe: a statvfs and a read of
// /proc/meminfo into a stack buffer).

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>

#include <crash_core/CRMonitor.h>

#ifdef __cplusplus
extern "C" {
#endif

const CRMonitorAPI* crcm_system_getAPI(void);

// Kernel variables by name. Normal time only.
int32_t crsysctl_int32ForName(const char* name);
int64_t crsysctl_int64ForName(const char* name);
// With a buffer copies at most length bytes and answers the count; without one answers
// the size needed; 0 on failure.
int crsysctl_stringForName(const char* name, char* value, int maxSize);
struct timeval crsysctl_timevalForName(const char* name);
// The link-layer address of the interface ("en0" stands for the first non-loopback
// interface that has one). False when there is none.
bool crsysctl_getMacAddress(const char* name, char* macAddressBuffer6Bytes);

// Tests: forget the gathered values so that the next enabling gathers again.
void crcm_system_resetForTesting(void);

#ifdef __cplusplus
}
#endif
