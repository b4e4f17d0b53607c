#pragma once
// One part of a streamed multipart body: its leading delimiter, header block, body (bytes, a
// file or an input stream) and, for the last part, the closing delimiter, produced on demand
// by a four-phase read state machine.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

class NSInputStream;

enum NKBodyPartPhase : int32_t {
    NKBodyPartPhaseDelimiter = 1,
    NKBodyPartPhaseHeaders = 2,
    NKBodyPartPhaseBody = 3,
    NKBodyPartPhaseClosing = 4,
};

// Part headers in the order they were added.
using NKBodyPartHeaders = std::vector<std::pair<std::string, std::string>>;

class NKHTTPBodyPart {
public:
    // Bytes, a file read when the part is read, or a caller's input stream.
    using Body = std::variant<std::monostate, std::shared_ptr<const Value::Data>, NSURLPtr,
                              std::shared_ptr<NSInputStream>>;

    NKHTTPBodyPart();
    ~NKHTTPBodyPart();
    NKHTTPBodyPart(const NKHTTPBodyPart&) = delete;
    NKHTTPBodyPart& operator=(const NKHTTPBodyPart&) = delete;

    // A fresh part with the same encoding, headers, body, length and boundary.
    std::unique_ptr<NKHTTPBodyPart> copy() const;

    NSStringEncoding stringEncoding = NSUTF8StringEncoding;
    NKBodyPartHeaders headers;
    std::string boundary;
    Body body;
    uint64_t bodyContentLength = 0;
    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    // "name: value\r\n" per header, then "\r\n".
    std::string stringForHeaders() const;
    // Declared length: delimiter, header block, body length, closing delimiter when last.
    uint64_t contentLength() const;
    // True in the closing phase, otherwise while the body's stream has not ended.
    bool hasBytesAvailable() const;
    // Continues through the phases within one call; -1 when the body cannot be read.
    int64_t read(uint8_t* buffer, std::size_t length);
    NKBodyPartPhase phase() const { return phase_; }
    // Error of the body's stream after a failed read.
    NSErrorPtr streamError() const;

private:
    std::size_t readData(const std::string& text, uint8_t* buffer, std::size_t length);
    void transitionToNextPhase();
    // Made from the body on first use; closed when the part goes.
    NSInputStream& inputStream() const;
    std::string encoded(const std::string& text) const;
    std::string leadingDelimiter() const;
    std::string closingDelimiter() const;

    NKBodyPartPhase phase_ = NKBodyPartPhaseClosing;  // init's first change makes it Delimiter
    uint64_t phaseReadOffset_ = 0;
    mutable std::shared_ptr<NSInputStream> inputStream_;
};
