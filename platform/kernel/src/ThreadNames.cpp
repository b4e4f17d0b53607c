#include <platform_kernel/ThreadNames.h>

#include <platform_kernel/ProcFile.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kernel {

namespace {

// A slot is claimed by CAS of its tid; its text is guarded by a sequence counter that is
// odd while a writer changes it, so a reader retries rather than taking half a name.
struct Slot {
    std::atomic<pid_t> tid{0};
    std::atomic<uint32_t> sequence{0};
    char name[kThreadNameCapacity + 1];
};

constexpr int kSlots = 512;
Slot gSlots[kSlots];

Slot* find(pid_t tid) {
    for (auto& s : gSlots)
        if (s.tid.load(std::memory_order_acquire) == tid) return &s;
    return nullptr;
}

Slot* claim(pid_t tid) {
    if (Slot* s = find(tid)) return s;
    for (auto& s : gSlots) {
        pid_t none = 0;
        if (s.tid.compare_exchange_strong(none, tid, std::memory_order_acq_rel)) return &s;
    }
    return nullptr;
}

std::size_t cutAtCharacter(const char* name, std::size_t limit) {
    std::size_t n = std::strlen(name);
    if (n <= limit) return n;
    while (limit > 0 && (static_cast<unsigned char>(name[limit]) & 0xC0) == 0x80) --limit;
    return limit;
}

void formatCommPath(pid_t tid, char* path) {
    char digits[16];
    int n = 0;
    for (unsigned v = static_cast<unsigned>(tid); n == 0 || v; v /= 10) digits[n++] = char('0' + v % 10);
    std::memcpy(path, "/proc/self/task/", 16);
    char* p = path + 16;
    while (n) *p++ = digits[--n];
    std::memcpy(p, "/comm", 6);
}

}  // namespace

void setThreadName(pid_t tid, const char* name) {
    if (tid <= 0) return;
    if (!name || !*name) {
        forgetThreadName(tid);
        return;
    }
    if (Slot* s = claim(tid)) {
        std::size_t n = cutAtCharacter(name, kThreadNameCapacity);
        s->sequence.fetch_add(1, std::memory_order_acq_rel);
        std::memcpy(s->name, name, n);
        s->name[n] = '\0';
        s->sequence.fetch_add(1, std::memory_order_release);
    }
    char path[48];
    formatCommPath(tid, path);
    int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        std::size_t n = cutAtCharacter(name, 15);
        (void)!::write(fd, name, n);
        ::close(fd);
    }
}

void forgetThreadName(pid_t tid) {
    if (Slot* s = find(tid)) s->tid.store(0, std::memory_order_release);
}

bool threadName(pid_t tid, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return false;
    buffer[0] = '\0';
    if (Slot* s = find(tid)) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            uint32_t before = s->sequence.load(std::memory_order_acquire);
            if (before & 1) continue;
            std::size_t i = 0;
            for (; i + 1 < capacity && i < kThreadNameCapacity && s->name[i]; ++i) buffer[i] = s->name[i];
            buffer[i] = '\0';
            std::atomic_thread_fence(std::memory_order_acquire);
            if (s->sequence.load(std::memory_order_relaxed) == before && s->tid.load() == tid)
                return buffer[0] != '\0';
        }
    }
    char path[48];
    char comm[32];
    formatCommPath(tid, path);
    long n = readProcFile(path, comm, sizeof comm);
    if (n <= 0) return false;
    if (comm[n - 1] == '\n') comm[--n] = '\0';
    std::size_t i = 0;
    for (; i + 1 < capacity && comm[i]; ++i) buffer[i] = comm[i];
    buffer[i] = '\0';
    return buffer[0] != '\0';
}

}  // namespace kernel
