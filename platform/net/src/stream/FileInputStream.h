#pragma once
// Input stream reading a file from its start (or a set offset).

#include <platform_net/NSInputStream.h>

class FileInputStream : public NSInputStream {
public:
    explicit FileInputStream(std::string path) : path_(std::move(path)) {}
    ~FileInputStream() override;

    void open() override;
    void close() override;
    int64_t read(uint8_t* buffer, std::size_t maxLength) override;
    bool hasBytesAvailable() const override;
    Value propertyForKey(const std::string& key) const override;
    bool setProperty(const Value& property, const std::string& key) override;
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) override;

private:
    const std::string path_;
    int fd_ = -1;
    int64_t offset_ = 0;
};
