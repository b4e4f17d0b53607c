#pragma once
// Output stream writing a file, from its start or appended.

#include <platform_net/NSOutputStream.h>

class FileOutputStream : public NSOutputStream {
public:
    FileOutputStream(std::string path, bool append) : path_(std::move(path)), append_(append) {}
    ~FileOutputStream() override;

    void open() override;
    void close() override;
    int64_t write(const uint8_t* buffer, std::size_t maxLength) override;
    bool hasSpaceAvailable() const override;
    Value propertyForKey(const std::string& key) const override;
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) override;

private:
    const std::string path_;
    const bool append_;
    int fd_ = -1;
    int64_t offset_ = 0;
};
