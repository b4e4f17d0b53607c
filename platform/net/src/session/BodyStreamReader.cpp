#include "session/BodyStreamReader.h"

#include <platform_net/NSInputStream.h>

long readBodyStream(const std::shared_ptr<NSInputStream>& stream, uint8_t* buffer, std::size_t capacity) {
    if (!stream) return 0;
    if (stream->streamStatus() == NSStreamStatusNotOpen) stream->open();
    switch (stream->streamStatus()) {
        case NSStreamStatusAtEnd:
        case NSStreamStatusClosed: return 0;
        case NSStreamStatusError: return -1;
        default: break;
    }
    int64_t got = stream->read(buffer, capacity);
    return static_cast<long>(got);
}

void closeBodyStream(const std::shared_ptr<NSInputStream>& stream) {
    if (stream && stream->streamStatus() != NSStreamStatusNotOpen) stream->close();
}
