#include <platform_kernel/OwnStack.h>

#include <platform_kernel/ImageTable.h>
#include <platform_kernel/SafeMemory.h>
#include <platform_kernel/StackUnwind.h>

#include <atomic>
#include <cstring>
#include <pthread.h>

namespace kernel {

namespace {

// One cache word per slot, so a reader never sees half an entry:
//   bits  0-34  pc >> 12 (with the slot index this names pc exactly; user pcs are < 2^47)
//   bits 35-46  -rbpOffset / 8 (rbp saved)
//   bits 47-48  the rbp rule
//   bits 49-60  cfaOffset / 8
//   bit  61     CFA from rbp
//   bit  62     outermost frame
//   bit  63     present
// Rules that do not fit (large frames, a return address not just below the CFA) are
// looked up every time.
constexpr int kSlotBits = 12;
constexpr int kSlots = 1 << kSlotBits;
constexpr uint64_t kKeyMask = (uint64_t(1) << 35) - 1;
constexpr uint64_t kField = (1u << 12) - 1;
constexpr uint64_t kPresent = uint64_t(1) << 63;
constexpr uint64_t kOutermost = uint64_t(1) << 62;
constexpr uint64_t kFromRbp = uint64_t(1) << 61;

std::atomic<uint64_t> gSlots[kSlots];
std::atomic<uint64_t> gSlotsGeneration{~uint64_t(0)};

int slotOf(uint64_t pc) { return static_cast<int>((pc ^ (pc >> kSlotBits)) & (kSlots - 1)); }
uint64_t keyOf(uint64_t pc) { return (pc >> kSlotBits) & kKeyMask; }

enum class Lookup { Found, Outermost, NoInformation };

bool pack(uint64_t pc, const CallerRule& rule, uint64_t& word) {
    if (pc >> 47) return false;
    if (rule.returnAddressOffset != -8) return false;
    if (rule.cfaOffset < 0 || rule.cfaOffset % 8 || uint64_t(rule.cfaOffset / 8) > kField) return false;
    uint64_t rbpField = 0;
    if (rule.rbp == CallerRule::RbpSaved) {
        if (rule.rbpOffset >= 0 || rule.rbpOffset % 8 || uint64_t(-rule.rbpOffset / 8) > kField) return false;
        rbpField = uint64_t(-rule.rbpOffset / 8);
    }
    word = kPresent | (rule.cfaFromRbp ? kFromRbp : 0) | (uint64_t(rule.cfaOffset / 8) << 49) |
           (uint64_t(rule.rbp) << 47) | (rbpField << 35) | keyOf(pc);
    return true;
}

void unpack(uint64_t word, CallerRule& rule) {
    rule.cfaFromRbp = word & kFromRbp;
    rule.cfaOffset = int64_t((word >> 49) & kField) * 8;
    rule.returnAddressOffset = -8;
    rule.rbp = static_cast<CallerRule::Rbp>((word >> 47) & 3);
    rule.rbpOffset = -int64_t((word >> 35) & kField) * 8;
}

Lookup ruleAt(uint64_t pc, CallerRule& rule) {
    std::atomic<uint64_t>& slot = gSlots[slotOf(pc)];
    uint64_t word = slot.load(std::memory_order_relaxed);
    if ((word & kPresent) && (word & kKeyMask) == keyOf(pc)) {
        if (word & kOutermost) return Lookup::Outermost;
        unpack(word, rule);
        return Lookup::Found;
    }
    switch (callerRuleAt(pc, rule)) {
        case CallerRuleLookup::Found:
            if (pack(pc, rule, word)) slot.store(word, std::memory_order_relaxed);
            return Lookup::Found;
        case CallerRuleLookup::Outermost:
            if (!(pc >> 47)) slot.store(kPresent | kOutermost | keyOf(pc), std::memory_order_relaxed);
            return Lookup::Outermost;
        case CallerRuleLookup::NoInformation:
            break;
    }
    return Lookup::NoInformation;
}

// Rules of images that may have gone are dropped before a walk uses them.
void forgetStaleRules() {
    uint64_t generation = imageTableGeneration();
    if (gSlotsGeneration.load(std::memory_order_acquire) == generation) return;
    for (auto& slot : gSlots) slot.store(0, std::memory_order_relaxed);
    gSlotsGeneration.store(generation, std::memory_order_release);
}

// The calling thread's stack, asked once per thread; {0, 0} when unknown.
struct StackBounds {
    uintptr_t low = 0;
    uintptr_t high = 0;
    bool asked = false;
};
thread_local StackBounds tStack;

const StackBounds& ownStack() {
    if (!tStack.asked) {
        tStack.asked = true;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* address = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &address, &size) == 0) {
                tStack.low = reinterpret_cast<uintptr_t>(address);
                tStack.high = tStack.low + size;
            }
            pthread_attr_destroy(&attr);
        }
    }
    return tStack;
}

// Stack words between the walk's start and the top of the thread's stack are read
// directly, others safely.
struct WordReader {
    uintptr_t low = 0;
    uintptr_t high = 0;

    bool read(uint64_t address, uint64_t& value) const {
        if (address >= low && address < high && high - address >= sizeof value && address % 8 == 0) {
            std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
            return true;
        }
        return safeRead(reinterpret_cast<const void*>(address), &value, sizeof value);
    }
};

}  // namespace

void prepareOwnStackCapture() { (void)ownStack(); }

__attribute__((noinline)) int captureOwnReturnAddresses(uintptr_t* out, int max) {
    const auto* frame = static_cast<const uint64_t*>(__builtin_frame_address(0));
    const auto start = reinterpret_cast<uintptr_t>(frame);
    WordReader reader;
    const StackBounds& stack = ownStack();
    if (start >= stack.low && start < stack.high) {
        reader.low = start;
        reader.high = stack.high;
    }
    forgetStaleRules();

    // This function's frame record gives the caller's registers at its call.
    uint64_t ra = frame[1];
    uint64_t rbp = frame[0];
    bool rbpKnown = true;
    uint64_t rsp = start + 16;
    int n = 0;
    while (n < max && ra >= 2) {
        out[n++] = ra;
        CallerRule rule;
        uint64_t nextRa = 0, nextRsp = 0;
        switch (ruleAt(ra - 1, rule)) {
            case Lookup::Outermost:
                return n;
            case Lookup::Found: {
                if (rule.cfaFromRbp && !rbpKnown) return n;
                const uint64_t cfa = (rule.cfaFromRbp ? rbp : rsp) + static_cast<uint64_t>(rule.cfaOffset);
                if (!reader.read(cfa + static_cast<uint64_t>(rule.returnAddressOffset), nextRa)) return n;
                if (rule.rbp == CallerRule::RbpSaved) {
                    if (!reader.read(cfa + static_cast<uint64_t>(rule.rbpOffset), rbp)) return n;
                } else if (rule.rbp == CallerRule::RbpUnknown) {
                    rbpKnown = false;
                }
                nextRsp = cfa;
                break;
            }
            case Lookup::NoInformation: {
                // The frame record at rbp: the caller's rbp, then the return address.
                uint64_t savedRbp = 0;
                if (!rbpKnown || rbp < rsp || !reader.read(rbp, savedRbp) || !reader.read(rbp + 8, nextRa)) return n;
                nextRsp = rbp + 16;
                rbp = savedRbp;
                break;
            }
        }
        // A caller's frame lies above its callee's; anything else is a broken chain.
        if (nextRsp <= rsp) return n;
        rsp = nextRsp;
        ra = nextRa;
    }
    return n;
}

}  // namespace kernel
