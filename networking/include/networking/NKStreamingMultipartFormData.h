#pragma once
// Builds a streamed multipart/form-data body for a request: parts are appended through
// NKMultipartFormData and read only when the request's body stream is read.

#include <memory>
#include <string>

#include <networking/NKMultipartBodyStream.h>
#include <networking/NKMultipartFormData.h>
#include <platform_net/NSURLRequest.h>

class NKStreamingMultipartFormData : public NKMultipartFormData {
public:
    NKStreamingMultipartFormData(const NSURLRequestPtr& request, NSStringEncoding encoding);
    static std::shared_ptr<NKStreamingMultipartFormData> initWithURLRequest(const NSURLRequestPtr& request,
                                                                           NSStringEncoding encoding) {
        return std::make_shared<NKStreamingMultipartFormData>(request, encoding);
    }

    // "Boundary+" and 16 upper-case hexadecimal digits from two random 32-bit numbers.
    static std::string makeBoundary();

    const NSMutableURLRequestPtr& request() const { return request_; }
    void setRequest(const NSURLRequestPtr& request);
    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    const std::string& boundary() const { return boundary_; }
    const std::shared_ptr<NKMultipartBodyStream>& bodyStream() const { return bodyStream_; }

    bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, NSErrorPtr* error) override;
    bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, const std::string& fileName,
                               const std::string& mimeType, NSErrorPtr* error) override;
    void appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream, const std::string& name,
                                   const std::string& fileName, uint64_t length, const std::string& mimeType) override;
    void appendPartWithFileData(const Value::Data& data, const std::string& name, const std::string& fileName,
                                const std::string& mimeType) override;
    void appendPartWithFormData(const Value::Data& data, const std::string& name) override;
    void appendPartWithHeaders(const NKBodyPartHeaders& headers, const Value::Data& body) override;
    void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) override;

    // The request with the body stream and the multipart "Content-Type" / "Content-Length";
    // unchanged when no part was appended.
    NSMutableURLRequestPtr requestByFinalizingMultipartFormData();

private:
    void appendPart(NKBodyPartHeaders headers, NKHTTPBodyPart::Body body, uint64_t length);

    NSMutableURLRequestPtr request_;
    NSStringEncoding stringEncoding_;
    std::string boundary_;
    std::shared_ptr<NKMultipartBodyStream> bodyStream_;
};
