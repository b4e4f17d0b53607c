#pragma once
// Reads a request's body stream for the upload: opens it before the first read and answers
// the number of bytes read, 0 at the end, -1 on an error, or kBodyStreamNotReady while a
// paced stream pauses (then *retryAfter holds the seconds to wait; nothing was read).

#include <cstddef>
#include <cstdint>
#include <memory>

class NSInputStream;

constexpr long kBodyStreamNotReady = -2;

long readBodyStream(const std::shared_ptr<NSInputStream>& stream, uint8_t* buffer, std::size_t capacity,
                    double* retryAfter);
void closeBodyStream(const std::shared_ptr<NSInputStream>& stream);
