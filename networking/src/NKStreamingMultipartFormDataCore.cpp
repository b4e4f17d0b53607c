#include <networking/NKStreamingMultipartFormDataCore.h>

#include <networking/NKURLRequestSerialization.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_foundation/Random.h>
#include <platform_net/MIMEType.h>

#include "NKLocalizedString.h"

std::string NKMIMETypeForFileExtension(const std::string& extension) { return MIMETypeForExtension(extension); }

NKStreamingMultipartFormDataCore::NKStreamingMultipartFormDataCore(
    const NSURLRequestPtr& request, NSStringEncoding encoding, std::shared_ptr<NKMultipartBodyStreamCore> bodyStream)
    : stringEncoding_(encoding), boundary_(makeBoundary()), bodyStream_(std::move(bodyStream)) {
    setRequest(request);
}

std::string NKStreamingMultipartFormDataCore::makeBoundary() {
    return NSStringWithFormat("Boundary+%08X%08X", arc4random(), arc4random());
}

void NKStreamingMultipartFormDataCore::setRequest(const NSURLRequestPtr& request) {
    request_ = request ? request->mutableCopy() : nullptr;
}

namespace {

NSErrorPtr requestError(const std::string& reason) {
    return NSError::errorWithDomain(NKURLRequestSerializationErrorDomain, -1000,
                                    {{NSLocalizedFailureReasonErrorKey, NKLocalizedString(reason)}});
}

}  // namespace

bool NKStreamingMultipartFormDataCore::appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name,
                                                         NSErrorPtr* error) {
    const std::string fileName = fileURL ? fileURL->lastPathComponent() : std::string();
    const std::string mimeType = NKMIMETypeForFileExtension(fileURL ? fileURL->pathExtension() : std::string());
    return appendPartWithFileURL(fileURL, name, fileName, mimeType, error);
}

bool NKStreamingMultipartFormDataCore::appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name,
                                                         const std::string& fileName, const std::string& mimeType,
                                                         NSErrorPtr* error) {
    if (!fileURL || !fileURL->isFileURL()) {
        if (error) *error = requestError("Expected URL to be a file URL");
        return false;
    }
    auto fileManager = NSFileManager::defaultManager();
    bool isDirectory = false;
    if (!fileManager->fileExistsAtPath(fileURL->path(), &isDirectory) || isDirectory ||
        !fileManager->isReadableFileAtPath(fileURL->path())) {
        if (error) *error = requestError("File URL not reachable.");
        return false;
    }
    NSErrorPtr attributesError;
    Value attributes = fileManager->attributesOfItemAtPath(fileURL->path(), &attributesError);
    if (attributesError || !attributes.isDictionary()) {
        if (error) *error = attributesError;
        return false;
    }
    NKBodyPartHeaders headers = {
        {"Content-Disposition", NSStringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName)}};
    if (!mimeType.empty()) headers.emplace_back("Content-Type", mimeType);
    appendPart(std::move(headers), fileURL, attributes.objectForKey(NSFileSize).unsignedLongLongValue());
    return true;
}

void NKStreamingMultipartFormDataCore::appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream,
                                                             const std::string& name, const std::string& fileName,
                                                             uint64_t length, const std::string& mimeType) {
    NKBodyPartHeaders headers = {
        {"Content-Disposition", NSStringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName)}};
    if (!mimeType.empty()) headers.emplace_back("Content-Type", mimeType);
    appendPart(std::move(headers), inputStream, length);
}

void NKStreamingMultipartFormDataCore::appendPartWithFileData(const Value::Data& data, const std::string& name,
                                                          const std::string& fileName, const std::string& mimeType) {
    NKBodyPartHeaders headers = {
        {"Content-Disposition", NSStringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName)}};
    if (!mimeType.empty()) headers.emplace_back("Content-Type", mimeType);
    appendPartWithHeaders(headers, data);
}

void NKStreamingMultipartFormDataCore::appendPartWithFormData(const Value::Data& data, const std::string& name) {
    appendPartWithHeaders({{"Content-Disposition", NSStringWithFormat("form-data; name=\"%@\"", name)}}, data);
}

void NKStreamingMultipartFormDataCore::appendPartWithHeaders(const NKBodyPartHeaders& headers, const Value::Data& body) {
    appendPart(headers, std::make_shared<const Value::Data>(body), body.size());
}

void NKStreamingMultipartFormDataCore::appendPart(NKBodyPartHeaders headers, NKHTTPBodyPart::Body body, uint64_t length) {
    auto part = std::make_unique<NKHTTPBodyPart>();
    part->stringEncoding = stringEncoding_;
    part->headers = std::move(headers);
    part->boundary = boundary_;
    part->body = std::move(body);
    part->bodyContentLength = length;
    bodyStream_->appendHTTPBodyPart(std::move(part));
}

void NKStreamingMultipartFormDataCore::throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) {
    bodyStream_->numberOfBytesInPacket = numberOfBytes;
    bodyStream_->delay = delay;
}

NSMutableURLRequestPtr NKStreamingMultipartFormDataCore::requestByFinalizingMultipartFormData() {
    if (!request_ || bodyStream_->isEmpty()) return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_->setHTTPBodyStream(bodyStream_);
    request_->setValue(NSStringWithFormat("multipart/form-data; boundary=%@", boundary_), "Content-Type");
    request_->setValue(NSStringWithFormat("%llu", static_cast<unsigned long long>(bodyStream_->contentLength())),
                       "Content-Length");
    return request_;
}
