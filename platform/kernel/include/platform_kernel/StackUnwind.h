#pragma once
// One step of a stack walk from a frame's registers to its caller's, by the call-frame
// information of .eh_frame (found through the image's PT_GNU_EH_FRAME search table).
// Async-signal-safe: the tables are read inside the image table's PT_LOAD ranges, the
// stack only through safe reads.
//
// The rules understood are those GCC emits for ordinary code: CFA = register + offset,
// registers saved at CFA offsets, advance_loc, remember / restore state. Anything else
// (expressions, signal trampolines) answers NoInformation, and the caller falls back to
// the frame record at rbp.

#include <cstddef>
#include <cstdint>

namespace kernel {

// Registers by DWARF number on x86_64: 0 rax, 1 rdx, 2 rcx, 3 rbx, 4 rsi, 5 rdi, 6 rbp,
// 7 rsp, 8-15 r8-r15, 16 the return address (rip).
constexpr int kDwarfRbp = 6;
constexpr int kDwarfRsp = 7;
constexpr int kDwarfRip = 16;
constexpr int kDwarfRegisters = 17;

struct UnwindFrame {
    uint64_t regs[kDwarfRegisters] = {};
    uint32_t valid = 0;  // bit n: regs[n] is known

    void set(int r, uint64_t v) {
        regs[r] = v;
        valid |= 1u << r;
    }
    bool has(int r) const { return valid & (1u << r); }
};

// Stack memory read in one safe read and reused by the following steps of a walk (a
// frame's callers lie just above it), so a walk costs a few reads, not two per frame.
struct StackWindow {
    uintptr_t start = 0;
    uint32_t size = 0;
    alignas(8) unsigned char bytes[1024];

    // Copies n bytes at address, refilling the window from there when it lacks them.
    // False when the memory cannot be read.
    bool read(uintptr_t address, void* out, std::size_t n);
};

enum class UnwindStep {
    Stepped,        // frame now holds the caller's registers
    End,            // the CFI marks the outermost frame (return address undefined)
    NoInformation,  // no usable CFI for this pc, or a read failed: frame unchanged
};

// Steps from the frame to its caller. isReturnAddress: the frame's rip is a return
// address (every frame but the interrupted one), so its CFI is looked up at rip - 1.
// Stack reads go through the window when one is given.
[[nodiscard]] UnwindStep unwindStep(UnwindFrame& frame, bool isReturnAddress, StackWindow* window = nullptr);

// The part of a CFI row a walk that tracks only rip, rsp and rbp needs: where the caller's
// frame (CFA) is, where its return address and rbp are saved. Offsets are from the CFA.
struct CallerRule {
    enum Rbp : uint8_t { RbpSame, RbpSaved, RbpUnknown };
    bool cfaFromRbp = false;  // CFA = rbp + cfaOffset, else rsp + cfaOffset
    int64_t cfaOffset = 0;
    int64_t returnAddressOffset = 0;
    Rbp rbp = RbpSame;
    int64_t rbpOffset = 0;  // RbpSaved: the caller's rbp is at CFA + rbpOffset
};

enum class CallerRuleLookup {
    Found,
    Outermost,      // the CFI marks the outermost frame
    NoInformation,  // no CFI for pc, or a rule that needs more than rip / rsp / rbp
};

// The caller rule in force at pc (a return address minus one, or an exact pc). Reads only
// the image tables; async-signal-safe.
[[nodiscard]] CallerRuleLookup callerRuleAt(uint64_t pc, CallerRule& rule);

}  // namespace kernel
