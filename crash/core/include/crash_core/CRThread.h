#pragma once
// Thread helpers of crash-time code: the calling thread's id, the dispatch-queue label
// of a thread, and whether a debugger traces us. Async-signal-safe.
//
// A thread is named by its kernel thread id (it stands for the platform's thread port).

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t CRThread;

CRThread crthread_self(void);

// The label of the queue whose block the thread runs, copied into buffer (at most
// bufferLength - 1 bytes, terminated). False when the thread runs no queue's block or
// the label is unreadable or holds a byte outside printable ASCII.
bool crthread_getQueueName(CRThread thread, char* buffer, int bufferLength);

// True when another process traces this one (TracerPid of /proc/self/status).
bool crdebug_isBeingTraced(void);

#ifdef __cplusplus
}
#endif
