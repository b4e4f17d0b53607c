#pragma once
// The envelope upload job: posts the waiting envelope files, newest first, to the collection
// service and deletes each file it accepted; it stops at the first file no endpoint took.
// Created by the envelope builder's send step and run on the builder's upload queue (width
// 1); each POST blocks that queue's thread until the URL session answers. The request
// set-up and the synchronous POST are shared with the stateless upload.

#include <functional>
#include <optional>
#include <string>

#include <analytics_common/ZVEnvelopePathList.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_dispatch/NSOperation.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class ZVNetworkWork : public NSOperation {
    NS_CLASS(ZVNetworkWork, NSOperation)
public:
    // A copy of the paths still to post (absolute paths).
    Value envelopeFilePaths() const { return paths_.copy(); }
    void setEnvelopeFilePaths(const Value& paths) { paths_.set(paths); }
    void main() override;

    // Tries the file against the endpoint list; true when one endpoint accepted it.
    bool postDataWithFile(const std::string& path);
    // One POST, waiting for the answer.
    bool postDataToServer(const std::string& url, const std::string& path);

    // The request with the layer's headers for a URL and a file's field segment (nothing:
    // the name had no field segment).
    static NSMutableURLRequestPtr setupRequest(const std::string& url, const std::optional<std::string>& segment);
    static bool isAnalyticsBusiness(const std::string& path);
    static bool isAnalyticsSessionBeginBusiness(const std::string& path);
    // The part of the name before its first "_"; nothing when the name has none.
    static std::optional<std::string> fieldSegment(const std::string& name);

    // What a completion handler sees: the body (absent or empty), the response, the error.
    using Completion = std::function<bool(const std::optional<NSURLRequest::Data>&, const NSURLResponsePtr&,
                                          const NSErrorPtr&)>;
    // POSTs the file's bytes with `request` on the shared session and blocks on `semaphore`
    // until the completion ran; answers what the completion answered (false when the file
    // cannot be read). The wait is bounded by the request's time-out plus kAnswerGraceSeconds,
    // also against a server that keeps answering slowly: then the task is cancelled, the
    // answer is false and the completion never runs.
    static constexpr double kAnswerGraceSeconds = 1.0;
    static bool postSynchronously(const NSMutableURLRequestPtr& request, const std::string& path,
                                  const dispatch_semaphore_t& semaphore, const Completion& completion);

private:
    ZVEnvelopePathList paths_;
};
