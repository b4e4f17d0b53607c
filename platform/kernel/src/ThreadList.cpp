#include <platform_kernel/ThreadList.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kernel {

namespace {

std::atomic<int> gTaskDir{-1};

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

int listFrom(int fd, pid_t* tids, int capacity) {
    alignas(8) char buffer[4096];
    int count = 0;
    for (;;) {
        long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) return count;
        for (long off = 0; off < n;) {
            auto* d = reinterpret_cast<LinuxDirent64*>(buffer + off);
            off += d->d_reclen;
            const char* p = d->d_name;
            if (*p < '0' || *p > '9') continue;
            pid_t tid = 0;
            while (*p >= '0' && *p <= '9') tid = tid * 10 + (*p++ - '0');
            if (count < capacity && tids) tids[count] = tid;
            ++count;
        }
    }
}

}  // namespace

void prepareThreadList() {
    if (gTaskDir.load() >= 0) return;
    int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int none = -1;
    if (fd >= 0 && !gTaskDir.compare_exchange_strong(none, fd)) ::close(fd);
}

int listThreads(pid_t* tids, int capacity) {
    // A fresh descriptor has its own offset, so two listings never disturb each other;
    // the prepared one (rewound) serves when no descriptor is left.
    int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        int n = listFrom(fd, tids, capacity);
        ::close(fd);
        return n;
    }
    fd = gTaskDir.load();
    if (fd < 0 || lseek(fd, 0, SEEK_SET) != 0) return -1;
    return listFrom(fd, tids, capacity);
}

pid_t currentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

}  // namespace kernel
