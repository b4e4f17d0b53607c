#include <platform_foundation/FileLock.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::FileLock(const std::string& lockPath)
    : fd_(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ < 0) return;
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    held_ = rc == 0;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}
