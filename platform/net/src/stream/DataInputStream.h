#pragma once
// Input stream over bytes held in memory.

#include <platform_net/NSInputStream.h>

class DataInputStream : public NSInputStream {
public:
    explicit DataInputStream(std::vector<uint8_t> data) : data_(std::move(data)) {}

    void open() override;
    void close() override;
    int64_t read(uint8_t* buffer, std::size_t maxLength) override;
    bool getBuffer(uint8_t** buffer, std::size_t* length) override;
    bool hasBytesAvailable() const override;
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) override;

private:
    const std::vector<uint8_t> data_;
    std::size_t position_ = 0;
};
