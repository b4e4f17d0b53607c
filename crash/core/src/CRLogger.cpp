#include <crash_core/CRFileUtils.h>
#include <crash_core/CRLogger.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

char gPath[1024];
std::atomic<int> gFd{STDOUT_FILENO};

}  // namespace

extern "C" {

void crlog_log(const char* format, ...) {
    char line[CRLOG_LINE_LENGTH];
    int n;
    if (!format) {
        n = std::snprintf(line, sizeof line, "(null)");
    } else {
        va_list args;
        va_start(args, format);
        n = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
    }
    if (n < 0) return;
    if (n >= static_cast<int>(sizeof line)) n = sizeof line - 1;
    int fd = gFd.load();
    crfu_writeBytesToFD(fd, line, n);
    if (fd != STDOUT_FILENO) crfu_writeBytesToFD(STDOUT_FILENO, line, n);
}

bool crlog_setLogFilename(const char* filename, bool overwrite) {
    if (!filename) return false;
    int fd = open(filename, O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_APPEND), 0644);
    if (fd < 0) {
        crlog_log("CRLogger: Could not open %s: %s", filename, std::strerror(errno));
        return false;
    }
    if (gPath != filename) {
        std::strncpy(gPath, filename, sizeof gPath - 1);
        gPath[sizeof gPath - 1] = '\0';
    }
    int previous = gFd.exchange(fd);
    if (previous > 2) close(previous);
    return true;
}

bool crlog_clearLogFile(void) {
    return gPath[0] && crlog_setLogFilename(gPath, true);
}

}  // extern "C"
