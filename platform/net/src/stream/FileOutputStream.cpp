#include "stream/FileOutputStream.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FileOutputStream::~FileOutputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void FileOutputStream::open() {
    if (streamStatus() != NSStreamStatusNotOpen) return;
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append_ ? O_APPEND : O_TRUNC), 0644);
    if (fd < 0) {
        setStreamError(posixError(errno));
        return;
    }
    {
        std::lock_guard lock(stateMutex_);
        fd_ = fd;
        offset_ = append_ ? ::lseek(fd, 0, SEEK_END) : 0;
        setStreamStatusLocked(NSStreamStatusOpen);
    }
    postEvent(NSStreamEventOpenCompleted);
    postEvent(NSStreamEventHasSpaceAvailable);
}

void FileOutputStream::close() {
    {
        std::lock_guard lock(stateMutex_);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    NSStream::close();
}

int64_t FileOutputStream::write(const uint8_t* buffer, std::size_t maxLength) {
    ssize_t n;
    {
        std::lock_guard lock(stateMutex_);
        if (streamStatusLocked() != NSStreamStatusOpen) return -1;
        if (!buffer && maxLength > 0) return -1;
        do {
            n = ::write(fd_, buffer, maxLength);
        } while (n < 0 && errno == EINTR);
        if (n > 0) offset_ += n;
    }
    if (n < 0) {
        setStreamError(posixError(errno));
        return -1;
    }
    postEvent(NSStreamEventHasSpaceAvailable);
    return n;
}

bool FileOutputStream::hasSpaceAvailable() const {
    std::lock_guard lock(stateMutex_);
    return streamStatusLocked() == NSStreamStatusOpen;
}

Value FileOutputStream::propertyForKey(const std::string& key) const {
    if (key != NSStreamFileCurrentOffsetKey) return Value();
    std::lock_guard lock(stateMutex_);
    return Value(offset_);
}

void FileOutputStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    NSStream::scheduleInRunLoop(runLoop, mode);
    if (streamStatus() == NSStreamStatusOpen) postEvent(NSStreamEventHasSpaceAvailable);
}
