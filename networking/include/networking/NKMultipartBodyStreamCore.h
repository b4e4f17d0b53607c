#pragma once
// The behaviour of the input stream a multipart request carries as its body, shared by the
// body-stream classes of every prefix: it reads its parts one after another, optionally
// throttled to packets of a given size with a pause after each read. The pause is paced: a
// reader that asks (the URL session's loading thread) waits without blocking; a read that
// comes early waits out the rest itself. It raises no stream events. Not a runtime class of
// its own.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include <networking/NKHTTPBodyPart.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSInputStream.h>
#include <platform_net/PacedInputStream.h>

class NKMultipartBodyStreamCore : public NSInputStream, public PacedInputStream {
public:

    void appendHTTPBodyPart(std::unique_ptr<NKHTTPBodyPart> part);
    // The first part opens with the short delimiter, the last one closes the body.
    void setInitialAndFinalBoundaries();
    bool isEmpty() const { return parts_.empty(); }
    uint64_t contentLength() const;
    const std::vector<std::unique_ptr<NKHTTPBodyPart>>& HTTPBodyParts() const { return parts_; }

    uint64_t numberOfBytesInPacket = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    double delay = 0;
    NSStringEncoding stringEncoding;

    // --- input stream ----------------------------------------------------------------
    void open() override;
    void close() override;
    NSStreamStatus streamStatus() const override { return streamStatus_.load(); }
    NSErrorPtr streamError() const override;
    // Bytes delivered; 0 once the parts are read (the stream never reports an end state),
    // or when closed.
    int64_t read(uint8_t* buffer, std::size_t maxLength) override;
    // True exactly while open.
    bool hasBytesAvailable() const override { return streamStatus_.load() == NSStreamStatusOpen; }
    bool getBuffer(uint8_t**, std::size_t*) override { return false; }
    Value propertyForKey(const std::string&) const override { return Value(); }
    bool setProperty(const Value&, const std::string&) override { return false; }
    // The rest of the pause after the last read (throttled streams only).
    double secondsUntilReadable() const override;
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>&, const NSRunLoopMode&) override {}
    void removeFromRunLoop(const std::shared_ptr<NSRunLoop>&, const NSRunLoopMode&) override {}

protected:
    explicit NKMultipartBodyStreamCore(NSStringEncoding encoding) : stringEncoding(encoding) {}
    // A fresh copy of every part into `other` (of the same encoding), marked.
    void copyPartsInto(NKMultipartBodyStreamCore& other) const;

private:
    std::vector<std::unique_ptr<NKHTTPBodyPart>> parts_;
    std::size_t cursor_ = 0;  // index of the next part to make current
    NKHTTPBodyPart* current_ = nullptr;
    std::atomic<NSStreamStatus> streamStatus_{NSStreamStatusNotOpen};
    std::chrono::steady_clock::time_point readableAt_{};  // the end of the pause after a read
    mutable std::mutex errorMutex_;
    NSErrorPtr streamError_;
};
