// Multipart requests of the request serializers: building them from parameters and a
// constructing block, and writing their body into a file for an upload from that file.

#include <networking/NKHTTPRequestSerializerCore.h>

#include <cerrno>

#include <networking/NKQueryString.h>
#include <networking/NKStreamingMultipartFormDataCore.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_net/NSInputStream.h>
#include <platform_net/NSOutputStream.h>

NSMutableURLRequestPtr NKHTTPRequestSerializerCore::multipartFormRequestWithMethod(const std::string& method,
                                                                               const std::string& URLString,
                                                                               const Value& parameters,
                                                                               const ConstructingBodyBlock& block,
                                                                               NSErrorPtr* error) const {
    auto request = requestWithMethod(method, URLString, Value(), error);
    if (!request) return nullptr;
    auto formData = makeMultipartFormData(request, NSUTF8StringEncoding);
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

// Pumps the body into the file 1024 bytes at a time; the error of the side that failed.
NSErrorPtr pump(const std::shared_ptr<NSInputStream>& input, const std::shared_ptr<NSOutputStream>& output) {
    output->open();
    if (input) input->open();
    NSErrorPtr error = output->streamError();
    uint8_t buffer[1024];
    while (!error && input && input->hasBytesAvailable() && output->hasSpaceAvailable()) {
        const int64_t read = input->read(buffer, sizeof buffer);
        if (read < 0 || input->streamError()) {
            error = input->streamError();
            break;
        }
        const int64_t written = output->write(buffer, static_cast<std::size_t>(read));
        if (written < 0 || output->streamError()) {
            error = output->streamError();
            break;
        }
        if (read == 0 && written == 0) break;
    }
    output->close();
    if (input) input->close();
    return error;
}

}  // namespace

NSMutableURLRequestPtr NKHTTPRequestSerializerCore::requestWithMultipartFormRequest(const NSURLRequestPtr& request,
                                                                                const NSURLPtr& fileURL,
                                                                                WriteCompletionHandler completionHandler) const {
    if (!request) return nullptr;
    auto input = request->HTTPBodyStream();
    auto output = NSOutputStream::outputStreamWithURL(fileURL, false);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [input, output, fileURL,
                                                                                  completionHandler] {
        // A URL that is not a file URL gives no stream to write to.
        NSErrorPtr error = output ? pump(input, output)
                                  : NSError::errorWithDomain(NSCocoaErrorDomain, 518,
                                                             {{NSURLErrorKey, fileURL ? Value(fileURL) : Value()}});
        if (completionHandler) {
            dispatch_async(dispatch_get_main_queue(), [completionHandler, error] { completionHandler(error); });
        }
    });
    auto copy = request->mutableCopy();
    copy->setHTTPBodyStream(nullptr);
    return copy;
}
