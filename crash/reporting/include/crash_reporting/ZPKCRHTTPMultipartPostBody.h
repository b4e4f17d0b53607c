#pragma once
// A multipart/form-data body (the crash, app-extension, out-of-memory and self-statistics
// uploads) and its part record. Built and read on one thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>

// One part: bytes, a field name, and optionally a content type and a file name. Immutable.
class ZPKCRHTTPPostField : public NSObject {
    NS_CLASS(ZPKCRHTTPPostField, NSObject)
public:
    using Bytes = std::vector<uint8_t>;
    static std::shared_ptr<ZPKCRHTTPPostField> data(Bytes data, std::string name, std::optional<std::string> contentType,
                                                    std::optional<std::string> filename);
    const Bytes& data() const { return data_; }
    const std::string& name() const { return name_; }
    const std::optional<std::string>& contentType() const { return contentType_; }
    const std::optional<std::string>& filename() const { return filename_; }

private:
    Bytes data_;
    std::string name_;
    std::optional<std::string> contentType_;
    std::optional<std::string> filename_;
};

class ZPKCRHTTPMultipartPostBody : public NSObject {
    NS_CLASS(ZPKCRHTTPMultipartPostBody, NSObject)
public:
    using Bytes = std::vector<uint8_t>;
    static std::shared_ptr<ZPKCRHTTPMultipartPostBody> body();
    // The boundary is a new random UUID in lowercase hex without dashes.
    ZPKCRHTTPMultipartPostBody();

    void appendData(Bytes data, std::string name, std::optional<std::string> contentType,
                    std::optional<std::string> filename);
    // A part whose bytes are the text's UTF-8 bytes up to its first NUL.
    void zud_appendUTF8String(std::string_view text, std::string name, std::optional<std::string> contentType,
                              std::optional<std::string> filename);
    // A backslash before every double quote.
    static std::string toStringWithQuotesEscaped(std::string_view text);

    // The serialised body: each part with its boundary line and headers, then the closing
    // boundary (also for a body without parts).
    Bytes data() const;
    // "multipart/form-data; boundary=<boundary>".
    std::string contentType() const { return "multipart/form-data; boundary=" + boundary_; }
    const std::string& boundary() const { return boundary_; }
    const std::vector<std::shared_ptr<ZPKCRHTTPPostField>>& fields() const { return fields_; }

private:
    std::vector<std::shared_ptr<ZPKCRHTTPPostField>> fields_;
    std::string boundary_;
};
