#include "stream/MemoryOutputStream.h"

void MemoryOutputStream::open() {
    if (streamStatus() != NSStreamStatusNotOpen) return;
    setStreamStatus(NSStreamStatusOpen);
    postEvent(NSStreamEventOpenCompleted);
    postEvent(NSStreamEventHasSpaceAvailable);
}

int64_t MemoryOutputStream::write(const uint8_t* buffer, std::size_t maxLength) {
    {
        std::lock_guard lock(stateMutex_);
        if (streamStatusLocked() != NSStreamStatusOpen) return -1;
        if (!buffer && maxLength > 0) return -1;
        data_.insert(data_.end(), buffer, buffer + maxLength);
    }
    postEvent(NSStreamEventHasSpaceAvailable);
    return static_cast<int64_t>(maxLength);
}

bool MemoryOutputStream::hasSpaceAvailable() const {
    std::lock_guard lock(stateMutex_);
    return streamStatusLocked() == NSStreamStatusOpen;
}

Value MemoryOutputStream::propertyForKey(const std::string& key) const {
    if (key != NSStreamDataWrittenToMemoryStreamKey) return Value();
    std::lock_guard lock(stateMutex_);
    return Value(data_);
}

void MemoryOutputStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    NSStream::scheduleInRunLoop(runLoop, mode);
    if (streamStatus() == NSStreamStatusOpen) postEvent(NSStreamEventHasSpaceAvailable);
}
