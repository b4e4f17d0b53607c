#pragma once
// The monitoring kit's session manager: the shared manager behaviour under the kit's own
// classes, with the kit's differences: the session is made when the manager is, one task
// challenge callback (and none for metrics), session-level challenges always answered with
// the policy, a refused server trust cancelled (the task ends with -999), task creation
// serialised on old Foundation versions, optional retries of file uploads on background
// sessions, only failed download moves announced, and the family's own processing queue
// and completion group. Configuration and callbacks may be set from any thread; session
// events arrive on operationQueue.

#include <functional>
#include <memory>

#include <networking/NKURLSessionManagerCore.h>
#include <platform_runtime/ObjCDeclare.h>
#include <sdk_http/ZPKNKNetworkReachabilityManager.h>
#include <sdk_http/ZPKNKSecurityPolicy.h>

class ZPKNKURLSessionManager;

// Runs the task-creating block: below Foundation 1140.11 synchronously on the serial queue
// "com.netkit.networking.session.manager.creation" (no two tasks made at once), else on
// the calling thread.
void ZPKNKSafeTaskCreation(const std::function<void()>& block);

class ZPKNKURLSessionManagerTaskDelegate : public NKURLSessionManagerTaskDelegateCore {
    NS_CLASS(ZPKNKURLSessionManagerTaskDelegate, NSURLSessionDownloadDelegate)

public:
    using Ptr = std::shared_ptr<ZPKNKURLSessionManagerTaskDelegate>;

    // A record for the task: both progress objects start at -1 units; cancelling or pausing
    // either one does the same to the task, and resuming too from OS 9.0 on.
    static Ptr delegateWithTask(const NSURLSessionTaskPtr& task);
    ZPKNKURLSessionManagerTaskDelegate() = default;

    std::shared_ptr<ZPKNKURLSessionManager> manager() const;

    // The kit's process-wide serialisation queue and default completion group.
    static dispatch_queue_t processingQueue();
    static dispatch_group_t sharedCompletionGroup();

protected:
    dispatch_queue_t familyProcessingQueue() const override { return processingQueue(); }
    dispatch_group_t familyCompletionGroup() const override { return sharedCompletionGroup(); }
};

class ZPKNKURLSessionManager : public NKURLSessionManagerCore {
    NS_CLASS(ZPKNKURLSessionManager, NSURLSessionDownloadDelegate)
    NS_PROTOCOLS("NSSecureCoding", "NSCopying")
    NS_SELECTORS("URLSession:didBecomeInvalidWithError:", "URLSession:didReceiveChallenge:completionHandler:",
                 "URLSessionDidFinishEventsForBackgroundURLSession:",
                 "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:",
                 "URLSession:task:didReceiveChallenge:completionHandler:", "URLSession:task:needNewBodyStream:",
                 "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:",
                 "URLSession:task:didCompleteWithError:", "URLSession:dataTask:didReceiveResponse:completionHandler:",
                 "URLSession:dataTask:didBecomeDownloadTask:", "URLSession:dataTask:didReceiveData:",
                 "URLSession:dataTask:willCacheResponse:completionHandler:",
                 "URLSession:downloadTask:didFinishDownloadingToURL:",
                 "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:",
                 "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:")

public:
    using Ptr = std::shared_ptr<ZPKNKURLSessionManager>;
    using TaskDelegatePtr = ZPKNKURLSessionManagerTaskDelegate::Ptr;
    using TaskDidReceiveAuthenticationChallengeBlock =
        std::function<NSURLSessionAuthChallengeDisposition(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                                           const NSURLAuthenticationChallengePtr&,
                                                           NSURLCredentialPtr* credential)>;

    // A ready manager: its session made (with the default configuration when none is given)
    // and the tasks that session already holds adopted.
    static Ptr manager(NSURLSessionConfigurationPtr configuration = nullptr);
    // Use manager(): it makes the session once the manager is owned.
    explicit ZPKNKURLSessionManager(NSURLSessionConfigurationPtr configuration = nullptr);

    bool attemptsToRecreateUploadTasksForBackgroundSessions() const { return attemptsToRecreate_.load(); }
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool on) { attemptsToRecreate_.store(on); }
    ZPKNKSecurityPolicy::Ptr securityPolicy() const;
    virtual void setSecurityPolicy(ZPKNKSecurityPolicy::Ptr policy);
    ZPKNKNetworkReachabilityManager::Ptr reachabilityManager() const;
    void setReachabilityManager(ZPKNKNetworkReachabilityManager::Ptr manager);

    // Cancels the pending tasks or lets them finish; the session is not made again.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks) { invalidateSession(cancelPendingTasks, false); }

    void setDelegate(const TaskDelegatePtr& delegate, const NSURLSessionTaskPtr& task) { setDelegateCore(delegate, task); }
    TaskDelegatePtr delegateForTask(const NSURLSessionTaskPtr& task) const;

    void setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveAuthenticationChallengeBlock block);

    // A new manager of the same class over the session's configuration; callbacks,
    // serializer, policy, queues and tasks are not carried over.
    virtual Ptr copy();

    bool postsDownloadMoveSuccess() const override { return false; }

    // --- session events that differ from the shared manager's (on operationQueue) ---
    void didReceiveChallenge(const NSURLSessionPtr& session, const NSURLAuthenticationChallengePtr& challenge,
                             ChallengeCompletion completion) override;
    void taskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                 const NSURLAuthenticationChallengePtr& challenge, ChallengeCompletion completion) override;

protected:
    TaskDelegateCorePtr makeTaskDelegate(const NSURLSessionTaskPtr& task) override {
        return ZPKNKURLSessionManagerTaskDelegate::delegateWithTask(task);
    }
    void performTaskCreation(const std::function<void()>& create) override { ZPKNKSafeTaskCreation(create); }
    int fileUploadTaskAttempts() const override;
    bool handlesSessionChallenges() const override { return true; }

private:
    std::atomic<bool> attemptsToRecreate_{false};
    TaskDidReceiveAuthenticationChallengeBlock taskDidReceiveAuthenticationChallenge_;
};
