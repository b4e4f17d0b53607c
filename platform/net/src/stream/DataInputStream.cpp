#include "stream/DataInputStream.h"

#include <cstring>

void DataInputStream::open() {
    if (streamStatus() != NSStreamStatusNotOpen) return;
    setStreamStatus(NSStreamStatusOpen);
    postEvent(NSStreamEventOpenCompleted);
    postEvent(NSStreamEventHasBytesAvailable);
}

void DataInputStream::close() { NSStream::close(); }

int64_t DataInputStream::read(uint8_t* buffer, std::size_t maxLength) {
    std::size_t n;
    bool atEnd;
    {
        std::lock_guard lock(stateMutex_);
        switch (streamStatusLocked()) {
            case NSStreamStatusOpen: break;
            case NSStreamStatusAtEnd:
            case NSStreamStatusClosed: return 0;
            default: return -1;
        }
        if (!buffer && maxLength > 0) return -1;
        n = std::min(maxLength, data_.size() - position_);
        if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
        position_ += n;
        // The end is known without a further read: a reader looping on
        // hasBytesAvailable stops after the last bytes.
        atEnd = position_ == data_.size() && (n > 0 || maxLength > 0);
        if (atEnd) setStreamStatusLocked(NSStreamStatusAtEnd);
    }
    postEvent(atEnd ? NSStreamEventEndEncountered : NSStreamEventHasBytesAvailable);
    return static_cast<int64_t>(n);
}

bool DataInputStream::getBuffer(uint8_t** buffer, std::size_t* length) {
    std::lock_guard lock(stateMutex_);
    if (streamStatusLocked() != NSStreamStatusOpen || !buffer || !length) return false;
    *buffer = const_cast<uint8_t*>(data_.data()) + position_;
    *length = data_.size() - position_;
    return true;
}

bool DataInputStream::hasBytesAvailable() const {
    std::lock_guard lock(stateMutex_);
    return streamStatusLocked() == NSStreamStatusOpen;
}

void DataInputStream::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode) {
    NSStream::scheduleInRunLoop(runLoop, mode);
    switch (streamStatus()) {
        case NSStreamStatusOpen: postEvent(NSStreamEventHasBytesAvailable); break;
        case NSStreamStatusAtEnd: postEvent(NSStreamEventEndEncountered); break;
        default: break;
    }
}
