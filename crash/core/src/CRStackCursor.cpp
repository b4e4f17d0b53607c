#include <crash_core/CRCPU.h>
#include <crash_core/CRStackCursor.h>
#include <crash_core/CRSymbolicator.h>

#include <platform_kernel/OwnStack.h>
#include <platform_kernel/SafeMemory.h>
#include <platform_kernel/StackUnwind.h>

#include <cstring>
#include <new>

namespace {

// The machine-context walker's private state.
struct ContextWalk {
    const CRMachineContext* context;
    int maxStackDepth;
    bool started;   // the pc entry was produced
    bool finished;
    kernel::UnwindFrame frame;
    kernel::StackWindow window;
};

// The address-list walker's private state; the self-thread form keeps its own list.
struct ListWalk {
    const uintptr_t* addresses;
    int count;
    int skip;
    int index;
    uintptr_t own[CRSC_SELF_THREAD_MAX_ADDRESSES];
};

static_assert(sizeof(ContextWalk) <= sizeof(CRStackCursor::context));
static_assert(sizeof(ListWalk) <= sizeof(CRStackCursor::context));

template <class T>
T* walk(CRStackCursor* c) {
    return std::launder(reinterpret_cast<T*>(c->context));
}

void clearEntry(CRStackCursor* c) {
    std::memset(&c->stackEntry, 0, sizeof c->stackEntry);
    c->state.currentDepth = 0;
    c->state.hasGivenUp = false;
    c->state.isExactAddress = false;
}

bool advanceNothing(CRStackCursor*) { return false; }

void resetContextWalk(CRStackCursor* c) {
    clearEntry(c);
    ContextWalk* w = walk<ContextWalk>(c);
    w->started = false;
    w->finished = false;
    w->frame = kernel::UnwindFrame{};
    w->window.start = 0;
    w->window.size = 0;
    const CRMachineContext* m = w->context;
    // The interrupted frame knows every register; callers learn theirs from the CFI.
    static const int kDwarfOf[] = {0, 3, 2, 1, 5, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (int i = 0; i < 17; ++i) w->frame.set(kDwarfOf[i], crcpu_registerValue(m, i));
}

bool produce(CRStackCursor* c, uintptr_t address, bool exact) {
    c->stackEntry.address = crcpu_normaliseInstructionPointer(address);
    c->stackEntry.imageName = nullptr;
    c->stackEntry.imageAddress = 0;
    c->stackEntry.symbolName = nullptr;
    c->stackEntry.symbolAddress = 0;
    c->state.isExactAddress = exact;
    c->state.currentDepth++;
    return true;
}

// The caller of a frame from its frame record at rbp: [rbp] the caller's rbp, [rbp + 8]
// the return address.
bool stepByFrameRecord(kernel::UnwindFrame& f, kernel::StackWindow& window) {
    if (!f.has(kernel::kDwarfRbp)) return false;
    uint64_t record[2];
    uint64_t rbp = f.regs[kernel::kDwarfRbp];
    if (!window.read(rbp, record, sizeof record)) return false;
    if (record[0] == 0 || record[1] == 0) return false;
    kernel::UnwindFrame next;
    next.set(kernel::kDwarfRbp, record[0]);
    next.set(kernel::kDwarfRsp, rbp + 16);
    next.set(kernel::kDwarfRip, record[1]);
    f = next;
    return true;
}

bool advanceContextWalk(CRStackCursor* c) {
    ContextWalk* w = walk<ContextWalk>(c);
    if (c->state.currentDepth >= w->maxStackDepth) {
        c->state.hasGivenUp = true;
        return false;
    }
    if (w->finished) return false;
    if (!w->started) {
        w->started = true;
        uintptr_t pc = crcpu_instructionAddress(w->context);
        if (pc == 0) {
            w->finished = true;
            return false;
        }
        return produce(c, pc, true);
    }
    // The first frame's pc is the interrupted instruction; later ones are return addresses.
    bool isReturnAddress = c->state.currentDepth > 1;
    uint64_t oldSp = w->frame.has(kernel::kDwarfRsp) ? w->frame.regs[kernel::kDwarfRsp] : 0;
    switch (kernel::unwindStep(w->frame, isReturnAddress, &w->window)) {
        case kernel::UnwindStep::Stepped:
            break;
        case kernel::UnwindStep::End:
            w->finished = true;
            return false;
        case kernel::UnwindStep::NoInformation:
            if (!stepByFrameRecord(w->frame, w->window)) {
                w->finished = true;
                return false;
            }
            break;
    }
    uint64_t ip = w->frame.regs[kernel::kDwarfRip];
    // A caller's frame lies above its callee's; anything else is a corrupted chain.
    if (ip < 2 || (oldSp && w->frame.has(kernel::kDwarfRsp) && w->frame.regs[kernel::kDwarfRsp] <= oldSp)) {
        w->finished = true;
        return false;
    }
    return produce(c, ip, false);
}

void resetListWalk(CRStackCursor* c) {
    clearEntry(c);
    walk<ListWalk>(c)->index = 0;
}

bool advanceListWalk(CRStackCursor* c) {
    ListWalk* w = walk<ListWalk>(c);
    int at = w->skip + w->index;
    if (at >= w->count) return false;
    uintptr_t a = w->addresses[at];
    if (a < 2) return false;
    w->index++;
    return produce(c, a, false);
}

}  // namespace

extern "C" {

void crsc_resetCursor(CRStackCursor* cursor) {
    clearEntry(cursor);
}

void crsc_initCursor(CRStackCursor* cursor, void (*reset)(CRStackCursor*), bool (*advance)(CRStackCursor*)) {
    cursor->resetCursor = reset ? reset : crsc_resetCursor;
    cursor->advanceCursor = advance ? advance : advanceNothing;
    cursor->symbolicate = crsymbolicator_symbolicate;
    cursor->resetCursor(cursor);
}

void crsc_initWithMachineContext(CRStackCursor* cursor, int maxStackDepth, const CRMachineContext* context) {
    ContextWalk* w = new (cursor->context) ContextWalk{};
    w->context = context;
    w->maxStackDepth = maxStackDepth;
    crsc_initCursor(cursor, resetContextWalk, advanceContextWalk);
}

void crsc_initWithBacktrace(CRStackCursor* cursor, const uintptr_t* addresses, int count, int skip) {
    ListWalk* w = new (cursor->context) ListWalk{};
    w->addresses = addresses;
    w->count = addresses ? count : 0;
    w->skip = skip < 0 ? 0 : skip;
    crsc_initCursor(cursor, resetListWalk, advanceListWalk);
}

void crsc_prepareSelfThread(void) { kernel::prepareOwnStackCapture(); }

__attribute__((noinline)) void crsc_initSelfThread(CRStackCursor* cursor, int skip) {
    ListWalk* w = new (cursor->context) ListWalk{};
    // The list starts at the return address into this function.
    w->count = kernel::captureOwnReturnAddresses(w->own, CRSC_SELF_THREAD_MAX_ADDRESSES);
    w->addresses = w->own;
    w->skip = (skip < 0 ? 0 : skip) + 1;
    crsc_initCursor(cursor, resetListWalk, advanceListWalk);
}

}  // extern "C"
