#include <platform_foundation/NSFileHandle.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<NSFileHandle> NSFileHandle::open(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && (flags & O_ACCMODE) == O_RDONLY) {
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<NSFileHandle>(fd, true);
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleForReadingAtPath(const std::string& path) {
    return open(path, O_RDONLY);
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleForWritingAtPath(const std::string& path) {
    return open(path, O_WRONLY);
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleForUpdatingAtPath(const std::string& path) {
    return open(path, O_RDWR);
}

NSFileHandle::NSFileHandle(int fileDescriptor, bool closeOnDealloc)
    : fd_(fileDescriptor), closeOnDealloc_(closeOnDealloc) {}

NSFileHandle::~NSFileHandle() {
    if (fd_ >= 0 && closeOnDealloc_) ::close(fd_);
}

void NSFileHandle::raiseErrno(const char* selector, int err) {
    NSException::raise(NSFileHandleOperationException,
                       std::string("*** -[NSFileHandle ") + selector + "]: " + std::strerror(err));
}

int NSFileHandle::checkedDescriptor(const char* selector) const {
    if (fd_ < 0)
        NSException::raise(NSFileHandleOperationException,
                           std::string("*** -[NSFileHandle ") + selector + "]: file handle is closed");
    return fd_;
}

int NSFileHandle::fileDescriptor() const {
    std::lock_guard lock(mutex_);
    return checkedDescriptor("fileDescriptor");
}

NSFileHandle::Data NSFileHandle::readDataToEndOfFile() {
    std::lock_guard lock(mutex_);
    int fd = checkedDescriptor("readDataToEndOfFile");
    Data out;
    uint8_t buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raiseErrno("readDataToEndOfFile", errno);
        if (n == 0) return out;
        out.insert(out.end(), buf, buf + n);
    }
}

NSFileHandle::Data NSFileHandle::readDataOfLength(std::size_t length) {
    std::lock_guard lock(mutex_);
    int fd = checkedDescriptor("readDataOfLength:");
    Data out;
    uint8_t buf[65536];
    while (out.size() < length) {
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, length - out.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raiseErrno("readDataOfLength:", errno);
        if (n == 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

void NSFileHandle::writeData(const Data& data) { writeData(data.data(), data.size()); }

void NSFileHandle::writeData(const void* bytes, std::size_t length) {
    std::lock_guard lock(mutex_);
    int fd = checkedDescriptor("writeData:");
    const auto* p = static_cast<const uint8_t*>(bytes);
    while (length > 0) {
        ssize_t n = ::write(fd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raiseErrno("writeData:", errno);
        p += n;
        length -= static_cast<std::size_t>(n);
    }
}

uint64_t NSFileHandle::offsetInFile() const {
    std::lock_guard lock(mutex_);
    off_t off = ::lseek(checkedDescriptor("offsetInFile"), 0, SEEK_CUR);
    if (off < 0) raiseErrno("offsetInFile", errno);
    return static_cast<uint64_t>(off);
}

void NSFileHandle::seekToFileOffset(uint64_t offset) {
    std::lock_guard lock(mutex_);
    int fd = checkedDescriptor("seekToFileOffset:");
    if (offset > static_cast<uint64_t>(INT64_MAX) || ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        raiseErrno("seekToFileOffset:", offset > static_cast<uint64_t>(INT64_MAX) ? EINVAL : errno);
}

uint64_t NSFileHandle::seekToEndOfFile() {
    std::lock_guard lock(mutex_);
    off_t off = ::lseek(checkedDescriptor("seekToEndOfFile"), 0, SEEK_END);
    if (off < 0) raiseErrno("seekToEndOfFile", errno);
    return static_cast<uint64_t>(off);
}

void NSFileHandle::truncateFileAtOffset(uint64_t offset) {
    std::lock_guard lock(mutex_);
    int fd = checkedDescriptor("truncateFileAtOffset:");
    if (offset > static_cast<uint64_t>(INT64_MAX)) raiseErrno("truncateFileAtOffset:", EINVAL);
    if (::ftruncate(fd, static_cast<off_t>(offset)) != 0) raiseErrno("truncateFileAtOffset:", errno);
    if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) raiseErrno("truncateFileAtOffset:", errno);
}

void NSFileHandle::synchronizeFile() {
    std::lock_guard lock(mutex_);
    int fd = checkedDescriptor("synchronizeFile");
    // Pipes and terminals have nothing to flush; that is not a failure.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) raiseErrno("synchronizeFile", errno);
}

void NSFileHandle::closeFile() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}
