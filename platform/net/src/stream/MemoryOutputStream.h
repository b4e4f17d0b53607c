#pragma once
// Output stream collecting the bytes in memory.

#include <platform_net/NSOutputStream.h>

class MemoryOutputStream : public NSOutputStream {
public:
    void open() override;
    int64_t write(const uint8_t* buffer, std::size_t maxLength) override;
    bool hasSpaceAvailable() const override;
    Value propertyForKey(const std::string& key) const override;
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) override;

private:
    std::vector<uint8_t> data_;
};
