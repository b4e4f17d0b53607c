#include <platform_kernel/ProcFile.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kernel {

long readProcFile(const char* path, char* buffer, std::size_t capacity) {
    if (!path || !buffer || capacity == 0) return -1;
    int fd;
    do fd = ::open(path, O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    std::size_t used = 0;
    bool failed = false;
    while (used + 1 < capacity) {
        ssize_t n = ::read(fd, buffer + used, capacity - 1 - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    buffer[used] = '\0';
    return failed ? -1 : static_cast<long>(used);
}

bool procField(const char* text, const char* key, int64_t* value) {
    if (!text || !key || !value) return false;
    for (const char* line = text; *line;) {
        const char* k = key;
        const char* p = line;
        while (*k && *p == *k) ++p, ++k;
        if (!*k && *p == ':') {
            ++p;
            while (*p == ' ' || *p == '\t') ++p;
            bool negative = *p == '-';
            if (negative) ++p;
            if (*p < '0' || *p > '9') return false;
            int64_t v = 0;
            while (*p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
            *value = negative ? -v : v;
            return true;
        }
        while (*line && *line != '\n') ++line;
        if (*line == '\n') ++line;
    }
    return false;
}

}  // namespace kernel
