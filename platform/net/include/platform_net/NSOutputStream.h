#pragma once
// A stream of bytes to write: into memory or a file, or a subclass's own sink.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_net/NSStream.h>

class NSURL;

class NSOutputStream : public NSStream {
    NS_CLASS(NSOutputStream, NSStream)
public:
    NSOutputStream() = default;

    // Collects the bytes; read them with propertyForKey(NSStreamDataWrittenToMemoryStreamKey).
    static std::shared_ptr<NSOutputStream> outputStreamToMemory();
    // Creates or truncates the file on open, or appends to it.
    static std::shared_ptr<NSOutputStream> outputStreamToFileAtPath(const std::string& path, bool append);
    // File URLs only; nullptr for other URLs.
    static std::shared_ptr<NSOutputStream> outputStreamWithURL(const std::shared_ptr<NSURL>& url, bool append);

    // write:maxLength: — bytes written, -1 on error or when the stream is not open.
    virtual int64_t write(const uint8_t* buffer, std::size_t maxLength);
    virtual bool hasSpaceAvailable() const;
};
