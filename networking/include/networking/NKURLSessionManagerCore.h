#pragma once
// The behaviour of a session manager, shared by the manager classes of every prefix: owns
// one URL session and is its delegate, makes data, upload and download tasks, keeps a task
// record per task, turns each finished task into (response, object, error) through its
// response serializer, and lets the owner observe or override the session events through
// one callback each. Not a runtime class of its own: each named manager class derives from
// it, registers itself with its selectors and supplies what differs (task records, task
// creation, challenge answers, extra callbacks). Configuration and callbacks may be set
// from any thread; session events arrive on operationQueue.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <networking/NKNetworkReachabilityCore.h>
#include <networking/NKSecurityPolicyCore.h>
#include <networking/NKURLResponseSerialization.h>
#include <networking/NKURLSessionManagerTaskDelegateCore.h>
#include <platform_dispatch/DispatchGroup.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSOperationQueue.h>
#include <platform_foundation/NSCoding.h>
#include <platform_foundation/NSLock.h>
#include <platform_foundation/NSNotification.h>
#include <platform_net/NSURLSession.h>

class NSInputStream;

// Moves a finished download to its destination; a failed move posts the file-manager-error
// notification with the error's user info, a successful one the success notification when
// `postSuccess`.
void NKMoveDownloadedFile(const NSURLSessionDownloadTaskPtr& task, const NSURLPtr& location,
                          const NSURLPtr& destination, bool postSuccess);

class NKURLSessionManagerCore : public NSURLSessionDownloadDelegate, public NSCoding {
public:
    using Data = std::vector<uint8_t>;
    using TaskDelegateCorePtr = std::shared_ptr<NKURLSessionManagerTaskDelegateCore>;
    using CompletionHandler = NKURLSessionManagerTaskDelegateCore::CompletionHandler;
    using ProgressBlock = NKURLSessionManagerTaskDelegateCore::ProgressBlock;
    // (temporary file URL, response) -> destination file URL.
    using DestinationBlock = std::function<NSURLPtr(const NSURLPtr&, const NSURLResponsePtr&)>;

    // --- event callbacks ---
    using SessionDidBecomeInvalidBlock = std::function<void(const NSURLSessionPtr&, const NSErrorPtr&)>;
    using SessionDidReceiveAuthenticationChallengeBlock = std::function<NSURLSessionAuthChallengeDisposition(
        const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&, NSURLCredentialPtr* credential)>;
    using SessionDidFinishEventsForBackgroundURLSessionBlock = std::function<void(const NSURLSessionPtr&)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<NSURLRequestPtr(
        const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSHTTPURLResponsePtr&, const NSURLRequestPtr&)>;
    using TaskNeedNewBodyStreamBlock =
        std::function<std::shared_ptr<NSInputStream>(const NSURLSessionPtr&, const NSURLSessionTaskPtr&)>;
    using TaskDidSendBodyDataBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, int64_t, int64_t, int64_t)>;
    using TaskDidCompleteBlock = std::function<void(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr&)>;
    using DataTaskDidReceiveResponseBlock = std::function<NSURLSessionResponseDisposition(
        const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr&)>;
    using DataTaskDidBecomeDownloadTaskBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLSessionDownloadTaskPtr&)>;
    using DataTaskDidReceiveDataBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const Data&)>;
    using DataTaskWillCacheResponseBlock = std::function<NSCachedURLResponsePtr(
        const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSCachedURLResponsePtr&)>;
    using DownloadTaskDidFinishDownloadingBlock = NKURLSessionManagerTaskDelegateCore::DownloadDestinationBlock;
    using DownloadTaskDidWriteDataBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, int64_t, int64_t, int64_t)>;
    using DownloadTaskDidResumeBlock =
        std::function<void(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, int64_t, int64_t)>;

    ~NKURLSessionManagerCore() override;

    // --- configuration ---
    const std::shared_ptr<NSOperationQueue>& operationQueue() const { return operationQueue_; }
    std::shared_ptr<NKURLResponseSerialization> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<NKURLResponseSerialization> serializer);
    std::shared_ptr<NKSecurityPolicyCore> securityPolicyCore() const;
    // nullptr: the main queue.
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(dispatch_queue_t queue);
    // nullptr: the family's process-wide completion group.
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(dispatch_group_t group);
    const NSURLSessionConfigurationPtr& sessionConfiguration() const { return sessionConfiguration_; }

    // Made on first read (again after a reset).
    NSURLSessionPtr session();

    // "0x..." — the manager's address; marks the tasks that belong to it.
    std::string taskDescriptionForSessionTasks() const;
    // The session's current tasks; blocks until the delegate queue answers (never ask from it).
    std::vector<NSURLSessionTaskPtr> tasks();
    std::vector<NSURLSessionTaskPtr> dataTasks();
    std::vector<NSURLSessionTaskPtr> uploadTasks();
    std::vector<NSURLSessionTaskPtr> downloadTasks();
    std::optional<std::vector<NSURLSessionTaskPtr>> tasksForKeyPath(const std::string& keyPath);

    // --- task factories: the task is registered and returned suspended; nullptr when the
    // session made none ---
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
    void setDelegateCore(const TaskDelegateCorePtr& delegate, const NSURLSessionTaskPtr& task);
    TaskDelegateCorePtr delegateCoreForTask(const NSURLSessionTaskPtr& task) const;
    void removeDelegateForTask(const NSURLSessionTaskPtr& task);
    NSProgressPtr uploadProgressForTask(const NSURLSessionTaskPtr& task) const;
    NSProgressPtr downloadProgressForTask(const NSURLSessionTaskPtr& task) const;

    // The error a refused challenge attached to the task, which its completion reports in
    // place of the session's own error.
    static NSErrorPtr challengeErrorForTask(const NSURLSessionTask& task);
    static void setChallengeErrorForTask(const NSURLSessionTask& task, const NSErrorPtr& error);

    // --- callbacks: each replaces the one before ---
    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveAuthenticationChallengeBlock block);
    void setDidFinishEventsForBackgroundURLSessionBlock(SessionDidFinishEventsForBackgroundURLSessionBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    // Redirection, response, caching and background events are answered "not handled" while
    // their callback is unset, so the session applies its own behaviour.
    bool respondsToSelector(std::string_view selector) const override;
    std::string description() const override;

    // Keyed coding: the session configuration, which the platform cannot archive, travels
    // as its background identifier ("identifier"; none for other configurations). Decoding
    // sets the configuration of a manager whose session is not made yet.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // Whether a moved download also posts the success notification.
    virtual bool postsDownloadMoveSuccess() const = 0;

    // --- session events (on operationQueue) ---
    void didBecomeInvalidWithError(const NSURLSessionPtr& session, const NSErrorPtr& error) override;
    void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr& session) override;
    void taskWillPerformHTTPRedirection(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                        const NSHTTPURLResponsePtr& response, const NSURLRequestPtr& newRequest,
                                        std::function<void(NSURLRequestPtr)> completion) override;
    void taskNeedNewBodyStream(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                               std::function<void(std::shared_ptr<NSInputStream>)> completion) override;
    void taskDidSendBodyData(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task, int64_t bytesSent,
                             int64_t totalBytesSent, int64_t totalBytesExpectedToSend) override;
    void taskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                  const NSErrorPtr& error) override;
    void dataTaskDidReceiveResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                    const NSURLResponsePtr& response,
                                    std::function<void(NSURLSessionResponseDisposition)> completion) override;
    void dataTaskDidBecomeDownloadTask(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& dataTask,
                                       const NSURLSessionDownloadTaskPtr& downloadTask) override;
    void dataTaskDidReceiveData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                const std::vector<uint8_t>& data) override;
    void dataTaskDidReceiveOwnedData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                     std::vector<uint8_t>&& data) override;
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
    // The family's defaults come in with the configuration (null: the default one).
    NKURLSessionManagerCore(NSURLSessionConfigurationPtr configuration,
                            std::shared_ptr<NKURLResponseSerialization> responseSerializer,
                            std::shared_ptr<NKSecurityPolicyCore> securityPolicy,
                            std::shared_ptr<NKNetworkReachabilityCore> reachabilityManager);

    // Makes the session and adopts the tasks it already holds; the factories call it once
    // the manager is owned by a shared_ptr.
    void startUp();
    template <class M, class... A>
    static std::shared_ptr<M> makeStarted(A&&... args) {
        auto manager = std::make_shared<M>(std::forward<A>(args)...);
        manager->startUp();
        return manager;
    }
    // Cancels the pending tasks or lets them finish; with reset, the next read of session()
    // makes a new session.
    void invalidateSession(bool cancelPendingTasks, bool resetSession);

    void storeSecurityPolicy(std::shared_ptr<NKSecurityPolicyCore> policy);
    const std::shared_ptr<NKNetworkReachabilityCore>& reachabilityManagerCore() const { return reachabilityManager_; }
    void storeReachabilityManager(std::shared_ptr<NKNetworkReachabilityCore> manager) {
        reachabilityManager_ = std::move(manager);
    }

    // --- what the families supply ---
    // A record of the family's class for the task, not yet registered.
    virtual TaskDelegateCorePtr makeTaskDelegate(const NSURLSessionTaskPtr& task) = 0;
    // Runs the session's task-creating call (on the caller's thread unless the family
    // serialises creation).
    virtual void performTaskCreation(const std::function<void()>& create) { create(); }
    // How often a file upload task is asked of the session before giving up.
    virtual int fileUploadTaskAttempts() const { return 1; }
    // The optional session challenge event is answered "not handled" while this is false.
    virtual bool handlesSessionChallenges() const = 0;

    // The policy's verdict on a server-trust challenge: true with the trust's credential
    // (when one can be made) when the policy accepts it.
    bool policyAcceptsServerTrust(const NSURLAuthenticationChallengePtr& challenge,
                                  NSURLCredentialPtr* credential) const;
    template <class Block>
    Block copyBlock(const Block& field) const {
        std::lock_guard lock(blocksMutex_);
        return field;
    }
    template <class Block>
    void storeBlock(Block& field, Block block) {
        std::lock_guard lock(blocksMutex_);
        field = std::move(block);
    }
    SessionDidReceiveAuthenticationChallengeBlock sessionChallengeBlock() const {
        return copyBlock(sessionDidReceiveAuthenticationChallenge_);
    }

private:
    std::shared_ptr<NKURLSessionManagerCore> self();
    void taskDidResume(const NSNotification& notification);
    void taskDidSuspend(const NSNotification& notification);
    void relay(const NSNotification& notification, const char* name);
    void addNotificationObserverForTask(const NSURLSessionTaskPtr& task);
    void removeNotificationObserverForTask(const NSURLSessionTaskPtr& task);
    bool relaysTask(const NSURLSessionTask& task) const;
    TaskDelegateCorePtr makeRegisteredDelegate(const NSURLSessionTaskPtr& task, CompletionHandler completionHandler);
    template <class T, class Make>
    std::shared_ptr<T> createTask(Make make);

    std::shared_ptr<NSOperationQueue> operationQueue_;
    NSURLSessionConfigurationPtr sessionConfiguration_;
    std::shared_ptr<NKNetworkReachabilityCore> reachabilityManager_;

    mutable std::mutex configMutex_;  // serializer, policy, completion queue and group
    std::shared_ptr<NKURLResponseSerialization> responseSerializer_;
    std::shared_ptr<NKSecurityPolicyCore> securityPolicy_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;

    std::recursive_mutex sessionMonitor_;
    NSURLSessionPtr session_;

    mutable NSLock lock_;
    std::map<uint64_t, TaskDelegateCorePtr> mutableTaskDelegatesKeyedByTaskIdentifier_;
    // The tasks whose resume and suspend are relayed (those with a record), by identity. The
    // manager observes the two names once, from any sender, and looks the sender up here: a
    // registration per task would make every post in the process scan them all.
    std::unordered_map<const NSURLSessionTask*, std::weak_ptr<NSURLSessionTask>> relayedTasks_;
    bool observesTaskNotifications_ = false;

    mutable std::mutex blocksMutex_;
    SessionDidBecomeInvalidBlock sessionDidBecomeInvalid_;
    SessionDidReceiveAuthenticationChallengeBlock sessionDidReceiveAuthenticationChallenge_;
    SessionDidFinishEventsForBackgroundURLSessionBlock didFinishEventsForBackgroundURLSession_;
    TaskWillPerformHTTPRedirectionBlock taskWillPerformHTTPRedirection_;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream_;
    TaskDidSendBodyDataBlock taskDidSendBodyData_;
    TaskDidCompleteBlock taskDidComplete_;
    DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse_;
    DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask_;
    DataTaskDidReceiveDataBlock dataTaskDidReceiveData_;
    DataTaskWillCacheResponseBlock dataTaskWillCacheResponse_;
    DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading_;
    DownloadTaskDidWriteDataBlock downloadTaskDidWriteData_;
    DownloadTaskDidResumeBlock downloadTaskDidResume_;
};
