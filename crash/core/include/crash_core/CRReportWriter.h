#pragma once
// The crash report writer: the standard report of an event, the minimal report of a
// crash during crash handling, and the record of write operations through which the
// installation's user-section callback adds members while the process is crashing.
//
// The writing functions and every CRReportWriter operation are async-signal-safe: a
// 1024-byte buffered file writer and the streaming encoder on the stack, buffers
// reserved by crcrashreport_prepare; each top-level section is flushed so that a crash
// inside the writer leaves every finished section in the file. The setters run at normal
// time (the user JSON under the writer's mutex).

#include <stdbool.h>
#include <stdint.h>

#include <crash_core/CRCrashEventContext.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CRReportWriter {
    void (*addBooleanElement)(const struct CRReportWriter* writer, const char* name, bool value);
    void (*addFloatingPointElement)(const struct CRReportWriter* writer, const char* name, double value);
    void (*addIntegerElement)(const struct CRReportWriter* writer, const char* name, int64_t value);
    void (*addUIntegerElement)(const struct CRReportWriter* writer, const char* name, uint64_t value);
    void (*addStringElement)(const struct CRReportWriter* writer, const char* name, const char* value);
    void (*addTextFileElement)(const struct CRReportWriter* writer, const char* name, const char* filePath);
    void (*addTextFileLinesElement)(const struct CRReportWriter* writer, const char* name, const char* filePath);
    void (*addJSONFileElement)(const struct CRReportWriter* writer, const char* name, const char* filePath,
                               bool closeLastContainer);
    void (*addDataElement)(const struct CRReportWriter* writer, const char* name, const char* value, int length);
    void (*beginDataElement)(const struct CRReportWriter* writer, const char* name);
    void (*appendDataElement)(const struct CRReportWriter* writer, const char* value, int length);
    void (*endDataElement)(const struct CRReportWriter* writer);
    void (*addUUIDElement)(const struct CRReportWriter* writer, const char* name, const unsigned char* value);
    void (*addJSONElement)(const struct CRReportWriter* writer, const char* name, const char* jsonElement,
                           bool closeLastContainer);
    void (*beginObject)(const struct CRReportWriter* writer, const char* name);
    void (*beginArray)(const struct CRReportWriter* writer, const char* name);
    void (*endContainer)(const struct CRReportWriter* writer);
    void* context;
} CRReportWriter;

typedef void (*CRReportWriteCallback)(const CRReportWriter* writer);

// Reserves the buffers the minimal report embeds the previous file through (64 KiB
// each). Normal time, once at install; without it a small fallback is used.
void crcrashreport_prepare(void);

// Writes the standard report to a new file at the path (created exclusively, mode 0644);
// nothing when the file exists already.
void crcrashreport_writeStandardReport(const CRCrashEventContext* event, const char* path);
// The same into a file the caller created (the descriptor is closed).
void crcrashreport_writeStandardReportToDescriptor(const CRCrashEventContext* event, int fd);
// Moves the report at the path aside (".old"), writes the minimal report at the path
// with the old file's finished sections in "recrash_report", then deletes the old file.
void crcrashreport_writeRecrashReport(const CRCrashEventContext* event, const char* path);

void crcrashreport_setUserInfoJSON(const char* userInfoJSON);
void crcrashreport_setIntrospectMemory(bool shouldIntrospectMemory);
void crcrashreport_setDoNotIntrospectClasses(const char** doNotIntrospectClasses, int length);
void crcrashreport_setUserSectionWriteCallback(CRReportWriteCallback userSectionWriteCallback);

#ifdef __cplusplus
}
#endif
