#pragma once
// An advisory lock (flock) on a lock file, held from construction to destruction: serialises
// read-modify-write cycles on a shared file between processes (and between instances within
// one process). The lock file is created when missing and never removed. A lock file that
// cannot be opened leaves the cycle unlocked (held() is false) rather than failing it.
// Not copyable; use from one thread.

#include <string>

class FileLock {
public:
    explicit FileLock(const std::string& lockPath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};
