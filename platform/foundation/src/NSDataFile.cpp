#include <platform_foundation/NSDataFile.h>

#include <platform_foundation/NSPathUtilities.h>
#include <platform_runtime/UTF16.h>

#include "FileErrors.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include <cctype>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using file_errors::Op;

namespace {

bool writeAll(int fd, const uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Close that keeps the first error in errno.
void closeKeepingErrno(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
}

// Temporary files of a target are named ".<name>.<12 hex digits>.tmp" beside it.
constexpr std::size_t kTemporaryHexDigits = 12;

std::string temporarySibling(const std::string& path) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    char suffix[20];
    std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(rng() & 0xffffffffffffULL));
    std::string dir = stringByDeletingLastPathComponent(path);
    std::string name = "." + lastPathComponent(path) + suffix + ".tmp";
    return dir.empty() ? name : stringByAppendingPathComponent(dir, name);
}

bool isTemporaryOf(std::string_view entry, std::string_view name) {
    const std::size_t expected = 1 + name.size() + 1 + kTemporaryHexDigits + 4;
    if (entry.size() != expected || entry[0] != '.' || entry.substr(1, name.size()) != name) return false;
    std::string_view rest = entry.substr(1 + name.size());
    if (rest[0] != '.' || rest.substr(1 + kTemporaryHexDigits) != ".tmp") return false;
    for (char c : rest.substr(1, kTemporaryHexDigits))
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
    return true;
}

// Creates a fresh temporary sibling, locked (flock) for as long as the returned descriptor is
// open: a writer that is alive holds its lock, so only a dead writer's file can be locked by
// anyone else. -1 (errno set) on failure.
int createLockedTemporary(const std::string& path, std::string& tmp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = temporarySibling(path);
        int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        // A cleaner may have taken the file for a dead writer's between its creation and the
        // lock: then it is gone from the folder, and another name is tried.
        struct stat st {};
        if (rc == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

void syncDirectoryOf(const std::string& path) {
    std::string dir = stringByDeletingLastPathComponent(path);
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAtomically(const uint8_t* bytes, std::size_t length, const std::string& path, bool noOverwrite,
                     NSErrorPtr* error) {
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && noOverwrite) {
        file_errors::report(error, Op::Write, EEXIST, path);
        return false;
    }
    NSDataFile::removeStaleTemporaryFiles(path);
    std::string tmp;
    int fd = createLockedTemporary(path, tmp);
    if (fd < 0) {
        file_errors::report(error, Op::Write, errno, path);
        return false;
    }
    // The replacement keeps the permissions of the file it replaces.
    if (exists && S_ISREG(existing.st_mode)) ::fchmod(fd, existing.st_mode & 07777);
    // The descriptor (and its lock) stays open until the temporary name is gone.
    bool ok = writeAll(fd, bytes, length) && ::fsync(fd) == 0;
    if (ok) {
        if (noOverwrite) {
            // link() fails when the target appeared meanwhile; never replace it.
            ok = ::link(tmp.c_str(), path.c_str()) == 0;
            if (ok) ::unlink(tmp.c_str());
        } else {
            ok = ::rename(tmp.c_str(), path.c_str()) == 0;
        }
    }
    if (!ok) {
        int err = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        file_errors::report(error, Op::Write, err, path);
        return false;
    }
    if (::close(fd) != 0) {
        file_errors::report(error, Op::Write, errno, path);
        return false;
    }
    syncDirectoryOf(path);
    return true;
}

bool writeInPlace(const uint8_t* bytes, std::size_t length, const std::string& path, bool noOverwrite,
                  NSErrorPtr* error) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (noOverwrite ? O_EXCL : O_TRUNC);
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        file_errors::report(error, Op::Write, errno, path);
        return false;
    }
    bool ok = writeAll(fd, bytes, length);
    if (!ok) closeKeepingErrno(fd);
    else ok = ::close(fd) == 0;
    if (!ok) file_errors::report(error, Op::Write, errno, path);
    return ok;
}

}  // namespace

void NSDataFile::removeStaleTemporaryFiles(const std::string& path) {
    const std::string dir = stringByDeletingLastPathComponent(path);
    const std::string name = lastPathComponent(path);
    if (name.empty()) return;
    DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!folder) return;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(folder))
        if (isTemporaryOf(entry->d_name, name)) candidates.push_back(entry->d_name);
    ::closedir(folder);
    for (const std::string& candidate : candidates) {
        const std::string tmp = dir.empty() ? candidate : stringByAppendingPathComponent(dir, candidate);
        int fd = ::open(tmp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        // A live writer holds the lock; a writer that died released it with its descriptors.
        struct stat held {}, named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(tmp.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            ::unlink(tmp.c_str());
        ::close(fd);
    }
}

std::optional<NSDataFile::Data> NSDataFile::dataWithContentsOfFile(const std::string& path, NSErrorPtr* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        file_errors::report(error, Op::Read, errno, path);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        file_errors::report(error, Op::Read, EISDIR, path);
        return std::nullopt;
    }
    Data data;
    if (st.st_size > 0) data.reserve(static_cast<std::size_t>(st.st_size));
    uint8_t buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            file_errors::report(error, Op::Read, err, path);
            return std::nullopt;
        }
        if (n == 0) break;
        data.insert(data.end(), buf, buf + n);
    }
    ::close(fd);
    return data;
}

std::optional<std::string> NSDataFile::stringWithContentsOfFile(const std::string& path, NSErrorPtr* error) {
    auto data = dataWithContentsOfFile(path, error);
    if (!data) return std::nullopt;
    std::string text(data->begin(), data->end());
    if (!isValidUtf8(text)) {
        file_errors::reportCode(error, NSFileReadInapplicableStringEncodingError, 0, path);
        return std::nullopt;
    }
    return text;
}

bool NSDataFile::writeToFile(const Data& data, const std::string& path, bool atomically) {
    return writeToFile(data.data(), data.size(), path, atomically ? uint64_t{NSDataWritingAtomic} : uint64_t{0}, nullptr);
}

bool NSDataFile::writeToFile(const Data& data, const std::string& path, uint64_t options, NSErrorPtr* error) {
    return writeToFile(data.data(), data.size(), path, options, error);
}

bool NSDataFile::writeToFile(const void* bytes, std::size_t length, const std::string& path, uint64_t options,
                             NSErrorPtr* error) {
    if (path.empty()) {
        file_errors::reportCode(error, NSFileWriteInvalidFileNameError, ENOENT, path);
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(bytes);
    const bool noOverwrite = options & NSDataWritingWithoutOverwriting;
    if (options & NSDataWritingAtomic) return writeAtomically(p, length, path, noOverwrite, error);
    return writeInPlace(p, length, path, noOverwrite, error);
}

bool NSDataFile::writeStringToFile(const std::string& text, const std::string& path, bool atomically,
                                   NSErrorPtr* error) {
    return writeToFile(text.data(), text.size(), path, atomically ? uint64_t{NSDataWritingAtomic} : uint64_t{0}, error);
}
