#include <crash_core/CRCPU.h>

#include "CRCPUInternal.h"

#include <platform_kernel/ExceptionPort.h>
#include <platform_kernel/ThreadSuspend.h>

#include <cstring>

namespace {

const char* const kRegisterNames[CRMC_REGISTER_COUNT] = {
    "rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp", "rsp", "r8",     "r9", "r10",
    "r11", "r12", "r13", "r14", "r15", "rip", "rflags", "cs", "fs", "gs"};
const char* const kExceptionRegisterNames[] = {"trapno", "err", "cr2"};

enum Index { RAX, RBX, RCX, RDX, RDI, RSI, RBP, RSP, R8, R9, R10, R11, R12, R13, R14, R15, RIP, RFLAGS, CS, FS, GS };

}  // namespace

void crcpu_copyRegisters(CRMachineContext* c, const greg_t* g) {
    static const int kFrom[] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RDI, REG_RSI, REG_RBP, REG_RSP,
                                REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15,
                                REG_RIP, REG_EFL};
    for (int i = 0; i <= RFLAGS; ++i) c->registers[i] = static_cast<uint64_t>(g[kFrom[i]]);
    // cs, gs and fs share one word, 16 bits each from the low end.
    auto csgsfs = static_cast<uint64_t>(g[REG_CSGSFS]);
    c->registers[CS] = csgsfs & 0xffff;
    c->registers[GS] = (csgsfs >> 16) & 0xffff;
    c->registers[FS] = (csgsfs >> 32) & 0xffff;
    c->exceptionState.trapno = static_cast<uint64_t>(g[REG_TRAPNO]);
    c->exceptionState.err = static_cast<uint64_t>(g[REG_ERR]);
    c->exceptionState.cr2 = static_cast<uint64_t>(g[REG_CR2]);
}

extern "C" {

uintptr_t crcpu_framePointer(const CRMachineContext* c) { return c->registers[RBP]; }
uintptr_t crcpu_stackPointer(const CRMachineContext* c) { return c->registers[RSP]; }
uintptr_t crcpu_instructionAddress(const CRMachineContext* c) { return c->registers[RIP]; }
uintptr_t crcpu_linkRegister(const CRMachineContext*) { return 0; }
uintptr_t crcpu_faultAddress(const CRMachineContext* c) { return c->exceptionState.cr2; }

bool crcpu_getState(CRMachineContext* c) {
    greg_t gregs[NGREG];
    if (!crcpu_fillState(c->thread, reinterpret_cast<uint64_t*>(gregs), 1, NGREG)) return false;
    crcpu_copyRegisters(c, gregs);
    return true;
}

int crcpu_numRegisters(void) { return CRMC_REGISTER_COUNT; }

const char* crcpu_registerName(int index) {
    return index >= 0 && index < CRMC_REGISTER_COUNT ? kRegisterNames[index] : nullptr;
}

uint64_t crcpu_registerValue(const CRMachineContext* c, int index) {
    return index >= 0 && index < CRMC_REGISTER_COUNT ? c->registers[index] : 0;
}

int crcpu_numExceptionRegisters(void) { return 3; }

const char* crcpu_exceptionRegisterName(int index) {
    return index >= 0 && index < 3 ? kExceptionRegisterNames[index] : nullptr;
}

uint64_t crcpu_exceptionRegisterValue(const CRMachineContext* c, int index) {
    switch (index) {
        case 0: return c->exceptionState.trapno;
        case 1: return c->exceptionState.err;
        case 2: return c->exceptionState.cr2;
        default: return 0;
    }
}

int crcpu_stackGrowDirection(void) { return -1; }

uintptr_t crcpu_normaliseInstructionPointer(uintptr_t ip) { return ip; }

const char* crcpu_currentArch(void) { return "x86_64"; }

bool crcpu_fillState(CRThread thread, uint64_t* state, int flavour, int count) {
    if (flavour != 1 || !state || count < NGREG) return false;
    // A thread waiting in an exception message answers its faulting registers, a
    // suspended one its parked ones.
    uint32_t words = sizeof(gregset_t) / sizeof(natural_t);
    return thread_get_state(thread, CR_THREAD_STATE_GREGS, reinterpret_cast<natural_t*>(state), &words) ==
           KERN_SUCCESS;
}

}  // extern "C"
