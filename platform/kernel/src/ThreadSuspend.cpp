#include <platform_kernel/ThreadSuspend.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kernel {

namespace {

// A slot's key packs tid and state, so claiming, parking and abandoning are single CASes:
// a handler can never park in a slot that its suspender has already given up.
enum State : uint64_t { Requested = 1, Parked = 2, Released = 3, Abandoned = 4 };

uint64_t key(pid_t tid, State s) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(tid)) << 8) | s;
}

struct Slot {
    std::atomic<uint64_t> key{0};
    std::atomic<uint32_t> sequence{0};  // futex word: bumped on every state change
    greg_t registers[NGREG];
};

constexpr int kSlots = 1024;
Slot gSlots[kSlots];
std::atomic<bool> gInstalled{false};

long futex(std::atomic<uint32_t>* word, int op, uint32_t value, const timespec* timeout) {
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), op, value, timeout, nullptr, 0);
}

void wake(Slot& s) {
    s.sequence.fetch_add(1, std::memory_order_acq_rel);
    futex(&s.sequence, FUTEX_WAKE, INT_MAX, nullptr);
}

pid_t selfTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void onSuspendSignal(int, siginfo_t*, void* context) {
    int savedErrno = errno;
    pid_t tid = selfTid();
    for (auto& s : gSlots) {
        uint64_t expected = key(tid, Requested);
        if (s.key.load(std::memory_order_acquire) != expected) continue;
        auto* uc = static_cast<ucontext_t*>(context);
        std::memcpy(s.registers, uc->uc_mcontext.gregs, sizeof s.registers);
        if (!s.key.compare_exchange_strong(expected, key(tid, Parked), std::memory_order_acq_rel)) continue;
        wake(s);
        for (;;) {
            uint32_t seq = s.sequence.load(std::memory_order_acquire);
            if (s.key.load(std::memory_order_acquire) != key(tid, Parked)) break;
            futex(&s.sequence, FUTEX_WAIT, seq, nullptr);
        }
        s.key.store(0, std::memory_order_release);
        break;
    }
    errno = savedErrno;
}

Slot* parkedSlot(pid_t tid) {
    for (auto& s : gSlots)
        if (s.key.load(std::memory_order_acquire) == key(tid, Parked)) return &s;
    return nullptr;
}

}  // namespace

int suspendSignal() { return SIGRTMIN + 7; }

bool prepareThreadSuspension() {
    if (gInstalled.load()) return true;
    struct sigaction sa {};
    sa.sa_sigaction = onSuspendSignal;
    sa.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigfillset(&sa.sa_mask);
    // Faults still reach their handlers while a thread is parked.
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT}) sigdelset(&sa.sa_mask, sig);
    if (sigaction(suspendSignal(), &sa, nullptr) != 0) return false;
    gInstalled.store(true);
    return true;
}

bool suspendThread(pid_t tid, int timeoutMs) {
    if (tid <= 0 || tid == selfTid() || !prepareThreadSuspension()) return false;
    if (parkedSlot(tid)) return true;
    Slot* slot = nullptr;
    for (auto& s : gSlots) {
        uint64_t none = 0;
        if (s.key.compare_exchange_strong(none, key(tid, Requested), std::memory_order_acq_rel)) {
            slot = &s;
            break;
        }
    }
    if (!slot) return false;
    if (syscall(SYS_tgkill, static_cast<pid_t>(syscall(SYS_getpid)), tid, suspendSignal()) != 0) {
        slot->key.store(0, std::memory_order_release);
        return false;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        uint32_t seq = slot->sequence.load(std::memory_order_acquire);
        if (slot->key.load(std::memory_order_acquire) == key(tid, Parked)) return true;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        long elapsedMs = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsedMs >= timeoutMs) break;
        long leftMs = timeoutMs - elapsedMs;
        timespec wait{leftMs / 1000, (leftMs % 1000) * 1000000};
        futex(&slot->sequence, FUTEX_WAIT, seq, &wait);
    }
    uint64_t expected = key(tid, Requested);
    if (slot->key.compare_exchange_strong(expected, key(tid, Abandoned), std::memory_order_acq_rel)) {
        slot->key.store(0, std::memory_order_release);
        return false;
    }
    return expected == key(tid, Parked);
}

bool resumeThread(pid_t tid) {
    Slot* s = parkedSlot(tid);
    if (!s) return false;
    uint64_t expected = key(tid, Parked);
    if (!s->key.compare_exchange_strong(expected, key(tid, Released), std::memory_order_acq_rel)) return false;
    wake(*s);
    return true;
}

bool suspendedThreadRegisters(pid_t tid, greg_t (&registers)[NGREG]) {
    Slot* s = parkedSlot(tid);
    if (!s) return false;
    std::memcpy(registers, s->registers, sizeof registers);
    return true;
}

}  // namespace kernel
