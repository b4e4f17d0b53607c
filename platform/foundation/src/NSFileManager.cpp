#include <platform_foundation/NSFileManager.h>

#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_foundation/Sandbox.h>

#include "FileErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using file_errors::Op;

namespace {

// Entry names of a directory, without "." and "..", sorted; errno set on failure.
bool listDirectory(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    names.clear();
    errno = 0;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    int err = errno;
    ::closedir(dir);
    if (err != 0) {
        errno = err;
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

bool isHidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

std::optional<mode_t> permissionsIn(const Value::Dictionary& attributes) {
    auto it = attributes.find(Value(NSFilePosixPermissions));
    if (it == attributes.end() || !it->second.isNumber()) return std::nullopt;
    return static_cast<mode_t>(it->second.unsignedLongLongValue() & 07777);
}

NSDate dateOf(const statx_timestamp& t) {
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9);
}

const char* typeName(mode_t mode) {
    if (S_ISDIR(mode)) return NSFileTypeDirectory;
    if (S_ISREG(mode)) return NSFileTypeRegular;
    if (S_ISLNK(mode)) return NSFileTypeSymbolicLink;
    if (S_ISSOCK(mode)) return NSFileTypeSocket;
    if (S_ISCHR(mode)) return NSFileTypeCharacterSpecial;
    if (S_ISBLK(mode)) return NSFileTypeBlockSpecial;
    return NSFileTypeUnknown;
}

// Copies one item (recursively); errno and the failing path on failure.
bool copyTree(const std::string& src, const std::string& dst, std::string& failedPath) {
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) {
        failedPath = src;
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
        ssize_t n = ::readlink(src.c_str(), target.data(), target.size());
        if (n < 0) {
            failedPath = src;
            return false;
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlink(target.c_str(), dst.c_str()) != 0) {
            failedPath = dst;
            return false;
        }
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        std::vector<std::string> names;
        if (!listDirectory(src, names)) {
            failedPath = src;
            return false;
        }
        if (::mkdir(dst.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0) {
            failedPath = dst;
            return false;
        }
        for (const auto& name : names)
            if (!copyTree(stringByAppendingPathComponent(src, name), stringByAppendingPathComponent(dst, name),
                          failedPath))
                return false;
        ::chmod(dst.c_str(), st.st_mode & 07777);
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = ENOTSUP;
        failedPath = src;
        return false;
    }
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        failedPath = src;
        return false;
    }
    int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        int err = errno;
        ::close(in);
        errno = err;
        failedPath = dst;
        return false;
    }
    char buf[65536];
    bool ok = true;
    while (ok) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            if (!ok) failedPath = src;
            break;
        }
        for (ssize_t done = 0; done < n && ok;) {
            ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                ok = false;
                failedPath = dst;
            } else {
                done += w;
            }
        }
    }
    int err = errno;
    ::close(in);
    if (::close(out) != 0 && ok) {
        err = errno;
        ok = false;
        failedPath = dst;
    }
    errno = err;
    return ok;
}

// Removes one item (recursively); errno and the failing path on failure.
bool removeTree(const std::string& path, std::string& failedPath) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        failedPath = path;
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        std::vector<std::string> names;
        if (!listDirectory(path, names)) {
            failedPath = path;
            return false;
        }
        for (const auto& name : names)
            if (!removeTree(stringByAppendingPathComponent(path, name), failedPath)) return false;
        if (::rmdir(path.c_str()) != 0) {
            failedPath = path;
            return false;
        }
        return true;
    }
    if (::unlink(path.c_str()) != 0) {
        failedPath = path;
        return false;
    }
    return true;
}

}  // namespace

// --- NSDirectoryEnumerator ---------------------------------------------------------------

NSDirectoryEnumerator::NSDirectoryEnumerator(std::string root, uint64_t options)
    : root_(std::move(root)), options_(options) {
    push("");
}

void NSDirectoryEnumerator::push(const std::string& relative) {
    Frame frame;
    frame.relative = relative;
    // An unreadable subdirectory is answered but not entered.
    if (!listDirectory(relative.empty() ? root_ : stringByAppendingPathComponent(root_, relative), frame.names))
        frame.names.clear();
    if (options_ & NSDirectoryEnumerationSkipsHiddenFiles)
        frame.names.erase(std::remove_if(frame.names.begin(), frame.names.end(), isHidden), frame.names.end());
    stack_.push_back(std::move(frame));
}

std::optional<std::string> NSDirectoryEnumerator::nextObject() {
    if (pendingDirectory_) {
        push(*pendingDirectory_);
        pendingDirectory_.reset();
    }
    while (!stack_.empty()) {
        Frame& top = stack_.back();
        if (top.next == top.names.size()) {
            stack_.pop_back();
            continue;
        }
        std::string relative = top.relative.empty() ? top.names[top.next]
                                                    : top.relative + "/" + top.names[top.next];
        ++top.next;
        lastLevel_ = stack_.size();
        struct stat st {};
        if (!(options_ & NSDirectoryEnumerationSkipsSubdirectoryDescendants) &&
            ::lstat(stringByAppendingPathComponent(root_, relative).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            pendingDirectory_ = relative;
        return relative;
    }
    return std::nullopt;
}

void NSDirectoryEnumerator::skipDescendants() { pendingDirectory_.reset(); }

std::vector<std::string> NSDirectoryEnumerator::allObjects() {
    std::vector<std::string> out;
    while (auto next = nextObject()) out.push_back(std::move(*next));
    return out;
}

// --- NSFileManager -----------------------------------------------------------------------

std::shared_ptr<NSFileManager> NSFileManager::defaultManager() {
    // Never destroyed: threads still running while the process exits may use it.
    static const auto* shared = new std::shared_ptr<NSFileManager>(std::make_shared<NSFileManager>());
    return *shared;
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    struct stat st {};
    const bool exists = !path.empty() && ::stat(path.c_str(), &st) == 0;
    if (isDirectory) *isDirectory = exists && S_ISDIR(st.st_mode);
    return exists;
}

bool NSFileManager::createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                                          const Value::Dictionary& attributes, NSErrorPtr* error) {
    const mode_t mode = permissionsIn(attributes).value_or(0777);
    auto makeOne = [&](const std::string& dir, bool existingIsFine) {
        if (::mkdir(dir.c_str(), mode) == 0) {
            if (permissionsIn(attributes)) ::chmod(dir.c_str(), mode);  // not narrowed by the umask
            return true;
        }
        int err = errno;
        bool isDir = false;
        if (err == EEXIST && existingIsFine && fileExistsAtPath(dir, &isDir) && isDir) return true;
        file_errors::report(error, Op::Write, err, path);
        return false;
    };
    if (path.empty()) {
        file_errors::report(error, Op::Write, ENOENT, path);
        return false;
    }
    if (!withIntermediateDirectories) return makeOne(path, false);
    std::string partial;
    for (const auto& component : pathComponents(path)) {
        partial = stringByAppendingPathComponent(partial, component);
        bool isDir = false;
        if (fileExistsAtPath(partial, &isDir) && isDir) continue;
        if (!makeOne(partial, true)) return false;
    }
    return true;
}

bool NSFileManager::createFileAtPath(const std::string& path, const std::optional<std::vector<uint8_t>>& contents,
                                     const Value::Dictionary& attributes) {
    static const std::vector<uint8_t> empty;
    if (!NSDataFile::writeToFile(contents ? *contents : empty, path, NSDataWritingAtomic, nullptr)) return false;
    if (auto mode = permissionsIn(attributes)) ::chmod(path.c_str(), *mode);
    return true;
}

std::optional<std::vector<uint8_t>> NSFileManager::contentsAtPath(const std::string& path) const {
    return NSDataFile::dataWithContentsOfFile(path);
}

std::vector<std::string> NSFileManager::contentsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const {
    return contentsOfDirectoryAtPath(path, 0, error);
}

std::vector<std::string> NSFileManager::contentsOfDirectoryAtPath(const std::string& path, uint64_t options,
                                                                  NSErrorPtr* error) const {
    std::vector<std::string> names;
    if (!listDirectory(path, names)) {
        int err = errno;
        bool isDir = false;
        // A file where a folder was expected is "couldn't be opened", not "no such file".
        if (err == ENOTDIR && fileExistsAtPath(path, &isDir))
            file_errors::reportCode(error, NSFileReadUnknownError, err, path);
        else
            file_errors::report(error, Op::Read, err, path);
        return {};
    }
    if (options & NSDirectoryEnumerationSkipsHiddenFiles)
        names.erase(std::remove_if(names.begin(), names.end(), isHidden), names.end());
    return names;
}

std::shared_ptr<NSDirectoryEnumerator> NSFileManager::enumeratorAtPath(const std::string& path, uint64_t options) const {
    bool isDir = false;
    if (!fileExistsAtPath(path, &isDir) || !isDir || ::access(path.c_str(), R_OK | X_OK) != 0) return nullptr;
    return std::make_shared<NSDirectoryEnumerator>(path, options);
}

std::vector<std::string> NSFileManager::subpathsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const {
    auto e = enumeratorAtPath(path);
    if (!e) {
        contentsOfDirectoryAtPath(path, error);  // for the error it reports
        if (error && !*error) file_errors::report(error, Op::Read, EACCES, path);
        return {};
    }
    return e->allObjects();
}

Value NSFileManager::attributesOfItemAtPath(const std::string& path, NSErrorPtr* error) const {
    struct statx sx {};
    if (path.empty() || ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW,
                                STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        file_errors::report(error, Op::Read, path.empty() ? ENOENT : errno, path);
        return Value();
    }
    const statx_timestamp& created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
    Value::Dictionary attrs;
    attrs[Value(NSFileType)] = Value(typeName(sx.stx_mode));
    attrs[Value(NSFileSize)] = Value(static_cast<uint64_t>(sx.stx_size));
    attrs[Value(NSFileModificationDate)] = Value(dateOf(sx.stx_mtime));
    attrs[Value(NSFileCreationDate)] = Value(dateOf(created));
    attrs[Value(NSFilePosixPermissions)] = Value(static_cast<uint64_t>(sx.stx_mode & 07777));
    attrs[Value(NSFileReferenceCount)] = Value(static_cast<uint64_t>(sx.stx_nlink));
    attrs[Value(NSFileOwnerAccountID)] = Value(static_cast<uint64_t>(sx.stx_uid));
    attrs[Value(NSFileGroupOwnerAccountID)] = Value(static_cast<uint64_t>(sx.stx_gid));
    attrs[Value(NSFileSystemNumber)] = Value(static_cast<uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor)));
    attrs[Value(NSFileSystemFileNumber)] = Value(static_cast<uint64_t>(sx.stx_ino));
    return Value(std::move(attrs));
}

Value NSFileManager::attributesOfFileSystemForPath(const std::string& path, NSErrorPtr* error) const {
    struct statvfs vfs {};
    if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0) {
        file_errors::report(error, Op::Read, path.empty() ? ENOENT : errno, path);
        return Value();
    }
    const uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    Value::Dictionary attrs;
    attrs[Value(NSFileSystemSize)] = Value(static_cast<uint64_t>(vfs.f_blocks) * unit);
    attrs[Value(NSFileSystemFreeSize)] = Value(static_cast<uint64_t>(vfs.f_bavail) * unit);
    attrs[Value(NSFileSystemNodes)] = Value(static_cast<uint64_t>(vfs.f_files));
    attrs[Value(NSFileSystemFreeNodes)] = Value(static_cast<uint64_t>(vfs.f_favail));
    attrs[Value(NSFileSystemNumber)] = Value(static_cast<uint64_t>(vfs.f_fsid));
    return Value(std::move(attrs));
}

bool NSFileManager::moveItemAtPath(const std::string& src, const std::string& dst, NSErrorPtr* error) {
    struct stat st {};
    if (src.empty() || ::lstat(src.c_str(), &st) != 0) {
        file_errors::report(error, Op::Write, src.empty() ? ENOENT : errno, src);
        return false;
    }
    // Never replaces what is at the destination, even if it appears meanwhile.
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {  // the file system can't refuse; check first instead
        if (::lstat(dst.c_str(), &st) == 0) {
            file_errors::report(error, Op::Write, EEXIST, dst);
            return false;
        }
        if (::rename(src.c_str(), dst.c_str()) == 0) return true;
        err = errno;
    }
    if (err == EXDEV) {
        if (!copyItemAtPath(src, dst, error)) return false;
        return removeItemAtPath(src, error);
    }
    file_errors::report(error, Op::Write, err, err == EEXIST || err == ENOTEMPTY ? dst : src);
    return false;
}

bool NSFileManager::copyItemAtPath(const std::string& src, const std::string& dst, NSErrorPtr* error) {
    struct stat st {};
    if (src.empty() || ::lstat(src.c_str(), &st) != 0) {
        file_errors::report(error, Op::Read, src.empty() ? ENOENT : errno, src);
        return false;
    }
    if (::lstat(dst.c_str(), &st) == 0) {
        file_errors::report(error, Op::Write, EEXIST, dst);
        return false;
    }
    std::string failed;
    if (copyTree(src, dst, failed)) return true;
    int err = errno;
    file_errors::report(error, failed.rfind(src, 0) == 0 && failed.rfind(dst, 0) != 0 ? Op::Read : Op::Write,
                        err, failed);
    return false;
}

bool NSFileManager::removeItemAtPath(const std::string& path, NSErrorPtr* error) {
    if (path.empty()) {
        file_errors::report(error, Op::Write, ENOENT, path);
        return false;
    }
    std::string failed;
    if (removeTree(path, failed)) return true;
    file_errors::report(error, Op::Write, errno, failed);
    return false;
}

bool NSFileManager::isReadableFileAtPath(const std::string& path) const {
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

bool NSFileManager::isWritableFileAtPath(const std::string& path) const {
    return !path.empty() && ::access(path.c_str(), W_OK) == 0;
}

bool NSFileManager::isDeletableFileAtPath(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
    const std::string parent = stringByDeletingLastPathComponent(path);
    return ::access(parent.empty() ? "." : parent.c_str(), W_OK | X_OK) == 0;
}

std::optional<std::string> NSFileManager::containerPathForSecurityApplicationGroupIdentifier(
    const std::string& groupIdentifier) const {
    return NSSandbox::containerPathForApplicationGroupIdentifier(groupIdentifier);
}
