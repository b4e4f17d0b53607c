// Multipart requests of NKHTTPRequestSerializer: building them from parameters and a
// constructing block, and writing their body into a file for an upload from that file.

#include <networking/NKHTTPRequestSerializer.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <networking/NKQueryString.h>
#include <networking/NKStreamingMultipartFormData.h>
#include <platform_dispatch/DispatchQueue.h>

#include "NKMultipartBodyInputStream.h"

NSMutableURLRequestPtr NKHTTPRequestSerializer::multipartFormRequestWithMethod(const std::string& method,
                                                                               const std::string& URLString,
                                                                               const Value& parameters,
                                                                               const ConstructingBodyBlock& block,
                                                                               NSErrorPtr* error) const {
    auto request = requestWithMethod(method, URLString, Value(), error);
    if (!request) return nullptr;
    auto formData = NKStreamingMultipartFormData::initWithURLRequest(request, NSUTF8StringEncoding);
    if (!parameters.isNull()) {
        for (const auto& pair : NKFlattenQueryPairs(Value(), parameters)) {
            Value::Data body;
            if (pair.value().isData()) {
                body = pair.value().asData();
            } else if (!pair.value().isNull()) {
                auto encoded = NSString::dataUsingEncoding(NKQueryTextForm(pair.value()), stringEncoding_);
                if (!encoded) continue;
                body = std::move(*encoded);
            }
            formData->appendPartWithFormData(body, NKQueryTextForm(pair.field()));
        }
    }
    if (block) block(*formData);
    return formData->requestByFinalizingMultipartFormData();
}

namespace {

NSErrorPtr posixError(int code, const std::string& path) {
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code,
                                    {{NSFilePathErrorKey, path}, {NSLocalizedDescriptionKey, std::strerror(code)}});
}

// Pumps the body into the file in 1024-byte steps; the error of the side that failed.
NSErrorPtr pump(const std::shared_ptr<NKMultipartBodyStream>& input, const std::string& path) {
    std::FILE* output = std::fopen(path.c_str(), "wb");
    if (!output) return posixError(errno, path);
    NSErrorPtr error;
    if (input) {
        input->open();
        uint8_t buffer[1024];
        while (input->hasBytesAvailable()) {
            const int64_t read = input->read(buffer, sizeof buffer);
            if (read < 0 || input->streamError()) {
                error = input->streamError();
                break;
            }
            const std::size_t written = std::fwrite(buffer, 1, static_cast<std::size_t>(read), output);
            if (written != static_cast<std::size_t>(read)) {
                error = posixError(errno ? errno : EIO, path);
                break;
            }
            if (read == 0 && written == 0) break;
        }
    }
    if (std::fclose(output) != 0 && !error) error = posixError(errno, path);
    if (input) input->close();
    return error;
}

}  // namespace

NSMutableURLRequestPtr NKHTTPRequestSerializer::requestWithMultipartFormRequest(const NSURLRequestPtr& request,
                                                                                const NSURLPtr& fileURL,
                                                                                WriteCompletionHandler completionHandler) const {
    if (!request) return nullptr;
    auto input = NKMultipartBodyStreamOfRequest(*request);
    const std::string path = fileURL ? fileURL->path() : std::string();
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [input, path, completionHandler] {
        NSErrorPtr error = path.empty() ? posixError(EINVAL, path) : pump(input, path);
        if (completionHandler) {
            dispatch_async(dispatch_get_main_queue(), [completionHandler, error] { completionHandler(error); });
        }
    });
    auto copy = request->mutableCopy();
    copy->setHTTPBodyStream(nullptr);
    NKRemoveMultipartBodyStream(*copy);
    return copy;
}
