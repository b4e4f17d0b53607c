#include <platform_kernel/SafeMemory.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kernel {

namespace {

enum Mode : int { Unprobed = 0, VmRead = 1, Pipe = 2 };

std::atomic<int> gMode{Unprobed};
std::atomic<int> gPipeRead{-1}, gPipeWrite{-1};
std::atomic<bool> gPipeBusy{false};

// One pipe transfer is at most a page (x86_64 pages are 4 KiB), so the pipe never fills
// and never blocks.
constexpr std::size_t kPipeChunk = 4096;

std::size_t vmRead(const void* source, void* destination, std::size_t count) {
    std::size_t done = 0;
    pid_t pid = static_cast<pid_t>(syscall(SYS_getpid));
    while (done < count) {
        iovec local{static_cast<char*>(destination) + done, count - done};
        iovec remote{const_cast<char*>(static_cast<const char*>(source)) + done, count - done};
        ssize_t n = process_vm_readv(pid, &local, 1, &remote, 1, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t pipeTransfer(int rd, int wr, const void* source, void* destination, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        // A write that meets an unreadable byte fails whole, so no chunk crosses a page:
        // the readable prefix then ends exactly where the readable pages do.
        auto at = reinterpret_cast<uintptr_t>(source) + done;
        std::size_t toPageEnd = kPipeChunk - (at & (kPipeChunk - 1));
        std::size_t want = count - done < toPageEnd ? count - done : toPageEnd;
        ssize_t n = ::write(wr, static_cast<const char*>(source) + done, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::size_t got = 0;
        while (got < static_cast<std::size_t>(n)) {
            ssize_t r = ::read(rd, static_cast<char*>(destination) + done + got, static_cast<std::size_t>(n) - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return done + got;
            got += static_cast<std::size_t>(r);
        }
        done += got;
        if (static_cast<std::size_t>(n) < want) break;
    }
    return done;
}

std::size_t pipeRead(const void* source, void* destination, std::size_t count) {
    // The shared pipe serves one reader at a time; a reader that finds it taken (another
    // thread, or the code this signal interrupted) makes its own.
    bool expected = false;
    int rd = gPipeRead.load(), wr = gPipeWrite.load();
    if (rd >= 0 && gPipeBusy.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
        std::size_t n = pipeTransfer(rd, wr, source, destination, count);
        gPipeBusy.store(false, std::memory_order_release);
        return n;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return 0;
    std::size_t n = pipeTransfer(fds[0], fds[1], source, destination, count);
    ::close(fds[0]);
    ::close(fds[1]);
    return n;
}

void openPipe() {
    if (gPipeRead.load() >= 0) return;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    int none = -1;
    if (!gPipeRead.compare_exchange_strong(none, fds[0])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    gPipeWrite.store(fds[1]);
}

int probe() {
    uint64_t word = 0x5AFE, copy = 0;
    iovec local{&copy, sizeof copy};
    iovec remote{&word, sizeof word};
    pid_t pid = static_cast<pid_t>(syscall(SYS_getpid));
    if (process_vm_readv(pid, &local, 1, &remote, 1, 0) == static_cast<ssize_t>(sizeof word) && copy == word)
        return VmRead;
    return Pipe;
}

int mode() {
    int m = gMode.load(std::memory_order_relaxed);
    if (m != Unprobed) return m;
    m = probe();
    int expected = Unprobed;
    gMode.compare_exchange_strong(expected, m);
    return gMode.load();
}

}  // namespace

void prepareSafeMemory() {
    openPipe();
    (void)mode();
}

std::size_t safeReadPrefix(const void* source, void* destination, std::size_t count) {
    if (!source || !destination || count == 0) return 0;
    // Addresses past the user half (or wrapping around) are never ours to read.
    auto start = reinterpret_cast<uintptr_t>(source);
    if (start + count < start || start + count > (uintptr_t(1) << 47)) {
        if (start >= (uintptr_t(1) << 47)) return 0;
        count = static_cast<std::size_t>((uintptr_t(1) << 47) - start);
    }
    return mode() == VmRead ? vmRead(source, destination, count) : pipeRead(source, destination, count);
}

bool safeRead(const void* source, void* destination, std::size_t count) {
    return count > 0 && safeReadPrefix(source, destination, count) == count;
}

void safeMemoryUsePipeForTesting(bool usePipe) {
    if (usePipe) openPipe();
    gMode.store(usePipe ? Pipe : probe());
}

}  // namespace kernel
