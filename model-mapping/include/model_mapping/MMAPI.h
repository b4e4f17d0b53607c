#pragma once
// A web service by base URL: GET and POST by path, and JSON-RPC 1.0 / 2.0 calls to the base URL,
// all through MMHTTPClient with completions on the main queue.

#include <functional>
#include <optional>
#include <string>

#include <model_mapping/MMHTTPClient.h>

class MMAPI {
public:
    // (result, or nullopt when the call failed; error or nullptr). A JSON null result is present.
    using RPCCompletion = std::function<void(std::optional<Value>, NSErrorPtr)>;

    // The shared instance holding the base URL of every class operation.
    static MMAPI& shared();
    const std::optional<std::string>& baseURLString() const { return baseURLString_; }
    void setBaseURLString(std::optional<std::string> base) { baseURLString_ = std::move(base); }

    static void setAPIBaseURLWithString(std::optional<std::string> base);
    // Sets the content type of every request of MMHTTPClient.
    static void setContentType(std::string contentType);

    // Base URL text directly followed by the path (no separator added). Without a base URL the
    // completion gets errorBadResponse and nothing is sent.
    static void getWithPath(const std::string& path, const Value& params, MMHTTPClient::JSONCompletion completion);
    static void postWithPath(const std::string& path, const Value& params, MMHTTPClient::JSONCompletion completion);

    // JSON-RPC 1.0: {"id", "params" (arguments, default []), "method"}.
    static void rpcWithMethodName(const std::string& method, const Value& arguments, RPCCompletion completion);
    // JSON-RPC 2.0: {"jsonrpc": "2.0", "id", "params" (array or dictionary, default []), "method"}.
    static void rpc2WithMethodName(const std::string& method, const Value& params, RPCCompletion completion);
    // POSTs a built request to the base URL and reads "result" or the "error" object.
    static void rpcRequestWithObject(const Value& request, RPCCompletion completion);

    // Ids count from 1 per process, shared by both versions (no lock).
    static int64_t nextRequestId();

private:
    std::optional<std::string> baseURLString_;
};
