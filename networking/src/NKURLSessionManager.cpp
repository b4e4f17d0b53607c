#include <networking/NKURLSessionManager.h>

#include <networking/NKJSONResponseSerializer.h>
#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSInputStream.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLProtectionSpace.h>
#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/NSException.h>

#include <cstdio>

namespace {

// Key of the challenge error a task carries.
const char kChallengeErrorKey = 0;

template <class T>
T copyUnder(std::mutex& mutex, const T& field) {
    std::lock_guard lock(mutex);
    return field;
}

template <class T>
void storeUnder(std::mutex& mutex, T& field, T value) {
    std::lock_guard lock(mutex);
    field = std::move(value);
}

std::vector<NSURLSessionTaskPtr> concat(std::vector<NSURLSessionTaskPtr> a, const std::vector<NSURLSessionTaskPtr>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

template <class T>
std::vector<NSURLSessionTaskPtr> upcast(const std::vector<std::shared_ptr<T>>& tasks) {
    return {tasks.begin(), tasks.end()};
}

}  // namespace

NKURLSessionManager::Ptr NKURLSessionManager::manager(NSURLSessionConfigurationPtr configuration) {
    return makeStarted<NKURLSessionManager>(std::move(configuration));
}

NKURLSessionManager::NKURLSessionManager(NSURLSessionConfigurationPtr configuration) {
    sessionConfiguration_ = configuration ? std::move(configuration) : NSURLSessionConfiguration::defaultSessionConfiguration();
    operationQueue_ = NSOperationQueue::create();
    operationQueue_->setMaxConcurrentOperationCount(1);
    responseSerializer_ = NKJSONResponseSerializer::serializer();
    securityPolicy_ = NKSecurityPolicy::defaultPolicy();
    reachabilityManager_ = NKNetworkReachabilityManager::sharedManager();
    lock_.setName("com.netkit.networking.session.manager.lock");
}

NKURLSessionManager::~NKURLSessionManager() {
    // Registrations of a manager that is gone are dropped by the centre (it holds observers
    // weakly); nothing is left to remove by identity here.
}

void NKURLSessionManager::startUp() {
    std::weak_ptr<NKURLSessionManager> weak = self();
    session()->getTasksWithCompletionHandler([weak](std::vector<NSURLSessionDataTaskPtr> dataTasks,
                                                    std::vector<NSURLSessionUploadTaskPtr> uploadTasks,
                                                    std::vector<NSURLSessionDownloadTaskPtr> downloadTasks) {
        auto manager = weak.lock();
        if (!manager) return;
        for (auto& task : dataTasks) manager->addDelegateForDataTask(task, nullptr, nullptr, nullptr);
        for (auto& task : uploadTasks) manager->addDelegateForUploadTask(task, nullptr, nullptr);
        for (auto& task : downloadTasks) manager->addDelegateForDownloadTask(task, nullptr, nullptr, nullptr);
    });
}

NKURLSessionManager::Ptr NKURLSessionManager::self() {
    return std::static_pointer_cast<NKURLSessionManager>(shared_from_this());
}

// --- configuration -----------------------------------------------------------------------

std::shared_ptr<NKURLResponseSerialization> NKURLSessionManager::responseSerializer() const {
    return copyUnder(configMutex_, responseSerializer_);
}
void NKURLSessionManager::setResponseSerializer(std::shared_ptr<NKURLResponseSerialization> serializer) {
    storeUnder(configMutex_, responseSerializer_, std::move(serializer));
}
NKSecurityPolicy::Ptr NKURLSessionManager::securityPolicy() const { return copyUnder(configMutex_, securityPolicy_); }
void NKURLSessionManager::setSecurityPolicy(NKSecurityPolicy::Ptr policy) {
    storeUnder(configMutex_, securityPolicy_, std::move(policy));
}
dispatch_queue_t NKURLSessionManager::completionQueue() const { return copyUnder(configMutex_, completionQueue_); }
void NKURLSessionManager::setCompletionQueue(dispatch_queue_t queue) {
    storeUnder(configMutex_, completionQueue_, std::move(queue));
}
dispatch_group_t NKURLSessionManager::completionGroup() const { return copyUnder(configMutex_, completionGroup_); }
void NKURLSessionManager::setCompletionGroup(dispatch_group_t group) {
    storeUnder(configMutex_, completionGroup_, std::move(group));
}

NSURLSessionPtr NKURLSessionManager::session() {
    std::lock_guard lock(sessionMonitor_);
    if (!session_) session_ = NSURLSession::sessionWithConfiguration(sessionConfiguration_, self(), operationQueue_);
    return session_;
}

void NKURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks, bool resetSession) {
    NSURLSessionPtr current = session();
    if (cancelPendingTasks) {
        current->invalidateAndCancel();
    } else {
        current->finishTasksAndInvalidate();
    }
    if (resetSession) {
        std::lock_guard lock(sessionMonitor_);
        session_.reset();
    }
}

std::string NKURLSessionManager::taskDescriptionForSessionTasks() const {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<const void*>(this));
    return text;
}

std::optional<std::vector<NSURLSessionTaskPtr>> NKURLSessionManager::tasksForKeyPath(const std::string& keyPath) {
    std::optional<std::vector<NSURLSessionTaskPtr>> result;
    dispatch_semaphore_t done = dispatch_semaphore_create(0);
    session()->getTasksWithCompletionHandler([&](std::vector<NSURLSessionDataTaskPtr> dataTasks,
                                                 std::vector<NSURLSessionUploadTaskPtr> uploadTasks,
                                                 std::vector<NSURLSessionDownloadTaskPtr> downloadTasks) {
        if (keyPath == "dataTasks") {
            result = upcast(dataTasks);
        } else if (keyPath == "uploadTasks") {
            result = upcast(uploadTasks);
        } else if (keyPath == "downloadTasks") {
            result = upcast(downloadTasks);
        } else if (keyPath == "tasks") {
            result = concat(concat(upcast(dataTasks), upcast(uploadTasks)), upcast(downloadTasks));
        }
        dispatch_semaphore_signal(done);
    });
    dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
    return result;
}

std::vector<NSURLSessionTaskPtr> NKURLSessionManager::tasks() { return tasksForKeyPath("tasks").value_or(std::vector<NSURLSessionTaskPtr>{}); }
std::vector<NSURLSessionTaskPtr> NKURLSessionManager::dataTasks() {
    return tasksForKeyPath("dataTasks").value_or(std::vector<NSURLSessionTaskPtr>{});
}
std::vector<NSURLSessionTaskPtr> NKURLSessionManager::uploadTasks() {
    return tasksForKeyPath("uploadTasks").value_or(std::vector<NSURLSessionTaskPtr>{});
}
std::vector<NSURLSessionTaskPtr> NKURLSessionManager::downloadTasks() {
    return tasksForKeyPath("downloadTasks").value_or(std::vector<NSURLSessionTaskPtr>{});
}

// --- task factories ----------------------------------------------------------------------

NSURLSessionDataTaskPtr NKURLSessionManager::dataTaskWithRequest(const NSURLRequestPtr& request,
                                                                 ProgressBlock uploadProgress,
                                                                 ProgressBlock downloadProgress,
                                                                 CompletionHandler completionHandler) {
    NSURLSessionDataTaskPtr task = session()->dataTaskWithRequest(request);
    if (task) addDelegateForDataTask(task, std::move(uploadProgress), std::move(downloadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManager::uploadTaskWithRequest(const NSURLRequestPtr& request,
                                                                     const NSURLPtr& fileURL,
                                                                     ProgressBlock uploadProgress,
                                                                     CompletionHandler completionHandler) {
    NSURLSessionUploadTaskPtr task = session()->uploadTaskWithRequest(request, fileURL);
    if (task) addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManager::uploadTaskWithRequest(const NSURLRequestPtr& request,
                                                                     const Data& bodyData, ProgressBlock uploadProgress,
                                                                     CompletionHandler completionHandler) {
    NSURLSessionUploadTaskPtr task = session()->uploadTaskWithRequest(request, bodyData);
    if (task) addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManager::uploadTaskWithStreamedRequest(const NSURLRequestPtr& request,
                                                                             ProgressBlock uploadProgress,
                                                                             CompletionHandler completionHandler) {
    NSURLSessionUploadTaskPtr task = session()->uploadTaskWithStreamedRequest(request);
    if (task) addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionDownloadTaskPtr NKURLSessionManager::downloadTaskWithRequest(const NSURLRequestPtr& request,
                                                                         ProgressBlock downloadProgress,
                                                                         DestinationBlock destination,
                                                                         CompletionHandler completionHandler) {
    NSURLSessionDownloadTaskPtr task = session()->downloadTaskWithRequest(request);
    if (task) addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

NSURLSessionDownloadTaskPtr NKURLSessionManager::downloadTaskWithResumeData(const Data& resumeData,
                                                                            ProgressBlock downloadProgress,
                                                                            DestinationBlock destination,
                                                                            CompletionHandler completionHandler) {
    NSURLSessionDownloadTaskPtr task = session()->downloadTaskWithResumeData(resumeData);
    if (task) addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

// --- task records ------------------------------------------------------------------------

NKURLSessionManager::TaskDelegatePtr NKURLSessionManager::makeTaskDelegate(const NSURLSessionTaskPtr& task,
                                                                           CompletionHandler completionHandler) {
    TaskDelegatePtr delegate = NKURLSessionManagerTaskDelegate::delegateWithTask(task);
    delegate->setManager(self());
    delegate->setCompletionHandler(std::move(completionHandler));
    return delegate;
}

void NKURLSessionManager::addDelegateForDataTask(const NSURLSessionDataTaskPtr& task, ProgressBlock uploadProgress,
                                                 ProgressBlock downloadProgress, CompletionHandler completionHandler) {
    TaskDelegatePtr delegate = makeTaskDelegate(task, std::move(completionHandler));
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegate(delegate, task);
    delegate->setUploadProgressBlock(std::move(uploadProgress));
    delegate->setDownloadProgressBlock(std::move(downloadProgress));
}

void NKURLSessionManager::addDelegateForUploadTask(const NSURLSessionUploadTaskPtr& task, ProgressBlock uploadProgress,
                                                   CompletionHandler completionHandler) {
    TaskDelegatePtr delegate = makeTaskDelegate(task, std::move(completionHandler));
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegate(delegate, task);
    delegate->setUploadProgressBlock(std::move(uploadProgress));
}

void NKURLSessionManager::addDelegateForDownloadTask(const NSURLSessionDownloadTaskPtr& task,
                                                     ProgressBlock downloadProgress, DestinationBlock destination,
                                                     CompletionHandler completionHandler) {
    TaskDelegatePtr delegate = makeTaskDelegate(task, std::move(completionHandler));
    if (destination) {
        delegate->setDownloadTaskDidFinishDownloading(
            [destination](const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr& downloadTask, const NSURLPtr& location) {
                return destination(location, downloadTask->response());
            });
    }
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegate(delegate, task);
    delegate->setDownloadProgressBlock(std::move(downloadProgress));
}

void NKURLSessionManager::setDelegate(const TaskDelegatePtr& delegate, const NSURLSessionTaskPtr& task) {
    lock_.lock();
    mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()] = delegate;
    addNotificationObserverForTask(task);
    lock_.unlock();
}

NKURLSessionManager::TaskDelegatePtr NKURLSessionManager::delegateForTask(const NSURLSessionTaskPtr& task) const {
    if (!task) return nullptr;
    lock_.lock();
    auto it = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task->taskIdentifier());
    TaskDelegatePtr delegate = it == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : it->second;
    lock_.unlock();
    return delegate;
}

void NKURLSessionManager::removeDelegateForTask(const NSURLSessionTaskPtr& task) {
    if (!task) return;
    lock_.lock();
    removeNotificationObserverForTask(task);
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(task->taskIdentifier());
    lock_.unlock();
}

NSProgressPtr NKURLSessionManager::uploadProgressForTask(const NSURLSessionTaskPtr& task) const {
    TaskDelegatePtr delegate = delegateForTask(task);
    return delegate ? delegate->uploadProgress() : nullptr;
}

NSProgressPtr NKURLSessionManager::downloadProgressForTask(const NSURLSessionTaskPtr& task) const {
    TaskDelegatePtr delegate = delegateForTask(task);
    return delegate ? delegate->downloadProgress() : nullptr;
}

void NKURLSessionManager::addNotificationObserverForTask(const NSURLSessionTaskPtr& task) {
    auto center = NSNotificationCenter::defaultCenter();
    Ptr me = self();
    center->addObserver(me, &NKURLSessionManager::taskDidResume, NKNSURLSessionTaskDidResumeNotification, Value(task));
    center->addObserver(me, &NKURLSessionManager::taskDidSuspend, NKNSURLSessionTaskDidSuspendNotification, Value(task));
}

void NKURLSessionManager::removeNotificationObserverForTask(const NSURLSessionTaskPtr& task) {
    auto center = NSNotificationCenter::defaultCenter();
    Ptr me = self();
    center->removeObserver(me, NKNSURLSessionTaskDidSuspendNotification, Value(task));
    center->removeObserver(me, NKNSURLSessionTaskDidResumeNotification, Value(task));
}

void NKURLSessionManager::taskDidResume(const NSNotification& notification) {
    relay(notification, NKNetworkingTaskDidResumeNotification);
}

void NKURLSessionManager::taskDidSuspend(const NSNotification& notification) {
    relay(notification, NKNetworkingTaskDidSuspendNotification);
}

void NKURLSessionManager::relay(const NSNotification& notification, const char* name) {
    auto task = notification.object().objectAs<NSURLSessionTask>();
    if (!task || task->taskDescription() != taskDescriptionForSessionTasks()) return;
    std::string relayed = name;
    dispatch_async(dispatch_get_main_queue(), [task, relayed] {
        NSNotificationCenter::defaultCenter()->postNotificationName(relayed, Value(task));
    });
}

// --- challenge error and trust error -----------------------------------------------------

NSErrorPtr NKURLSessionManager::challengeErrorForTask(const NSURLSessionTask& task) {
    return objc_getAssociatedObject(task, &kChallengeErrorKey).objectAs<NSError>();
}

void NKURLSessionManager::setChallengeErrorForTask(const NSURLSessionTask& task, const NSErrorPtr& error) {
    objc_setAssociatedObject(task, &kChallengeErrorKey, Value(error), OBJC_ASSOCIATION_RETAIN);
}

NSErrorPtr NKURLSessionManager::serverTrustErrorForServerTrust(const SecTrustRef& serverTrust, const NSURLPtr& url) {
    // This layer ships no translations of the message: the English text is the one there is.
    std::string text =
        "The certificate for this server is invalid. You might be connecting to a server that is pretending to be "
        "\u201C%@\u201D which could put your confidential information at risk.";
    std::size_t first = text.find("%@");
    bool atMostOnePlaceholder = first == std::string::npos || text.find("%@", first + 2) == std::string::npos;
    if (atMostOnePlaceholder && first != std::string::npos) text.replace(first, 2, url ? url->host() : "(null)");

    Value::Dictionary userInfo{{Value(NSLocalizedDescriptionKey), Value(text)}};
    if (serverTrust) userInfo[Value(NSURLErrorFailingURLPeerTrustErrorKey)] = Value(serverTrust);
    if (url) {
        userInfo[Value(NSURLErrorFailingURLErrorKey)] = Value(url);
        userInfo[Value(NSURLErrorFailingURLStringErrorKey)] = Value(url->absoluteString());
    }
    return NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorServerCertificateUntrusted, std::move(userInfo));
}

// --- callbacks ---------------------------------------------------------------------------

#define NK_BLOCK_SETTER(Setter, Type, field) \
    void NKURLSessionManager::Setter(Type block) { storeUnder(blocksMutex_, field, std::move(block)); }
NK_BLOCK_SETTER(setSessionDidBecomeInvalidBlock, SessionDidBecomeInvalidBlock, sessionDidBecomeInvalid_)
NK_BLOCK_SETTER(setSessionDidReceiveAuthenticationChallengeBlock, SessionDidReceiveAuthenticationChallengeBlock,
                sessionDidReceiveAuthenticationChallenge_)
NK_BLOCK_SETTER(setDidFinishEventsForBackgroundURLSessionBlock, SessionDidFinishEventsForBackgroundURLSessionBlock,
                didFinishEventsForBackgroundURLSession_)
NK_BLOCK_SETTER(setTaskWillPerformHTTPRedirectionBlock, TaskWillPerformHTTPRedirectionBlock,
                taskWillPerformHTTPRedirection_)
NK_BLOCK_SETTER(setAuthenticationChallengeHandler, AuthenticationChallengeHandler, authenticationChallengeHandler_)
NK_BLOCK_SETTER(setTaskNeedNewBodyStreamBlock, TaskNeedNewBodyStreamBlock, taskNeedNewBodyStream_)
NK_BLOCK_SETTER(setTaskDidSendBodyDataBlock, TaskDidSendBodyDataBlock, taskDidSendBodyData_)
NK_BLOCK_SETTER(setTaskDidCompleteBlock, TaskDidCompleteBlock, taskDidComplete_)
NK_BLOCK_SETTER(setTaskDidFinishCollectingMetricsBlock, TaskDidFinishCollectingMetricsBlock,
                taskDidFinishCollectingMetrics_)
NK_BLOCK_SETTER(setDataTaskDidReceiveResponseBlock, DataTaskDidReceiveResponseBlock, dataTaskDidReceiveResponse_)
NK_BLOCK_SETTER(setDataTaskDidBecomeDownloadTaskBlock, DataTaskDidBecomeDownloadTaskBlock, dataTaskDidBecomeDownloadTask_)
NK_BLOCK_SETTER(setDataTaskDidReceiveDataBlock, DataTaskDidReceiveDataBlock, dataTaskDidReceiveData_)
NK_BLOCK_SETTER(setDataTaskWillCacheResponseBlock, DataTaskWillCacheResponseBlock, dataTaskWillCacheResponse_)
NK_BLOCK_SETTER(setDownloadTaskDidFinishDownloadingBlock, DownloadTaskDidFinishDownloadingBlock,
                downloadTaskDidFinishDownloading_)
NK_BLOCK_SETTER(setDownloadTaskDidWriteDataBlock, DownloadTaskDidWriteDataBlock, downloadTaskDidWriteData_)
NK_BLOCK_SETTER(setDownloadTaskDidResumeBlock, DownloadTaskDidResumeBlock, downloadTaskDidResume_)
#undef NK_BLOCK_SETTER

bool NKURLSessionManager::respondsToSelector(std::string_view selector) const {
    std::lock_guard lock(blocksMutex_);
    if (selector == NSURLSessionSelector::didReceiveChallenge) return bool(sessionDidReceiveAuthenticationChallenge_);
    if (selector == NSURLSessionSelector::taskWillPerformHTTPRedirection) return bool(taskWillPerformHTTPRedirection_);
    if (selector == NSURLSessionSelector::dataTaskDidReceiveResponse) return bool(dataTaskDidReceiveResponse_);
    if (selector == NSURLSessionSelector::dataTaskWillCacheResponse) return bool(dataTaskWillCacheResponse_);
    if (selector == NSURLSessionSelector::didFinishEventsForBackgroundURLSession) {
        return bool(didFinishEventsForBackgroundURLSession_);
    }
    return NSObject::respondsToSelector(selector);
}

std::string NKURLSessionManager::description() const {
    auto* me = const_cast<NKURLSessionManager*>(this);
    NSURLSessionPtr current;
    {
        std::lock_guard lock(me->sessionMonitor_);
        current = session_;
    }
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<" + className() + ": " + address + ", session: " + (current ? current->description() : "(null)") +
           ", operationQueue: " + operationQueue_->description() + ">";
}

NKURLSessionManager::Ptr NKURLSessionManager::copy() {
    return makeStarted<NKURLSessionManager>(session()->configuration());
}

// --- session events ----------------------------------------------------------------------

void NKURLSessionManager::didBecomeInvalidWithError(const NSURLSessionPtr& session, const NSErrorPtr& error) {
    if (auto block = copyUnder(blocksMutex_, sessionDidBecomeInvalid_)) block(session, error);
    NSNotificationCenter::defaultCenter()->postNotificationName(NKURLSessionDidInvalidateNotification, Value(session));
}

void NKURLSessionManager::didReceiveChallenge(const NSURLSessionPtr& session,
                                              const NSURLAuthenticationChallengePtr& challenge,
                                              ChallengeCompletion completion) {
    NSURLCredentialPtr credential;
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    if (auto block = copyUnder(blocksMutex_, sessionDidReceiveAuthenticationChallenge_)) {
        disposition = block(session, challenge, &credential);
    }
    if (completion) completion(disposition, credential);
}

void NKURLSessionManager::URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr& session) {
    if (auto block = copyUnder(blocksMutex_, didFinishEventsForBackgroundURLSession_)) {
        dispatch_async(dispatch_get_main_queue(), [block, session] { block(session); });
    }
}

void NKURLSessionManager::taskWillPerformHTTPRedirection(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                         const NSHTTPURLResponsePtr& response,
                                                         const NSURLRequestPtr& newRequest,
                                                         std::function<void(NSURLRequestPtr)> completion) {
    NSURLRequestPtr request = newRequest;
    if (auto block = copyUnder(blocksMutex_, taskWillPerformHTTPRedirection_)) {
        request = block(session, task, response, newRequest);
    }
    if (completion) completion(request);
}

void NKURLSessionManager::taskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                  const NSURLAuthenticationChallengePtr& challenge,
                                                  ChallengeCompletion completion) {
    bool evaluateServerTrust = false;
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    NSURLCredentialPtr credential;
    const std::string& method = challenge->protectionSpace()->authenticationMethod();
    bool isServerTrust = method == NSURLAuthenticationMethodServerTrust;

    if (auto handler = copyUnder(blocksMutex_, authenticationChallengeHandler_)) {
        Value result = handler(session, task, challenge, completion);
        if (result.isNull()) return;  // the handler answers through the completion itself
        if (auto error = result.objectAs<NSError>()) {
            setChallengeErrorForTask(*task, error);
            disposition = NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        } else if (auto answer = result.objectAs<NSURLCredential>()) {
            credential = answer;
            disposition = NSURLSessionAuthChallengeUseCredential;
        } else if (result.type() == Value::Type::Int || result.type() == Value::Type::UInt ||
                   result.type() == Value::Type::Bool || result.type() == Value::Type::Double) {
            disposition = static_cast<NSURLSessionAuthChallengeDisposition>(result.integerValue());
            evaluateServerTrust = disposition == NSURLSessionAuthChallengePerformDefaultHandling && isServerTrust;
        } else {
            NSException::raise("Invalid Return Value",
                               "The return value from the authentication challenge handler must be nil, an NSError, "
                               "an NSURLCredential or an NSNumber.");
        }
    } else {
        evaluateServerTrust = isServerTrust;
    }

    if (evaluateServerTrust) {
        const SecTrustRef& trust = challenge->protectionSpace()->serverTrust();
        NKSecurityPolicy::Ptr policy = securityPolicy();
        if (trust && policy && policy->evaluateServerTrust(trust, challenge->protectionSpace()->host())) {
            disposition = NSURLSessionAuthChallengeUseCredential;
            credential = NSURLCredential::credentialForTrust(trust);
        } else {
            NSURLRequestPtr current = task->currentRequest();
            setChallengeErrorForTask(*task, serverTrustErrorForServerTrust(trust, current ? current->URL() : nullptr));
            disposition = NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        }
    }
    if (completion) completion(disposition, credential);
}

void NKURLSessionManager::taskNeedNewBodyStream(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                std::function<void(std::shared_ptr<NSInputStream>)> completion) {
    std::shared_ptr<NSInputStream> stream;
    if (auto block = copyUnder(blocksMutex_, taskNeedNewBodyStream_)) {
        stream = block(session, task);
    }
    // The platform's streams cannot be copied, so without a callback there is nothing to
    // send again.
    if (completion) completion(stream);
}

void NKURLSessionManager::taskDidSendBodyData(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                              int64_t bytesSent, int64_t totalBytesSent,
                                              int64_t totalBytesExpectedToSend) {
    int64_t expected = totalBytesExpectedToSend;
    if (expected == NSURLSessionTransferSizeUnknown) {
        NSURLRequestPtr original = task->originalRequest();
        if (auto length = original ? original->valueForHTTPHeaderField("Content-Length") : std::nullopt) {
            expected = std::strtoll(length->c_str(), nullptr, 10);
        }
    }
    if (auto delegate = delegateForTask(task)) {
        delegate->taskDidSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
    }
    if (auto block = copyUnder(blocksMutex_, taskDidSendBodyData_)) block(session, task, bytesSent, totalBytesSent, expected);
}

void NKURLSessionManager::taskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                   const NSErrorPtr& error) {
    if (auto delegate = delegateForTask(task)) {
        // The record goes first: the completion may run on another queue before this returns.
        removeDelegateForTask(task);
        delegate->taskDidCompleteWithError(session, task, error);
    }
    if (auto block = copyUnder(blocksMutex_, taskDidComplete_)) block(session, task, error);
}

void NKURLSessionManager::taskDidFinishCollectingMetrics(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                         const NSURLSessionTaskMetricsPtr& metrics) {
    if (auto delegate = delegateForTask(task)) delegate->taskDidFinishCollectingMetrics(session, task, metrics);
    if (auto block = copyUnder(blocksMutex_, taskDidFinishCollectingMetrics_)) block(session, task, metrics);
}

void NKURLSessionManager::dataTaskDidReceiveResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                     const NSURLResponsePtr& response,
                                                     std::function<void(NSURLSessionResponseDisposition)> completion) {
    NSURLSessionResponseDisposition disposition = NSURLSessionResponseAllow;
    if (auto block = copyUnder(blocksMutex_, dataTaskDidReceiveResponse_)) disposition = block(session, task, response);
    if (completion) completion(disposition);
}

void NKURLSessionManager::dataTaskDidBecomeDownloadTask(const NSURLSessionPtr& session,
                                                        const NSURLSessionDataTaskPtr& dataTask,
                                                        const NSURLSessionDownloadTaskPtr& downloadTask) {
    if (auto delegate = delegateForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        setDelegate(delegate, downloadTask);
    }
    if (auto block = copyUnder(blocksMutex_, dataTaskDidBecomeDownloadTask_)) block(session, dataTask, downloadTask);
}

void NKURLSessionManager::dataTaskDidReceiveData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                 const std::vector<uint8_t>& data) {
    if (auto delegate = delegateForTask(task)) delegate->dataTaskDidReceiveData(session, task, data);
    if (auto block = copyUnder(blocksMutex_, dataTaskDidReceiveData_)) block(session, task, data);
}

void NKURLSessionManager::dataTaskWillCacheResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                    const NSCachedURLResponsePtr& proposed,
                                                    std::function<void(NSCachedURLResponsePtr)> completion) {
    NSCachedURLResponsePtr response = proposed;
    if (auto block = copyUnder(blocksMutex_, dataTaskWillCacheResponse_)) response = block(session, task, proposed);
    if (completion) completion(response);
}

void NKURLSessionManager::downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session,
                                                                const NSURLSessionDownloadTaskPtr& task,
                                                                const NSURLPtr& location) {
    TaskDelegatePtr delegate = delegateForTask(task);
    if (auto block = copyUnder(blocksMutex_, downloadTaskDidFinishDownloading_)) {
        if (NSURLPtr destination = block(session, task, location)) {
            if (delegate) delegate->setDownloadFileURL(destination);
            NSErrorPtr error;
            auto center = NSNotificationCenter::defaultCenter();
            if (NSFileManager::defaultManager()->moveItemAtPath(location->path(), destination->path(), &error)) {
                center->postNotificationName(NKURLSessionDownloadTaskDidMoveFileSuccessfullyNotification, Value(task));
            } else {
                center->postNotificationName(NKURLSessionDownloadTaskDidFailToMoveFileNotification, Value(task),
                                             error ? Value(error->userInfo()) : Value());
            }
            return;
        }
    }
    if (delegate) delegate->downloadTaskDidFinishDownloadingToURL(session, task, location);
}

void NKURLSessionManager::downloadTaskDidWriteData(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                                   int64_t bytesWritten, int64_t totalBytesWritten,
                                                   int64_t totalBytesExpectedToWrite) {
    if (auto delegate = delegateForTask(task)) {
        delegate->downloadTaskDidWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
    if (auto block = copyUnder(blocksMutex_, downloadTaskDidWriteData_)) {
        block(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
}

void NKURLSessionManager::downloadTaskDidResumeAtOffset(const NSURLSessionPtr& session,
                                                        const NSURLSessionDownloadTaskPtr& task, int64_t fileOffset,
                                                        int64_t expectedTotalBytes) {
    if (auto delegate = delegateForTask(task)) {
        delegate->downloadTaskDidResumeAtOffset(session, task, fileOffset, expectedTotalBytes);
    }
    if (auto block = copyUnder(blocksMutex_, downloadTaskDidResume_)) block(session, task, fileOffset, expectedTotalBytes);
}
