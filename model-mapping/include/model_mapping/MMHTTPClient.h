#pragma once
// Class-level JSON HTTP client: one request per call, answer decoded as JSON and handed back on
// the main queue. All settings are process-wide and unguarded.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <platform_net/NSURL.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

// While this is the request content type, each request's Content-type follows its body.
inline constexpr char kMMHTTPClientAutomaticContentType[] = "mmmodel/automatic";

class MMHTTPClient {
public:
    // (data or none, error or none); runs on a background queue.
    using DataHandler = std::function<void(std::optional<Value::Data>, NSErrorPtr)>;
    // (JSON object or Null when none, error or none); runs on the main queue.
    using JSONCompletion = std::function<void(Value, NSErrorPtr)>;

    // --- settings ---------------------------------------------------------------------------
    static Value::Dictionary& requestHeaders();
    static void setDefaultTextEncoding(uint64_t encoding);
    static void setCachingPolicy(uint64_t policy);
    static void setTimeoutInSeconds(int32_t seconds);
    static void setRequestContentType(std::string contentType);
    static std::string requestContentType();

    // "<type>; charset=utf-8": JSON for text framed by {} or [], form-encoded otherwise, while the
    // automatic marker is in force; the set content type otherwise.
    static std::string contentTypeForRequestString(const std::string& text);
    // One parameter value percent-encoded; only letters, digits and "-._~" stay as they are.
    static std::string urlEncode(const Value& value);

    // --- requests ---------------------------------------------------------------------------
    // headers: a dictionary or Null.
    static void requestDataFromURL(const NSURLPtr& url, const std::string& method,
                                   std::optional<Value::Data> body, const Value& headers, DataHandler handler);
    // params: a dictionary or Null. GET appends them to the query, POST sends them as the body,
    // other methods drop them.
    static void requestDataFromURLWithParams(const NSURLPtr& url, const std::string& method, const Value& params,
                                             const Value& headers, DataHandler handler);

    static void JSONFromURLWithString(const std::string& urlString, const std::string& method, const Value& params,
                                      std::optional<Value::Data> bodyData, const Value& headers,
                                      JSONCompletion completion);
    static void JSONFromURLWithString(const std::string& urlString, const std::string& method, const Value& params,
                                      const std::optional<std::string>& bodyString, const Value& headers,
                                      JSONCompletion completion);
    static void JSONFromURLWithString(const std::string& urlString, const std::string& method, const Value& params,
                                      const std::optional<std::string>& bodyString, JSONCompletion completion);

    static void getJSONFromURLWithString(const std::string& urlString, JSONCompletion completion);
    static void getJSONFromURLWithString(const std::string& urlString, const Value& params, JSONCompletion completion);
    static void postJSONFromURLWithString(const std::string& urlString, const Value& params, JSONCompletion completion);
    static void postJSONFromURLWithBodyString(const std::string& urlString, const std::string& bodyString,
                                              JSONCompletion completion);
    static void postJSONFromURLWithBodyData(const std::string& urlString, const Value::Data& bodyData,
                                            JSONCompletion completion);
};
