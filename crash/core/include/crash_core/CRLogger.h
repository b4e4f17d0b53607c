#pragma once
// The crash core's console log: lines go to the log file (standard output until one is
// set) and always to standard output as well. Lines are formatted into a 1024-byte
// buffer on the stack.

#include <stdbool.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CRLOG_LINE_LENGTH 1024

// Opens the file (created when missing, truncated when overwrite is set, mode 0644) and
// makes it the log; the previous log file is closed. On failure logs why and answers
// false, keeping the previous log.
bool crlog_setLogFilename(const char* filename, bool overwrite);
// Truncates the current log file.
bool crlog_clearLogFile(void);
// One line ("(null)" for a NULL format), written whole.
void crlog_log(const char* format, ...) __attribute__((format(printf, 1, 2)));

#ifdef __cplusplus
}
#endif
