#pragma once
// An open file: read, write, seek, truncate and sync. Failures and any use after closeFile
// throw NSException named NSFileHandleOperationException.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <platform_runtime/NSException.h>
#include <platform_runtime/NSObject.h>

class NSFileHandle : public NSObject {
public:
    using Data = std::vector<uint8_t>;

    // nullptr when the file does not exist or cannot be opened that way. Nothing is created
    // or truncated; writing starts at offset 0.
    static std::shared_ptr<NSFileHandle> fileHandleForReadingAtPath(const std::string& path);
    static std::shared_ptr<NSFileHandle> fileHandleForWritingAtPath(const std::string& path);
    static std::shared_ptr<NSFileHandle> fileHandleForUpdatingAtPath(const std::string& path);

    // Wraps a descriptor; it is closed by closeFile, or at destruction when asked.
    NSFileHandle(int fileDescriptor, bool closeOnDealloc);
    ~NSFileHandle() override;
    NSFileHandle(const NSFileHandle&) = delete;
    NSFileHandle& operator=(const NSFileHandle&) = delete;

    int fileDescriptor() const;
    Data readDataToEndOfFile();
    // Up to `length` bytes; fewer at the end of the file.
    Data readDataOfLength(std::size_t length);
    void writeData(const Data& data);
    void writeData(const void* bytes, std::size_t length);
    uint64_t offsetInFile() const;
    void seekToFileOffset(uint64_t offset);
    // Answers the new offset, the file's length.
    uint64_t seekToEndOfFile();
    // Cuts (or extends) the file to `offset` and moves there.
    void truncateFileAtOffset(uint64_t offset);
    void synchronizeFile();
    // Further operations throw; closing twice is harmless.
    void closeFile();

    std::string className() const override { return "NSFileHandle"; }

private:
    static std::shared_ptr<NSFileHandle> open(const std::string& path, int flags);
    int checkedDescriptor(const char* selector) const;  // throws when closed
    [[noreturn]] static void raiseErrno(const char* selector, int err);

    mutable std::mutex mutex_;
    int fd_;
    bool closeOnDealloc_;
};
