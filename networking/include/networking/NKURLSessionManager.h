#pragma once
// Owns one URL session and is its delegate: makes data, upload and download tasks, keeps a
// task record per task, answers server-trust challenges with its security policy, and lets
// the owner observe or override every session event through one callback each.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <networking/NKNetworkReachabilityManager.h>
#include <networking/NKSecurityPolicy.h>
#include <networking/NKURLResponseSerialization.h>
#include <networking/NKURLSessionManagerTaskDelegate.h>
#include <platform_dispatch/DispatchGroup.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSOperationQueue.h>
#include <platform_foundation/NSLock.h>
#include <platform_foundation/NSNotification.h>
#include <platform_net/NSURLSession.h>
#include <platform_runtime/ObjCDeclare.h>

class NSInputStream;

class NKURLSessionManager : public NSURLSessionDownloadDelegate {
    NS_CLASS(NKURLSessionManager, NSURLSessionDownloadDelegate)
    NS_PROTOCOLS("NSCopying")
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
    using Data = std::vector<uint8_t>;
    using TaskDelegatePtr = NKURLSessionManagerTaskDelegate::Ptr;
    using CompletionHandler = NKURLSessionManagerTaskDelegate::CompletionHandler;
    using ProgressBlock = NKURLSessionManagerTaskDelegate::ProgressBlock;
    // (temporary file URL, response) -> destination file URL.
    using DestinationBlock = std::function<NSURLPtr(const NSURLPtr&, const NSURLResponsePtr&)>;

    // --- event callbacks ---
    using SessionDidBecomeInvalidBlock = std::function<void(const NSURLSessionPtr&, const NSErrorPtr&)>;
    using SessionDidReceiveAuthenticationChallengeBlock = std::function<NSURLSessionAuthChallengeDisposition(
        const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&, NSURLCredentialPtr* credential)>;
    using SessionDidFinishEventsForBackgroundURLSessionBlock = std::function<void(const NSURLSessionPtr&)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<NSURLRequestPtr(
        const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSHTTPURLResponsePtr&, const NSURLRequestPtr&)>;
    // Answers Null (it answers through the completion itself), an NSError, an
    // NSURLCredential or a number (a disposition); anything else raises "Invalid Return Value".
    using AuthenticationChallengeHandler =
        std::function<Value(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr&,
                            const ChallengeCompletion&)>;
    using TaskNeedNewBodyStreamBlock =
        std::function<std::shared_ptr<NSInputStream>(const NSURLSessionPtr&, const NSURLSessionTaskPtr&)>;
    using TaskDidSendBodyDataBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, int64_t, int64_t, int64_t)>;
    using TaskDidCompleteBlock = std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr&)>;
    using TaskDidFinishCollectingMetricsBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLSessionTaskMetricsPtr&)>;
    using DataTaskDidReceiveResponseBlock = std::function<NSURLSessionResponseDisposition(
        const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr&)>;
    using DataTaskDidBecomeDownloadTaskBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLSessionDownloadTaskPtr&)>;
    using DataTaskDidReceiveDataBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const Data&)>;
    using DataTaskWillCacheResponseBlock = std::function<NSCachedURLResponsePtr(
        const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSCachedURLResponsePtr&)>;
    using DownloadTaskDidFinishDownloadingBlock = NKURLSessionManagerTaskDelegate::DownloadDestinationBlock;
    using DownloadTaskDidWriteDataBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, int64_t, int64_t, int64_t)>;
    using DownloadTaskDidResumeBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, int64_t, int64_t)>;

    // A ready manager: its session made (with the default configuration when none is given)
    // and the tasks that session already holds adopted.
    static Ptr manager(NSURLSessionConfigurationPtr configuration = nullptr);
    // Prefer manager(): the session is then made on first use and no earlier task is adopted.
    explicit NKURLSessionManager(NSURLSessionConfigurationPtr configuration = nullptr);
    ~NKURLSessionManager() override;

    // --- configuration ---
    const std::shared_ptr<NSOperationQueue>& operationQueue() const { return operationQueue_; }
    std::shared_ptr<NKURLResponseSerialization> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<NKURLResponseSerialization> serializer);
    NKSecurityPolicy::Ptr securityPolicy() const;
    virtual void setSecurityPolicy(NKSecurityPolicy::Ptr policy);
    const NKNetworkReachabilityManager::Ptr& reachabilityManager() const { return reachabilityManager_; }
    void setReachabilityManager(NKNetworkReachabilityManager::Ptr manager) { reachabilityManager_ = std::move(manager); }
    // nullptr: the main queue.
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(dispatch_queue_t queue);
    // nullptr: the process-wide completion group.
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(dispatch_group_t group);
    const NSURLSessionConfigurationPtr& sessionConfiguration() const { return sessionConfiguration_; }

    // Made on first read (again after a reset).
    NSURLSessionPtr session();
    // Cancels the pending tasks or lets them finish; with reset, the next read of session()
    // makes a new session.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks, bool resetSession);

    // "0x..." — the manager's address; marks the tasks that belong to it.
    std::string taskDescriptionForSessionTasks() const;
    // The session's current tasks; blocks until the delegate queue answers (never ask from it).
    std::vector<NSURLSessionTaskPtr> tasks();
    std::vector<NSURLSessionTaskPtr> dataTasks();
    std::vector<NSURLSessionTaskPtr> uploadTasks();
    std::vector<NSURLSessionTaskPtr> downloadTasks();
    std::optional<std::vector<NSURLSessionTaskPtr>> tasksForKeyPath(const std::string& keyPath);

    // --- task factories: the task is registered and returned suspended ---
    NSURLSessionDataTaskPtr dataTaskWithRequest(const NSURLRequestPtr& request, ProgressBlock uploadProgress,
                                                ProgressBlock downloadProgress, CompletionHandler completionHandler);
    NSURLSessionUploadTaskPtr uploadTaskWithRequest(const NSURLRequestPtr& request, const NSURLPtr& fileURL,
                                                    ProgressBlock uploadProgress, CompletionHandler completionHandler);
    NSURLSessionUploadTaskPtr uploadTaskWithRequest(const NSURLRequestPtr& request, const Data& bodyData,
                                                    ProgressBlock uploadProgress, CompletionHandler completionHandler);
    NSURLSessionUploadTaskPtr uploadTaskWithStreamedRequest(const NSURLRequestPtr& request, ProgressBlock uploadProgress,
                                                            CompletionHandler completionHandler);
    NSURLSessionDownloadTaskPtr downloadTaskWithRequest(const NSURLRequestPtr& request, ProgressBlock downloadProgress,
                                                        DestinationBlock destination, CompletionHandler completionHandler);
    NSURLSessionDownloadTaskPtr downloadTaskWithResumeData(const Data& resumeData, ProgressBlock downloadProgress,
                                                           DestinationBlock destination,
                                                           CompletionHandler completionHandler);

    // --- task records (any thread) ---
    void addDelegateForDataTask(const NSURLSessionDataTaskPtr& task, ProgressBlock uploadProgress,
                                ProgressBlock downloadProgress, CompletionHandler completionHandler);
    void addDelegateForUploadTask(const NSURLSessionUploadTaskPtr& task, ProgressBlock uploadProgress,
                                  CompletionHandler completionHandler);
    void addDelegateForDownloadTask(const NSURLSessionDownloadTaskPtr& task, ProgressBlock downloadProgress,
                                    DestinationBlock destination, CompletionHandler completionHandler);
    void setDelegate(const TaskDelegatePtr& delegate, const NSURLSessionTaskPtr& task);
    TaskDelegatePtr delegateForTask(const NSURLSessionTaskPtr& task) const;
    void removeDelegateForTask(const NSURLSessionTaskPtr& task);
    NSProgressPtr uploadProgressForTask(const NSURLSessionTaskPtr& task) const;
    NSProgressPtr downloadProgressForTask(const NSURLSessionTaskPtr& task) const;

    // The error a refused challenge attached to the task, which its completion reports in
    // place of the session's own error.
    static NSErrorPtr challengeErrorForTask(const NSURLSessionTask& task);
    static void setChallengeErrorForTask(const NSURLSessionTask& task, const NSErrorPtr& error);
    // NSURLErrorDomain -1202 naming the URL's host, with the trust and the URL.
    static NSErrorPtr serverTrustErrorForServerTrust(const SecTrustRef& serverTrust, const NSURLPtr& url);

    // --- callbacks: each replaces the one before ---
    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveAuthenticationChallengeBlock block);
    void setDidFinishEventsForBackgroundURLSessionBlock(SessionDidFinishEventsForBackgroundURLSessionBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block);
    void setAuthenticationChallengeHandler(AuthenticationChallengeHandler handler);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setTaskDidFinishCollectingMetricsBlock(TaskDidFinishCollectingMetricsBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    // The five optional events whose callback is unset are answered "not handled", so the
    // session applies its own behaviour.
    bool respondsToSelector(std::string_view selector) const override;
    std::string description() const override;
    // A new manager of the same class over the session's configuration; callbacks,
    // serializer, policy, queues and tasks are not carried over.
    virtual Ptr copy();

    // --- session events (on operationQueue) ---
    void didBecomeInvalidWithError(const NSURLSessionPtr& session, const NSErrorPtr& error) override;
    void didReceiveChallenge(const NSURLSessionPtr& session, const NSURLAuthenticationChallengePtr& challenge,
                             ChallengeCompletion completion) override;
    void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr& session) override;
    void taskWillPerformHTTPRedirection(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                        const NSHTTPURLResponsePtr& response, const NSURLRequestPtr& newRequest,
                                        std::function<void(NSURLRequestPtr)> completion) override;
    void taskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                 const NSURLAuthenticationChallengePtr& challenge, ChallengeCompletion completion) override;
    void taskNeedNewBodyStream(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                               std::function<void(std::shared_ptr<NSInputStream>)> completion) override;
    void taskDidSendBodyData(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task, int64_t bytesSent,
                             int64_t totalBytesSent, int64_t totalBytesExpectedToSend) override;
    void taskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                  const NSErrorPtr& error) override;
    void taskDidFinishCollectingMetrics(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                        const NSURLSessionTaskMetricsPtr& metrics) override;
    void dataTaskDidReceiveResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                    const NSURLResponsePtr& response,
                                    std::function<void(NSURLSessionResponseDisposition)> completion) override;
    void dataTaskDidBecomeDownloadTask(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& dataTask,
                                       const NSURLSessionDownloadTaskPtr& downloadTask) override;
    void dataTaskDidReceiveData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                const std::vector<uint8_t>& data) override;
    void dataTaskWillCacheResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                   const NSCachedURLResponsePtr& proposed,
                                   std::function<void(NSCachedURLResponsePtr)> completion) override;
    void downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                               const NSURLPtr& location) override;
    void downloadTaskDidWriteData(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                  int64_t bytesWritten, int64_t totalBytesWritten,
                                  int64_t totalBytesExpectedToWrite) override;
    void downloadTaskDidResumeAtOffset(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                       int64_t fileOffset, int64_t expectedTotalBytes) override;

protected:
    // Makes the session and adopts the tasks it already holds; the factories call it once
    // the manager is owned by a shared_ptr.
    void startUp();
    template <class M, class... A>
    static std::shared_ptr<M> makeStarted(A&&... args) {
        auto manager = std::make_shared<M>(std::forward<A>(args)...);
        manager->startUp();
        return manager;
    }

private:
    Ptr self();
    void taskDidResume(const NSNotification& notification);
    void taskDidSuspend(const NSNotification& notification);
    void relay(const NSNotification& notification, const char* name);
    void addNotificationObserverForTask(const NSURLSessionTaskPtr& task);
    void removeNotificationObserverForTask(const NSURLSessionTaskPtr& task);
    TaskDelegatePtr makeTaskDelegate(const NSURLSessionTaskPtr& task, CompletionHandler completionHandler);

    std::shared_ptr<NSOperationQueue> operationQueue_;
    NSURLSessionConfigurationPtr sessionConfiguration_;
    NKNetworkReachabilityManager::Ptr reachabilityManager_;

    mutable std::mutex configMutex_;  // serializer, policy, completion queue and group
    std::shared_ptr<NKURLResponseSerialization> responseSerializer_;
    NKSecurityPolicy::Ptr securityPolicy_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;

    std::recursive_mutex sessionMonitor_;
    NSURLSessionPtr session_;

    mutable NSLock lock_;
    std::map<uint64_t, TaskDelegatePtr> mutableTaskDelegatesKeyedByTaskIdentifier_;

    mutable std::mutex blocksMutex_;
    SessionDidBecomeInvalidBlock sessionDidBecomeInvalid_;
    SessionDidReceiveAuthenticationChallengeBlock sessionDidReceiveAuthenticationChallenge_;
    SessionDidFinishEventsForBackgroundURLSessionBlock didFinishEventsForBackgroundURLSession_;
    TaskWillPerformHTTPRedirectionBlock taskWillPerformHTTPRedirection_;
    AuthenticationChallengeHandler authenticationChallengeHandler_;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream_;
    TaskDidSendBodyDataBlock taskDidSendBodyData_;
    TaskDidCompleteBlock taskDidComplete_;
    TaskDidFinishCollectingMetricsBlock taskDidFinishCollectingMetrics_;
    DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse_;
    DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask_;
    DataTaskDidReceiveDataBlock dataTaskDidReceiveData_;
    DataTaskWillCacheResponseBlock dataTaskWillCacheResponse_;
    DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading_;
    DownloadTaskDidWriteDataBlock downloadTaskDidWriteData_;
    DownloadTaskDidResumeBlock downloadTaskDidResume_;
};
