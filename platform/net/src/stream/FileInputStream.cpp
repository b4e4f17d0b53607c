#include "stream/FileInputStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileInputStream::~FileInputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void FileInputStream::open() {
    if (streamStatus() != NSStreamStatusNotOpen) return;
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setStreamError(posixError(errno));
        return;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        setStreamError(posixError(EISDIR));
        return;
    }
    {
        std::lock_guard lock(stateMutex_);
        fd_ = fd;
        if (offset_ > 0) ::lseek(fd_, offset_, SEEK_SET);
        setStreamStatusLocked(NSStreamStatusOpen);
    }
    postEvent(NSStreamEventOpenCompleted);
    postEvent(NSStreamEventHasBytesAvailable);
}

void FileInputStream::close() {
    {
        std::lock_guard lock(stateMutex_);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    NSStream::close();
}

int64_t FileInputStream::read(uint8_t* buffer, std::size_t maxLength) {
    ssize_t n;
    {
        std::lock_guard lock(stateMutex_);
        switch (streamStatusLocked()) {
            case NSStreamStatusOpen: break;
            case NSStreamStatusAtEnd:
            case NSStreamStatusClosed: return 0;
            default: return -1;
        }
        if (!buffer && maxLength > 0) return -1;
        do {
            n = ::read(fd_, buffer, maxLength);
        } while (n < 0 && errno == EINTR);
        if (n > 0) offset_ += n;
        if (n == 0 && maxLength > 0) setStreamStatusLocked(NSStreamStatusAtEnd);
    }
    if (n < 0) {
        setStreamError(posixError(errno));
        return -1;
    }
    postEvent(n == 0 && maxLength > 0 ? NSStreamEventEndEncountered : NSStreamEventHasBytesAvailable);
    return n;
}

bool FileInputStream::hasBytesAvailable() const {
    std::lock_guard lock(stateMutex_);
    return streamStatusLocked() == NSStreamStatusOpen;
}

Value FileInputStream::propertyForKey(const std::string& key) const {
    if (key != NSStreamFileCurrentOffsetKey) return Value();
    std::lock_guard lock(stateMutex_);
    return Value(offset_);
}

bool FileInputStream::setProperty(const Value& property, const std::string& key) {
    if (key != NSStreamFileCurrentOffsetKey || !property.isNumber()) return false;
    int64_t offset = property.asInt();
    if (offset < 0) return false;
    std::lock_guard lock(stateMutex_);
    if (fd_ >= 0 && ::lseek(fd_, offset, SEEK_SET) < 0) return false;
    offset_ = offset;
    if (streamStatusLocked() == NSStreamStatusAtEnd) setStreamStatusLocked(NSStreamStatusOpen);
    return true;
}

void FileInputStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    NSStream::scheduleInRunLoop(runLoop, mode);
    switch (streamStatus()) {
        case NSStreamStatusOpen: postEvent(NSStreamEventHasBytesAvailable); break;
        case NSStreamStatusAtEnd: postEvent(NSStreamEventEndEncountered); break;
        default: break;
    }
}
