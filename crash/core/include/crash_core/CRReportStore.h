#pragma once
// The report store: crash reports as files "<dir>/<app>-report-<id as 16 hex>.json",
// each id a 64-bit number that sorts in time order. crcrs_nextReportPath is lock-free and
// async-signal-safe (the crash path calls it); the others take the store's mutex (except
// delete-by-id and the side-file path) and run at normal time.

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CRCRS_MAX_PATH_LENGTH 500
// A report is read whole up to this size; a larger file is refused.
#define CRCRS_MAX_REPORT_SIZE (64 * 1024 * 1024)

// Keeps copies of both, creates the directory, prunes beyond the maximum, seeds the ids.
void crcrs_initialize(const char* appName, const char* reportsPath);
// The next id, and (with a buffer of CRCRS_MAX_PATH_LENGTH bytes) its report path.
int64_t crcrs_nextReportPath(char* pathBuffer);
// Like crcrs_nextReportPath, but creates the file exclusively: when an id's file exists
// already (another process of the same second), the next id is taken, up to 1000 tries.
// Answers the open descriptor (or -1) and fills id and path. Async-signal-safe.
int crcrs_createNextReportFile(char* pathBuffer, int64_t* reportID);
int crcrs_getReportCount(void);
// Up to count ids, ascending; answers how many were written.
int crcrs_getReportIDs(int64_t* reportIDs, int count);
// The whole report (free it), or NULL.
char* crcrs_readReport(int64_t reportID);
// The side file's path (free it).
char* crcrs_getReportExtFilePath(int64_t reportID);
void crcrs_deleteReportWithID(int64_t reportID);
void crcrs_deleteAllReports(void);
void crcrs_setMaxReportCount(int maxReportCount);

#ifdef __cplusplus
}
#endif
