#pragma once
// The stack cursor behind every backtrace: walks return addresses out of a machine
// context (or out of a ready-made address list) and symbolicates each entry.
// Async-signal-safe; the cursor lives in the caller's storage.

#include <stdbool.h>
#include <stdint.h>

#include <crash_core/CRMachineContext.h>

#ifdef __cplusplus
extern "C" {
#endif

// The monitors' depth; the overflow probe's.
#define CRSC_STACK_OVERFLOW_THRESHOLD 150
#define CRSC_SELF_THREAD_MAX_ADDRESSES 97
#define CRSC_CONTEXT_WORDS 240

typedef struct CRStackCursor {
    struct {
        uintptr_t address;  // return or instruction address
        const char* imageName;
        uintptr_t imageAddress;
        const char* symbolName;
        uintptr_t symbolAddress;
    } stackEntry;
    struct {
        int32_t currentDepth;
        bool hasGivenUp;
        // The entry is an interrupted instruction (a context's pc), not a return address:
        // it is looked up at itself rather than at address - 1.
        bool isExactAddress;
    } state;
    void (*resetCursor)(struct CRStackCursor*);
    bool (*advanceCursor)(struct CRStackCursor*);
    bool (*symbolicate)(struct CRStackCursor*);
    uint64_t context[CRSC_CONTEXT_WORDS];  // private to the walker
} CRStackCursor;

// Installs reset / advance (NULL: the defaults, which clear the entry and produce
// nothing) and the symbolicator, then resets.
void crsc_initCursor(CRStackCursor* cursor, void (*reset)(CRStackCursor*), bool (*advance)(CRStackCursor*));
void crsc_resetCursor(CRStackCursor* cursor);

// Walks the context's thread: pc first, then each caller's return address, from the
// frame's call-frame information, else from the frame record at rbp. Stops with
// hasGivenUp at maxStackDepth entries.
void crsc_initWithMachineContext(CRStackCursor* cursor, int maxStackDepth, const CRMachineContext* context);

// Walks a list of return addresses, skipping the first skip ones; ends at the end of the
// list or an address below 2. The list must outlive the cursor.
void crsc_initWithBacktrace(CRStackCursor* cursor, const uintptr_t* addresses, int count, int skip);

// Captures up to 97 return addresses of the calling thread into the cursor and walks
// them, leaving out this function's own frame and skip more.
void crsc_initSelfThread(CRStackCursor* cursor, int skip);

// Readies crsc_initSelfThread on the calling thread (its first use asks the thread library
// for the stack, which allocates): call before suspending the other threads.
void crsc_prepareSelfThread(void);

#ifdef __cplusplus
}
#endif
