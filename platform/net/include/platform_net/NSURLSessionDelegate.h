#pragma once
// The delegate of a URL session: session-, task-, data- and download-level events. Every
// event is optional: the session calls one only when respondsToSelector answers yes for its
// selector, so a subclass lists what it overrides with NS_SELECTORS(...) (or overrides
// respondsToSelector). The events share their selectors' first keyword ("URLSession"), so
// each method is named by the keywords after the session and the task.
//
// The interfaces form one chain (session <- task <- data <- download) so that one object can
// implement every level; the default bodies apply the session's own behaviour.

#include <platform_net/NSCachedURLResponse.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLAuthenticationChallenge.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLSessionTask.h>
#include <platform_net/NSURLSessionTaskMetrics.h>
#include <platform_runtime/ObjCDeclare.h>

#include <functional>
#include <memory>

class NSURLSession;
class NSInputStream;
using NSURLSessionPtr = std::shared_ptr<NSURLSession>;

enum NSURLSessionResponseDisposition : int64_t {
    NSURLSessionResponseCancel = 0,
    NSURLSessionResponseAllow = 1,
    NSURLSessionResponseBecomeDownload = 2,
    NSURLSessionResponseBecomeStream = 3,
};

// The selectors the session asks about.
namespace NSURLSessionSelector {
inline constexpr char didBecomeInvalidWithError[] = "URLSession:didBecomeInvalidWithError:";
inline constexpr char didReceiveChallenge[] = "URLSession:didReceiveChallenge:completionHandler:";
inline constexpr char didFinishEventsForBackgroundURLSession[] = "URLSessionDidFinishEventsForBackgroundURLSession:";
inline constexpr char taskWillPerformHTTPRedirection[] =
    "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:";
inline constexpr char taskDidReceiveChallenge[] = "URLSession:task:didReceiveChallenge:completionHandler:";
inline constexpr char taskNeedNewBodyStream[] = "URLSession:task:needNewBodyStream:";
inline constexpr char taskDidSendBodyData[] = "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:";
inline constexpr char taskDidCompleteWithError[] = "URLSession:task:didCompleteWithError:";
inline constexpr char taskDidFinishCollectingMetrics[] = "URLSession:task:didFinishCollectingMetrics:";
inline constexpr char dataTaskDidReceiveResponse[] = "URLSession:dataTask:didReceiveResponse:completionHandler:";
inline constexpr char dataTaskDidBecomeDownloadTask[] = "URLSession:dataTask:didBecomeDownloadTask:";
inline constexpr char dataTaskDidReceiveData[] = "URLSession:dataTask:didReceiveData:";
inline constexpr char dataTaskWillCacheResponse[] = "URLSession:dataTask:willCacheResponse:completionHandler:";
inline constexpr char downloadTaskDidFinishDownloadingToURL[] = "URLSession:downloadTask:didFinishDownloadingToURL:";
inline constexpr char downloadTaskDidWriteData[] =
    "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:";
inline constexpr char downloadTaskDidResumeAtOffset[] = "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:";
}  // namespace NSURLSessionSelector

class NSURLSessionDelegate : public NSObject {
    NS_CLASS(NSURLSessionDelegate, NSObject)
    NS_PROTOCOLS("NSURLSessionDelegate")
public:
    using ChallengeCompletion = std::function<void(NSURLSessionAuthChallengeDisposition, NSURLCredentialPtr)>;

    virtual void didBecomeInvalidWithError(const NSURLSessionPtr&, const NSErrorPtr&) {}
    // Connection-level challenges (server trust) for every task of the session.
    virtual void didReceiveChallenge(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&,
                                     ChallengeCompletion completion) {
        completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    virtual void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr&) {}
};

class NSURLSessionTaskDelegate : public NSURLSessionDelegate {
    NS_CLASS(NSURLSessionTaskDelegate, NSURLSessionDelegate)
    NS_PROTOCOLS("NSURLSessionTaskDelegate")
public:
    // completion(request to follow) or completion(nullptr) to stop at the redirect response.
    virtual void taskWillPerformHTTPRedirection(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                                const NSHTTPURLResponsePtr&, const NSURLRequestPtr& newRequest,
                                                std::function<void(NSURLRequestPtr)> completion) {
        completion(newRequest);
    }
    virtual void taskDidReceiveChallenge(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                         const NSURLAuthenticationChallengePtr&, ChallengeCompletion completion) {
        completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    // A fresh copy of a streamed body, when the body must be sent again.
    virtual void taskNeedNewBodyStream(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                       std::function<void(std::shared_ptr<NSInputStream>)> completion) {
        completion(nullptr);
    }
    virtual void taskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, int64_t /*bytesSent*/,
                                     int64_t /*totalBytesSent*/, int64_t /*totalBytesExpectedToSend*/) {}
    virtual void taskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr&) {}
    virtual void taskDidFinishCollectingMetrics(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                                const NSURLSessionTaskMetricsPtr&) {}
};

class NSURLSessionDataDelegate : public NSURLSessionTaskDelegate {
    NS_CLASS(NSURLSessionDataDelegate, NSURLSessionTaskDelegate)
    NS_PROTOCOLS("NSURLSessionDataDelegate")
public:
    virtual void dataTaskDidReceiveResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                            const NSURLResponsePtr&,
                                            std::function<void(NSURLSessionResponseDisposition)> completion) {
        completion(NSURLSessionResponseAllow);
    }
    virtual void dataTaskDidBecomeDownloadTask(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                               const NSURLSessionDownloadTaskPtr&) {}
    virtual void dataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                        const std::vector<uint8_t>& /*data*/) {}
    // The same event as the session delivers it: the bytes are the delegate's, so one that keeps
    // them may take them instead of copying. By default it calls dataTaskDidReceiveData.
    virtual void dataTaskDidReceiveOwnedData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                             std::vector<uint8_t>&& data) {
        dataTaskDidReceiveData(session, task, data);
    }
    // completion(the response to store, or nullptr to store nothing).
    virtual void dataTaskWillCacheResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                           const NSCachedURLResponsePtr& proposed,
                                           std::function<void(NSCachedURLResponsePtr)> completion) {
        completion(proposed);
    }
};

class NSURLSessionDownloadDelegate : public NSURLSessionDataDelegate {
    NS_CLASS(NSURLSessionDownloadDelegate, NSURLSessionDataDelegate)
    NS_PROTOCOLS("NSURLSessionDownloadDelegate")
public:
    // The file is removed when this returns: move or read it here. Required of a download
    // delegate; the others are optional.
    virtual void downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                                       const NSURLPtr& /*location*/) {}
    virtual void downloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                          int64_t /*bytesWritten*/, int64_t /*totalBytesWritten*/,
                                          int64_t /*totalBytesExpectedToWrite*/) {}
    virtual void downloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                               int64_t /*fileOffset*/, int64_t /*expectedTotalBytes*/) {}
};
