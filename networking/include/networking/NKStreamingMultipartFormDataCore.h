#pragma once
// The multipart/form-data builder shared by every prefix: parts are appended through
// NKMultipartFormData into the family's body stream and read only when the request's body
// stream is read. One caller at a time.

#include <memory>
#include <string>

#include <networking/NKMultipartBodyStreamCore.h>
#include <networking/NKMultipartFormData.h>
#include <platform_net/NSURLRequest.h>

class NKStreamingMultipartFormDataCore : public NKMultipartFormData {
public:

    // "Boundary+" and 16 upper-case hexadecimal digits from two random 32-bit numbers.
    static std::string makeBoundary();

    const NSMutableURLRequestPtr& request() const { return request_; }
    void setRequest(const NSURLRequestPtr& request);
    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    const std::string& boundary() const { return boundary_; }

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

protected:
    // `bodyStream`: an empty stream of the family's class, in the same encoding.
    NKStreamingMultipartFormDataCore(const NSURLRequestPtr& request, NSStringEncoding encoding,
                                     std::shared_ptr<NKMultipartBodyStreamCore> bodyStream);
    const std::shared_ptr<NKMultipartBodyStreamCore>& bodyStreamCore() const { return bodyStream_; }

private:
    void appendPart(NKBodyPartHeaders headers, NKHTTPBodyPart::Body body, uint64_t length);

    NSMutableURLRequestPtr request_;
    NSStringEncoding stringEncoding_;
    std::string boundary_;
    std::shared_ptr<NKMultipartBodyStreamCore> bodyStream_;
};
