#pragma once
// The app's single road to the network: one GET of an absolute URL through the shared API
// client, answered with the decoded JSON document or an error.
//
// Call on the main thread. The result callback runs once on the main queue, unless it is
// empty (the outcome is then dropped).

#include <functional>
#include <string>

#include <platform_net/NSURLSessionTask.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

class ConnectionManager {
public:
    // (document, error): with an error the document is Null; without one it is what the JSON
    // serializer made of the body (Null for an empty body).
    using ResultBlock = std::function<void(Value document, NSErrorPtr error)>;

    // A data task for the URL that is not yet running: the caller resumes it. A plain GET with
    // the platform's default cache policy and timeout and none of the client's default
    // headers. A URL that cannot be parsed gives a task that fails with
    // NSURLErrorBadURL (-1000) when resumed.
    static NSURLSessionDataTaskPtr globalTimelinePostsWithBlock(const std::string& URLString, ResultBlock result);
};
