#pragma once
// What a caller appends to a multipart form body: files, streams, bytes and form fields,
// each as one part, plus throttling of the upload.

#include <cstdint>
#include <memory>
#include <string>

#include <networking/NKHTTPBodyPart.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

class NSInputStream;

// The MIME type for a file-name extension; "application/octet-stream" when none is known.
std::string NKMIMETypeForFileExtension(const std::string& extension);

class NKMultipartFormData {
public:
    virtual ~NKMultipartFormData() = default;

    // File name from the URL's last path component, MIME type from its extension.
    virtual bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, NSErrorPtr* error) = 0;
    // false with *error (nothing appended) for a URL that is not a reachable file.
    virtual bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, const std::string& fileName,
                                       const std::string& mimeType, NSErrorPtr* error) = 0;
    // The stream is read when the body is; `length` is what it is declared to hold. An
    // empty MIME type leaves the part without "Content-Type".
    virtual void appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream, const std::string& name,
                                           const std::string& fileName, uint64_t length,
                                           const std::string& mimeType) = 0;
    virtual void appendPartWithFileData(const Value::Data& data, const std::string& name, const std::string& fileName,
                                        const std::string& mimeType) = 0;
    virtual void appendPartWithFormData(const Value::Data& data, const std::string& name) = 0;
    virtual void appendPartWithHeaders(const NKBodyPartHeaders& headers, const Value::Data& body) = 0;
    // No read delivers more than `numberOfBytes`; each part read is followed by `delay` seconds.
    virtual void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) = 0;
};
