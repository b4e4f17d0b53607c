#pragma once
// File helpers of the crash core, with a buffered reader and writer that work on
// caller-provided buffers. Everything but crfu_readEntireFile is async-signal-safe.

#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Longest path the helpers build themselves.
#define CRFU_MAX_PATH_LENGTH 500

typedef struct CRBufferedWriter {
    char* buffer;
    int bufferLength;
    int position;
    int fd;
} CRBufferedWriter;

typedef struct CRBufferedReader {
    char* buffer;
    int bufferLength;  // usable size: the given size less one byte for a terminator
    int dataStartPos;
    int dataEndPos;
    int fd;
} CRBufferedReader;

// The part after the last "/" (the whole text without one; NULL for NULL).
const char* crfu_lastPathEntry(const char* path);
bool crfu_writeBytesToFD(int fd, const char* bytes, int length);
// The file's bytes plus a NUL in a new allocation (free it); with maxLength above 0 and
// a larger file, only its last maxLength bytes. On failure *data is NULL, *length 0.
bool crfu_readEntireFile(const char* path, char** data, int* length, int maxLength);
// Creates every missing directory of the path (mode 0700).
bool crfu_makePath(const char* absolutePath);
bool crfu_removeFile(const char* path, bool mustExist);
// A file is removed; a directory is emptied recursively and kept.
bool crfu_deleteContentsOfPath(const char* path);

// The file must not exist yet; it is created with mode 0644.
bool crfu_openBufferedWriter(CRBufferedWriter* writer, const char* path, char* writeBuffer, int writeBufferLength);
void crfu_closeBufferedWriter(CRBufferedWriter* writer);
bool crfu_writeBufferedWriter(CRBufferedWriter* writer, const char* data, int length);
bool crfu_flushBufferedWriter(CRBufferedWriter* writer);

bool crfu_openBufferedReader(CRBufferedReader* reader, const char* path, char* readBuffer, int readBufferLength);
void crfu_closeBufferedReader(CRBufferedReader* reader);
// Copies bytes up to and including ch, never more than *length; true when ch was found.
// *length becomes the number copied.
bool crfu_readBufferedReaderUntilChar(CRBufferedReader* reader, int ch, char* dstBuffer, int* length);

#ifdef __cplusplus
}
#endif
