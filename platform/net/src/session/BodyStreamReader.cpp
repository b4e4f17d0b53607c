#include "session/BodyStreamReader.h"

#include <platform_net/NSInputStream.h>
#include <platform_net/PacedInputStream.h>

long readBodyStream(const std::shared_ptr<NSInputStream>& stream, uint8_t* buffer, std::size_t capacity,
                    double* retryAfter) {
    if (!stream) return 0;
    if (stream->streamStatus() == NSStreamStatusNotOpen) stream->open();
    switch (stream->streamStatus()) {
        case NSStreamStatusAtEnd:
        case NSStreamStatusClosed: return 0;
        case NSStreamStatusError: return -1;
        default: break;
    }
    if (auto* paced = dynamic_cast<const PacedInputStream*>(stream.get())) {
        if (const double wait = paced->secondsUntilReadable(); wait > 0) {
            if (retryAfter) *retryAfter = wait;
            return kBodyStreamNotReady;
        }
    }
    int64_t got = stream->read(buffer, capacity);
    return static_cast<long>(got);
}

void closeBodyStream(const std::shared_ptr<NSInputStream>& stream) {
    if (stream && stream->streamStatus() != NSStreamStatusNotOpen) stream->close();
}
