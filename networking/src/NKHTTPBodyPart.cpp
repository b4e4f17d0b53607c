#include <networking/NKHTTPBodyPart.h>

#include <algorithm>
#include <cstring>

#include <platform_net/NSInputStream.h>

namespace {
const char kCRLF[] = "\r\n";
}

NKHTTPBodyPart::NKHTTPBodyPart() { transitionToNextPhase(); }

NKHTTPBodyPart::~NKHTTPBodyPart() {
    if (inputStream_) inputStream_->close();
}

std::unique_ptr<NKHTTPBodyPart> NKHTTPBodyPart::copy() const {
    auto part = std::make_unique<NKHTTPBodyPart>();
    part->stringEncoding = stringEncoding;
    part->headers = headers;
    part->bodyContentLength = bodyContentLength;
    part->body = body;
    part->boundary = boundary;
    return part;
}

// Text the encoding cannot carry falls back to UTF-8 rather than vanishing from the body.
std::string NKHTTPBodyPart::encoded(const std::string& text) const {
    auto data = NSString::dataUsingEncoding(text, stringEncoding);
    return data ? std::string(data->begin(), data->end()) : text;
}

std::string NKHTTPBodyPart::leadingDelimiter() const {
    return encoded(hasInitialBoundary ? "--" + boundary + kCRLF : std::string(kCRLF) + "--" + boundary + kCRLF);
}

std::string NKHTTPBodyPart::closingDelimiter() const {
    return hasFinalBoundary ? encoded(std::string(kCRLF) + "--" + boundary + "--" + kCRLF) : std::string();
}

std::string NKHTTPBodyPart::stringForHeaders() const {
    std::string text;
    for (const auto& [name, value] : headers) text += name + ": " + value + kCRLF;
    return text + kCRLF;
}

uint64_t NKHTTPBodyPart::contentLength() const {
    return leadingDelimiter().size() + encoded(stringForHeaders()).size() + bodyContentLength + closingDelimiter().size();
}

NSInputStream& NKHTTPBodyPart::inputStream() const {
    if (!inputStream_) {
        if (auto data = std::get_if<std::shared_ptr<const Value::Data>>(&body); data && *data) {
            inputStream_ = NSInputStream::inputStreamWithData(**data);
        } else if (auto url = std::get_if<NSURLPtr>(&body); url && *url) {
            inputStream_ = NSInputStream::inputStreamWithURL(*url);
        } else if (auto stream = std::get_if<std::shared_ptr<NSInputStream>>(&body); stream && *stream) {
            inputStream_ = *stream;
        }
        if (!inputStream_) inputStream_ = NSInputStream::inputStreamWithData({});
    }
    return *inputStream_;
}

bool NKHTTPBodyPart::hasBytesAvailable() const {
    if (phase_ == NKBodyPartPhaseClosing) return true;
    return inputStream().streamStatus() < NSStreamStatusAtEnd;
}

NSErrorPtr NKHTTPBodyPart::streamError() const { return inputStream_ ? inputStream_->streamError() : nullptr; }

int64_t NKHTTPBodyPart::read(uint8_t* buffer, std::size_t length) {
    std::size_t total = 0;
    if (phase_ == NKBodyPartPhaseDelimiter) total += readData(leadingDelimiter(), buffer, length);
    if (phase_ == NKBodyPartPhaseHeaders) total += readData(encoded(stringForHeaders()), buffer + total, length - total);
    // Without room, a read of the body could be taken for its end.
    if (phase_ == NKBodyPartPhaseBody && total < length) {
        const int64_t n = inputStream().read(buffer + total, length - total);
        if (n == -1) return -1;
        total += static_cast<std::size_t>(n);
        if (inputStream().streamStatus() >= NSStreamStatusAtEnd) transitionToNextPhase();
    }
    if (phase_ == NKBodyPartPhaseClosing) total += readData(closingDelimiter(), buffer + total, length - total);
    return static_cast<int64_t>(total);
}

std::size_t NKHTTPBodyPart::readData(const std::string& text, uint8_t* buffer, std::size_t length) {
    const std::size_t remaining = text.size() > phaseReadOffset_ ? text.size() - phaseReadOffset_ : 0;
    const std::size_t n = std::min(remaining, length);
    if (n) std::memcpy(buffer, text.data() + phaseReadOffset_, n);
    phaseReadOffset_ += n;
    if (phaseReadOffset_ >= text.size()) transitionToNextPhase();
    return n;
}

// The body's stream is read synchronously by whichever thread reads the part, so the phase
// changes run on that thread too; no run-loop scheduling is involved.
void NKHTTPBodyPart::transitionToNextPhase() {
    switch (phase_) {
        case NKBodyPartPhaseDelimiter:
            phase_ = NKBodyPartPhaseHeaders;
            break;
        case NKBodyPartPhaseHeaders:
            inputStream().open();
            phase_ = NKBodyPartPhaseBody;
            break;
        case NKBodyPartPhaseBody:
            inputStream().close();
            phase_ = NKBodyPartPhaseClosing;
            break;
        case NKBodyPartPhaseClosing:
        default:
            phase_ = NKBodyPartPhaseDelimiter;
            break;
    }
    phaseReadOffset_ = 0;
}
