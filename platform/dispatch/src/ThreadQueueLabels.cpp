#include <platform_dispatch/ThreadQueueLabels.h>

#include <atomic>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct Slot {
    std::atomic<pid_t> tid{0};
    std::atomic<const char*> label{nullptr};
};

constexpr int kSlots = 1024;
Slot gSlots[kSlots];

// The calling thread's slot, claimed on its first block and given back when it ends.
struct SlotOwner {
    Slot* slot = nullptr;
    ~SlotOwner() {
        if (!slot) return;
        slot->label.store(nullptr, std::memory_order_relaxed);
        slot->tid.store(0, std::memory_order_release);
    }
    Slot* get() {
        if (slot) return slot;
        pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
        for (auto& s : gSlots) {
            pid_t none = 0;
            if (s.tid.compare_exchange_strong(none, tid, std::memory_order_acq_rel)) return slot = &s;
        }
        return nullptr;  // more than kSlots threads run blocks: this one goes unlabelled
    }
};

thread_local SlotOwner tlsSlot;

}  // namespace

namespace dispatch_detail {

const char* exchangeCurrentQueueLabel(const char* label) {
    Slot* s = tlsSlot.get();
    return s ? s->label.exchange(label, std::memory_order_release) : nullptr;
}

}  // namespace dispatch_detail

const char* dispatchQueueLabelAddressOfThread(pid_t tid) {
    if (tid <= 0) return nullptr;
    for (auto& s : gSlots)
        if (s.tid.load(std::memory_order_acquire) == tid) return s.label.load(std::memory_order_acquire);
    return nullptr;
}
