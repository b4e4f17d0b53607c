#include <networking/NKMultipartBodyStreamCore.h>

#include <algorithm>
#include <chrono>
#include <thread>

void NKMultipartBodyStreamCore::copyPartsInto(NKMultipartBodyStreamCore& other) const {
    for (const auto& part : parts_) other.appendHTTPBodyPart(part->copy());
    other.setInitialAndFinalBoundaries();
}

void NKMultipartBodyStreamCore::appendHTTPBodyPart(std::unique_ptr<NKHTTPBodyPart> part) {
    if (part) parts_.push_back(std::move(part));
}

void NKMultipartBodyStreamCore::setInitialAndFinalBoundaries() {
    if (parts_.empty()) return;
    for (auto& part : parts_) {
        part->hasInitialBoundary = false;
        part->hasFinalBoundary = false;
    }
    parts_.front()->hasInitialBoundary = true;
    parts_.back()->hasFinalBoundary = true;
}

uint64_t NKMultipartBodyStreamCore::contentLength() const {
    uint64_t length = 0;
    for (const auto& part : parts_) length += part->contentLength();
    return length;
}

void NKMultipartBodyStreamCore::open() {
    if (streamStatus_ == NSStreamStatusOpen) return;
    streamStatus_ = NSStreamStatusOpen;
    setInitialAndFinalBoundaries();
    cursor_ = 0;
    current_ = nullptr;
}

void NKMultipartBodyStreamCore::close() { streamStatus_ = NSStreamStatusClosed; }

NSErrorPtr NKMultipartBodyStreamCore::streamError() const {
    std::lock_guard<std::mutex> lock(errorMutex_);
    return streamError_;
}

double NKMultipartBodyStreamCore::secondsUntilReadable() const {
    const auto left = readableAt_ - std::chrono::steady_clock::now();
    return left.count() > 0 ? std::chrono::duration<double>(left).count() : 0;
}

int64_t NKMultipartBodyStreamCore::read(uint8_t* buffer, std::size_t length) {
    if (streamStatus_ == NSStreamStatusClosed) return 0;
    const std::size_t maxLength =
        static_cast<std::size_t>(std::min<uint64_t>(length, numberOfBytesInPacket));
    if (maxLength == 0) return 0;
    // A reader that did not wait for the pause: the pause still happens.
    if (const double wait = secondsUntilReadable(); wait > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    std::size_t total = 0;
    for (;;) {
        if (current_ && current_->hasBytesAvailable()) {
            const int64_t n = current_->read(buffer + total, maxLength - total);
            if (n == -1) {
                std::lock_guard<std::mutex> lock(errorMutex_);
                streamError_ = current_->streamError();
                return static_cast<int64_t>(total);
            }
            total += static_cast<std::size_t>(n);
            // Throttled: every read of a part is followed by the pause, which the next read
            // waits for (or the reader, when it asks first).
            if (delay > 0 && n > 0) {
                readableAt_ = std::chrono::steady_clock::now() +
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(delay));
                return static_cast<int64_t>(total);
            }
            if (total >= maxLength) return static_cast<int64_t>(total);
        } else {
            current_ = cursor_ < parts_.size() ? parts_[cursor_++].get() : nullptr;
            if (!current_) return static_cast<int64_t>(total);
            if (total >= maxLength) return static_cast<int64_t>(total);
        }
    }
}
