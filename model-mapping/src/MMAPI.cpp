#include <model_mapping/MMAPI.h>

#include <model_mapping/MMAPIRPCErrorModel.h>
#include <model_mapping/MMModelError.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSJSONSerialization.h>

namespace {
int64_t gLastRequestId = 0;

// A call that cannot name a URL fails on the main queue like any other failed call.
void failWithoutBaseURL(std::function<void(NSErrorPtr)> fail) {
    NSErrorPtr error = MMModelError::errorBadResponse();
    dispatch_async(dispatch_get_main_queue(), [fail, error] { fail(error); });
}
}  // namespace

MMAPI& MMAPI::shared() {
    static MMAPI instance;
    return instance;
}

void MMAPI::setAPIBaseURLWithString(std::optional<std::string> base) { shared().setBaseURLString(std::move(base)); }
void MMAPI::setContentType(std::string contentType) { MMHTTPClient::setRequestContentType(std::move(contentType)); }
int64_t MMAPI::nextRequestId() { return ++gLastRequestId; }

void MMAPI::getWithPath(const std::string& path, const Value& params, MMHTTPClient::JSONCompletion completion) {
    const auto& base = shared().baseURLString();
    if (!base) {
        if (completion) failWithoutBaseURL([completion](NSErrorPtr error) { completion(Value(), error); });
        return;
    }
    MMHTTPClient::getJSONFromURLWithString(*base + path, params, std::move(completion));
}

void MMAPI::postWithPath(const std::string& path, const Value& params, MMHTTPClient::JSONCompletion completion) {
    const auto& base = shared().baseURLString();
    if (!base) {
        if (completion) failWithoutBaseURL([completion](NSErrorPtr error) { completion(Value(), error); });
        return;
    }
    MMHTTPClient::postJSONFromURLWithString(*base + path, params, std::move(completion));
}

void MMAPI::rpcWithMethodName(const std::string& method, const Value& arguments, RPCCompletion completion) {
    Value request = Value::dict({{"id", nextRequestId()},
                                 {"params", arguments.isNull() ? Value::array({}) : arguments},
                                 {"method", method}});
    rpcRequestWithObject(request, std::move(completion));
}

void MMAPI::rpc2WithMethodName(const std::string& method, const Value& params, RPCCompletion completion) {
    Value request = Value::dict({{"jsonrpc", "2.0"},
                                 {"id", nextRequestId()},
                                 {"params", params.isNull() ? Value::array({}) : params},
                                 {"method", method}});
    rpcRequestWithObject(request, std::move(completion));
}

void MMAPI::rpcRequestWithObject(const Value& request, RPCCompletion completion) {
    const auto& base = shared().baseURLString();
    if (!base) {
        if (completion) failWithoutBaseURL([completion](NSErrorPtr error) { completion(std::nullopt, error); });
        return;
    }
    std::string body = NSJSONSerialization::stringWithJSONObject(request);
    MMHTTPClient::postJSONFromURLWithBodyString(*base, body, [completion](Value json, NSErrorPtr error) {
        if (!completion) return;
        if (json.isDictionary() && json.containsObject("result")) {
            completion(json.objectForKey("result"), error);
            return;
        }
        NSErrorPtr rpcError;
        auto model = std::make_shared<MMAPIRPCErrorModel>();
        const Value& errorObject = json.objectForKey("error");
        if (errorObject.isDictionary() && model->initWithDictionary(errorObject)) {
            const std::string& message = model->message();
            rpcError = std::make_shared<MMModelError>(MMModelErrorDomain, static_cast<int64_t>(model->code()),
                                                      Value::Dictionary{{NSLocalizedDescriptionKey, message}});
        } else {
            rpcError = MMModelError::errorBadResponse();
        }
        completion(std::nullopt, rpcError);
    });
}
