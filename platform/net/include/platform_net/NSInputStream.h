#pragma once
// A stream of bytes to read: over data or a file, or a subclass's own source.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_net/NSStream.h>

class NSURL;

class NSInputStream : public NSStream {
    NS_CLASS(NSInputStream, NSStream)
public:
    NSInputStream() = default;

    // A stream over a copy of data.
    static std::shared_ptr<NSInputStream> inputStreamWithData(std::vector<uint8_t> data);
    // A stream reading the file; a missing file fails on open (status Error).
    static std::shared_ptr<NSInputStream> inputStreamWithFileAtPath(const std::string& path);
    // File URLs only; nullptr for other URLs.
    static std::shared_ptr<NSInputStream> inputStreamWithURL(const std::shared_ptr<NSURL>& url);

    // read:maxLength: — bytes read (1..maxLength), 0 at the end (or closed), -1 on error or
    // when the stream is not open.
    virtual int64_t read(uint8_t* buffer, std::size_t maxLength);
    // getBuffer:length: — direct access to buffered bytes; false when not offered.
    virtual bool getBuffer(uint8_t** buffer, std::size_t* length);
    // True while a read may deliver bytes (also when that cannot be known without reading).
    virtual bool hasBytesAvailable() const;
};
