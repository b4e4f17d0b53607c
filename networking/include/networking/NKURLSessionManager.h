#pragma once
// Owns one URL session and is its delegate: makes data, upload and download tasks, keeps a
// task record per task, answers server-trust challenges with its security policy, and lets
// the owner observe or override every session event through one callback each. A refused
// server trust is reported as -1202; session-level challenges are taken only by their
// callback; the session is made on first use and can be reset.

#include <functional>
#include <memory>
#include <string>

#include <networking/NKNetworkReachabilityManager.h>
#include <networking/NKSecurityPolicy.h>
#include <networking/NKURLSessionManagerCore.h>
#include <networking/NKURLSessionManagerTaskDelegate.h>
#include <platform_runtime/ObjCDeclare.h>

class NKURLSessionManager : public NKURLSessionManagerCore {
    NS_CLASS(NKURLSessionManager, NSURLSessionDownloadDelegate)
    NS_PROTOCOLS("NSSecureCoding", "NSCopying")
    NS_SELECTORS("URLSession:didBecomeInvalidWithError:", "URLSession:didReceiveChallenge:completionHandler:",
                 "URLSessionDidFinishEventsForBackgroundURLSession:",
                 "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:",
                 "URLSession:task:didReceiveChallenge:completionHandler:", "URLSession:task:needNewBodyStream:",
                 "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:",
                 "URLSession:task:didCompleteWithError:", "URLSession:task:didFinishCollectingMetrics:",
                 "URLSession:dataTask:didReceiveResponse:completionHandler:",
                 "URLSession:dataTask:didBecomeDownloadTask:", "URLSession:dataTask:didReceiveData:",
                 "URLSession:dataTask:willCacheResponse:completionHandler:",
                 "URLSession:downloadTask:didFinishDownloadingToURL:",
                 "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:",
                 "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:")

public:
    using Ptr = std::shared_ptr<NKURLSessionManager>;
    using TaskDelegatePtr = NKURLSessionManagerTaskDelegate::Ptr;
    // Answers Null (it answers through the completion itself), an NSError, an
    // NSURLCredential or a number (a disposition); anything else raises "Invalid Return Value".
    using AuthenticationChallengeHandler =
        std::function<Value(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr&,
                            const ChallengeCompletion&)>;
    using TaskDidFinishCollectingMetricsBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLSessionTaskMetricsPtr&)>;

    // A ready manager: its session made (with the default configuration when none is given)
    // and the tasks that session already holds adopted.
    static Ptr manager(NSURLSessionConfigurationPtr configuration = nullptr);
    // Prefer manager(): the session is then made on first use and no earlier task is adopted.
    explicit NKURLSessionManager(NSURLSessionConfigurationPtr configuration = nullptr);

    NKSecurityPolicy::Ptr securityPolicy() const;
    virtual void setSecurityPolicy(NKSecurityPolicy::Ptr policy);
    NKNetworkReachabilityManager::Ptr reachabilityManager() const;
    void setReachabilityManager(NKNetworkReachabilityManager::Ptr manager);

    // Cancels the pending tasks or lets them finish; with reset, the next read of session()
    // makes a new session.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks, bool resetSession) {
        invalidateSession(cancelPendingTasks, resetSession);
    }

    void setDelegate(const TaskDelegatePtr& delegate, const NSURLSessionTaskPtr& task) { setDelegateCore(delegate, task); }
    TaskDelegatePtr delegateForTask(const NSURLSessionTaskPtr& task) const;

    // NSURLErrorDomain -1202 naming the URL's host, with the trust and the URL.
    static NSErrorPtr serverTrustErrorForServerTrust(const SecTrustRef& serverTrust, const NSURLPtr& url);

    void setAuthenticationChallengeHandler(AuthenticationChallengeHandler handler);
    void setTaskDidFinishCollectingMetricsBlock(TaskDidFinishCollectingMetricsBlock block);

    // A new manager of the same class over the session's configuration; callbacks,
    // serializer, policy, queues and tasks are not carried over.
    virtual Ptr copy();

    bool postsDownloadMoveSuccess() const override { return true; }

    // --- session events that differ from the shared manager's (on operationQueue) ---
    void didReceiveChallenge(const NSURLSessionPtr& session, const NSURLAuthenticationChallengePtr& challenge,
                             ChallengeCompletion completion) override;
    void taskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                 const NSURLAuthenticationChallengePtr& challenge, ChallengeCompletion completion) override;
    void taskDidFinishCollectingMetrics(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                        const NSURLSessionTaskMetricsPtr& metrics) override;

protected:
    TaskDelegateCorePtr makeTaskDelegate(const NSURLSessionTaskPtr& task) override {
        return NKURLSessionManagerTaskDelegate::delegateWithTask(task);
    }
    bool handlesSessionChallenges() const override { return false; }

private:
    AuthenticationChallengeHandler authenticationChallengeHandler_;
    TaskDidFinishCollectingMetricsBlock taskDidFinishCollectingMetrics_;
};
