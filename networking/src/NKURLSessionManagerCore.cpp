#include <networking/NKURLSessionManagerCore.h>

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

void NKMoveDownloadedFile(const NSURLSessionDownloadTaskPtr& task, const NSURLPtr& location,
                          const NSURLPtr& destination, bool postSuccess) {
    NSErrorPtr error;
    auto center = NSNotificationCenter::defaultCenter();
    if (NSFileManager::defaultManager()->moveItemAtPath(location->path(), destination->path(), &error)) {
        if (postSuccess) {
            center->postNotificationName(NKURLSessionDownloadTaskDidMoveFileSuccessfullyNotification, Value(task));
        }
    } else {
        center->postNotificationName(NKURLSessionDownloadTaskDidFailToMoveFileNotification, Value(task),
                                     error ? Value(error->userInfo()) : Value());
    }
}

NKURLSessionManagerCore::NKURLSessionManagerCore(NSURLSessionConfigurationPtr configuration,
                                                 std::shared_ptr<NKURLResponseSerialization> responseSerializer,
                                                 std::shared_ptr<NKSecurityPolicyCore> securityPolicy,
                                                 std::shared_ptr<NKNetworkReachabilityCore> reachabilityManager)
    : reachabilityManager_(std::move(reachabilityManager)),
      responseSerializer_(std::move(responseSerializer)),
      securityPolicy_(std::move(securityPolicy)) {
    sessionConfiguration_ = configuration ? std::move(configuration) : NSURLSessionConfiguration::defaultSessionConfiguration();
    operationQueue_ = NSOperationQueue::create();
    operationQueue_->setMaxConcurrentOperationCount(1);
    lock_.setName("com.netkit.networking.session.manager.lock");
}

NKURLSessionManagerCore::~NKURLSessionManagerCore() {
    // Registrations of a manager that is gone are dropped by the centre (it holds observers
    // weakly); nothing is left to remove by identity here.
}

void NKURLSessionManagerCore::startUp() {
    std::weak_ptr<NKURLSessionManagerCore> weak = self();
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

std::shared_ptr<NKURLSessionManagerCore> NKURLSessionManagerCore::self() {
    return std::static_pointer_cast<NKURLSessionManagerCore>(shared_from_this());
}

// --- configuration -----------------------------------------------------------------------

std::shared_ptr<NKURLResponseSerialization> NKURLSessionManagerCore::responseSerializer() const {
    return copyUnder(configMutex_, responseSerializer_);
}
void NKURLSessionManagerCore::setResponseSerializer(std::shared_ptr<NKURLResponseSerialization> serializer) {
    storeUnder(configMutex_, responseSerializer_, std::move(serializer));
}
std::shared_ptr<NKSecurityPolicyCore> NKURLSessionManagerCore::securityPolicyCore() const {
    return copyUnder(configMutex_, securityPolicy_);
}
void NKURLSessionManagerCore::storeSecurityPolicy(std::shared_ptr<NKSecurityPolicyCore> policy) {
    storeUnder(configMutex_, securityPolicy_, std::move(policy));
}
dispatch_queue_t NKURLSessionManagerCore::completionQueue() const { return copyUnder(configMutex_, completionQueue_); }
void NKURLSessionManagerCore::setCompletionQueue(dispatch_queue_t queue) {
    storeUnder(configMutex_, completionQueue_, std::move(queue));
}
dispatch_group_t NKURLSessionManagerCore::completionGroup() const { return copyUnder(configMutex_, completionGroup_); }
void NKURLSessionManagerCore::setCompletionGroup(dispatch_group_t group) {
    storeUnder(configMutex_, completionGroup_, std::move(group));
}

NSURLSessionPtr NKURLSessionManagerCore::session() {
    std::lock_guard lock(sessionMonitor_);
    if (!session_) session_ = NSURLSession::sessionWithConfiguration(sessionConfiguration_, self(), operationQueue_);
    return session_;
}

void NKURLSessionManagerCore::invalidateSession(bool cancelPendingTasks, bool resetSession) {
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

void NKURLSessionManagerCore::encodeWithCoder(NSCoder& coder) const {
    if (sessionConfiguration_->identifier()) coder.encodeObject(Value(*sessionConfiguration_->identifier()), "identifier");
}

bool NKURLSessionManagerCore::initWithCoder(NSCoder& coder) {
    Value identifier = coder.decodeObjectOfClass("NSString", "identifier");
    std::lock_guard lock(sessionMonitor_);
    if (session_) return false;  // a running manager keeps its session
    sessionConfiguration_ =
        identifier.isString()
            ? NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(std::string(identifier.asString()))
            : NSURLSessionConfiguration::defaultSessionConfiguration();
    return true;
}

std::string NKURLSessionManagerCore::taskDescriptionForSessionTasks() const {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<const void*>(this));
    return text;
}

std::optional<std::vector<NSURLSessionTaskPtr>> NKURLSessionManagerCore::tasksForKeyPath(const std::string& keyPath) {
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

std::vector<NSURLSessionTaskPtr> NKURLSessionManagerCore::tasks() { return tasksForKeyPath("tasks").value_or(std::vector<NSURLSessionTaskPtr>{}); }
std::vector<NSURLSessionTaskPtr> NKURLSessionManagerCore::dataTasks() {
    return tasksForKeyPath("dataTasks").value_or(std::vector<NSURLSessionTaskPtr>{});
}
std::vector<NSURLSessionTaskPtr> NKURLSessionManagerCore::uploadTasks() {
    return tasksForKeyPath("uploadTasks").value_or(std::vector<NSURLSessionTaskPtr>{});
}
std::vector<NSURLSessionTaskPtr> NKURLSessionManagerCore::downloadTasks() {
    return tasksForKeyPath("downloadTasks").value_or(std::vector<NSURLSessionTaskPtr>{});
}

// --- task factories ----------------------------------------------------------------------

template <class T, class Make>
std::shared_ptr<T> NKURLSessionManagerCore::createTask(Make make) {
    std::shared_ptr<T> task;
    NSURLSessionPtr current = session();
    performTaskCreation([&] { task = make(*current); });
    return task;
}

NSURLSessionDataTaskPtr NKURLSessionManagerCore::dataTaskWithRequest(const NSURLRequestPtr& request,
                                                                     ProgressBlock uploadProgress,
                                                                     ProgressBlock downloadProgress,
                                                                     CompletionHandler completionHandler) {
    auto task = createTask<NSURLSessionDataTask>([&](NSURLSession& s) { return s.dataTaskWithRequest(request); });
    if (task) addDelegateForDataTask(task, std::move(uploadProgress), std::move(downloadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManagerCore::uploadTaskWithRequest(const NSURLRequestPtr& request,
                                                                         const NSURLPtr& fileURL,
                                                                         ProgressBlock uploadProgress,
                                                                         CompletionHandler completionHandler) {
    auto make = [&](NSURLSession& s) { return s.uploadTaskWithRequest(request, fileURL); };
    NSURLSessionUploadTaskPtr task = createTask<NSURLSessionUploadTask>(make);
    // Background sessions may fail to make a file upload task at first; the family says how
    // often to ask.
    for (int attempt = 1; !task && attempt < fileUploadTaskAttempts(); ++attempt) {
        task = createTask<NSURLSessionUploadTask>(make);
    }
    if (task) addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManagerCore::uploadTaskWithRequest(const NSURLRequestPtr& request,
                                                                         const Data& bodyData,
                                                                         ProgressBlock uploadProgress,
                                                                         CompletionHandler completionHandler) {
    auto task = createTask<NSURLSessionUploadTask>(
        [&](NSURLSession& s) { return s.uploadTaskWithRequest(request, bodyData); });
    if (task) addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionUploadTaskPtr NKURLSessionManagerCore::uploadTaskWithStreamedRequest(const NSURLRequestPtr& request,
                                                                                 ProgressBlock uploadProgress,
                                                                                 CompletionHandler completionHandler) {
    auto task = createTask<NSURLSessionUploadTask>(
        [&](NSURLSession& s) { return s.uploadTaskWithStreamedRequest(request); });
    if (task) addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

NSURLSessionDownloadTaskPtr NKURLSessionManagerCore::downloadTaskWithRequest(const NSURLRequestPtr& request,
                                                                             ProgressBlock downloadProgress,
                                                                             DestinationBlock destination,
                                                                             CompletionHandler completionHandler) {
    auto task = createTask<NSURLSessionDownloadTask>(
        [&](NSURLSession& s) { return s.downloadTaskWithRequest(request); });
    if (task) addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

NSURLSessionDownloadTaskPtr NKURLSessionManagerCore::downloadTaskWithResumeData(const Data& resumeData,
                                                                                ProgressBlock downloadProgress,
                                                                                DestinationBlock destination,
                                                                                CompletionHandler completionHandler) {
    auto task = createTask<NSURLSessionDownloadTask>(
        [&](NSURLSession& s) { return s.downloadTaskWithResumeData(resumeData); });
    if (task) addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

// --- task records ------------------------------------------------------------------------

NKURLSessionManagerCore::TaskDelegateCorePtr NKURLSessionManagerCore::makeRegisteredDelegate(
    const NSURLSessionTaskPtr& task, CompletionHandler completionHandler) {
    TaskDelegateCorePtr delegate = makeTaskDelegate(task);
    delegate->setManagerCore(self());
    delegate->setCompletionHandler(std::move(completionHandler));
    return delegate;
}

void NKURLSessionManagerCore::addDelegateForDataTask(const NSURLSessionDataTaskPtr& task, ProgressBlock uploadProgress,
                                                 ProgressBlock downloadProgress, CompletionHandler completionHandler) {
    TaskDelegateCorePtr delegate = makeRegisteredDelegate(task, std::move(completionHandler));
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegateCore(delegate, task);
    delegate->setUploadProgressBlock(std::move(uploadProgress));
    delegate->setDownloadProgressBlock(std::move(downloadProgress));
}

void NKURLSessionManagerCore::addDelegateForUploadTask(const NSURLSessionUploadTaskPtr& task, ProgressBlock uploadProgress,
                                                   CompletionHandler completionHandler) {
    TaskDelegateCorePtr delegate = makeRegisteredDelegate(task, std::move(completionHandler));
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegateCore(delegate, task);
    delegate->setUploadProgressBlock(std::move(uploadProgress));
}

void NKURLSessionManagerCore::addDelegateForDownloadTask(const NSURLSessionDownloadTaskPtr& task,
                                                     ProgressBlock downloadProgress, DestinationBlock destination,
                                                     CompletionHandler completionHandler) {
    TaskDelegateCorePtr delegate = makeRegisteredDelegate(task, std::move(completionHandler));
    if (destination) {
        delegate->setDownloadTaskDidFinishDownloading(
            [destination](const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr& downloadTask, const NSURLPtr& location) {
                return destination(location, downloadTask->response());
            });
    }
    task->setTaskDescription(taskDescriptionForSessionTasks());
    setDelegateCore(delegate, task);
    delegate->setDownloadProgressBlock(std::move(downloadProgress));
}

void NKURLSessionManagerCore::setDelegateCore(const TaskDelegateCorePtr& delegate, const NSURLSessionTaskPtr& task) {
    lock_.lock();
    mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()] = delegate;
    addNotificationObserverForTask(task);
    lock_.unlock();
}

NKURLSessionManagerCore::TaskDelegateCorePtr NKURLSessionManagerCore::delegateCoreForTask(const NSURLSessionTaskPtr& task) const {
    if (!task) return nullptr;
    lock_.lock();
    auto it = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task->taskIdentifier());
    TaskDelegateCorePtr delegate = it == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : it->second;
    lock_.unlock();
    return delegate;
}

void NKURLSessionManagerCore::removeDelegateForTask(const NSURLSessionTaskPtr& task) {
    if (!task) return;
    lock_.lock();
    removeNotificationObserverForTask(task);
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(task->taskIdentifier());
    lock_.unlock();
}

NSProgressPtr NKURLSessionManagerCore::uploadProgressForTask(const NSURLSessionTaskPtr& task) const {
    TaskDelegateCorePtr delegate = delegateCoreForTask(task);
    return delegate ? delegate->uploadProgress() : nullptr;
}

NSProgressPtr NKURLSessionManagerCore::downloadProgressForTask(const NSURLSessionTaskPtr& task) const {
    TaskDelegateCorePtr delegate = delegateCoreForTask(task);
    return delegate ? delegate->downloadProgress() : nullptr;
}

// Under `lock_`.
void NKURLSessionManagerCore::addNotificationObserverForTask(const NSURLSessionTaskPtr& task) {
    relayedTasks_[task.get()] = task;
    if (observesTaskNotifications_) return;
    observesTaskNotifications_ = true;
    auto center = NSNotificationCenter::defaultCenter();
    auto me = self();
    center->addObserver(me, &NKURLSessionManagerCore::taskDidResume, NKNSURLSessionTaskDidResumeNotification, Value());
    center->addObserver(me, &NKURLSessionManagerCore::taskDidSuspend, NKNSURLSessionTaskDidSuspendNotification, Value());
}

// Under `lock_`.
void NKURLSessionManagerCore::removeNotificationObserverForTask(const NSURLSessionTaskPtr& task) {
    relayedTasks_.erase(task.get());
}

bool NKURLSessionManagerCore::relaysTask(const NSURLSessionTask& task) const {
    lock_.lock();
    auto it = relayedTasks_.find(&task);
    // The same address may belong to a later task once the registered one is gone.
    bool relayed = it != relayedTasks_.end() && it->second.lock().get() == &task;
    lock_.unlock();
    return relayed;
}

void NKURLSessionManagerCore::taskDidResume(const NSNotification& notification) {
    relay(notification, NKNetworkingTaskDidResumeNotification);
}

void NKURLSessionManagerCore::taskDidSuspend(const NSNotification& notification) {
    relay(notification, NKNetworkingTaskDidSuspendNotification);
}

void NKURLSessionManagerCore::relay(const NSNotification& notification, const char* name) {
    auto task = notification.object().objectAs<NSURLSessionTask>();
    if (!task || !relaysTask(*task) || task->taskDescription() != taskDescriptionForSessionTasks()) return;
    std::string relayed = name;
    dispatch_async(dispatch_get_main_queue(), [task, relayed] {
        NSNotificationCenter::defaultCenter()->postNotificationName(relayed, Value(task));
    });
}

// --- challenge error and trust error -----------------------------------------------------

NSErrorPtr NKURLSessionManagerCore::challengeErrorForTask(const NSURLSessionTask& task) {
    return objc_getAssociatedObject(task, &kChallengeErrorKey).objectAs<NSError>();
}

void NKURLSessionManagerCore::setChallengeErrorForTask(const NSURLSessionTask& task, const NSErrorPtr& error) {
    objc_setAssociatedObject(task, &kChallengeErrorKey, Value(error), OBJC_ASSOCIATION_RETAIN);
}

// --- callbacks ---------------------------------------------------------------------------

#define NK_BLOCK_SETTER(Setter, Type, field) \
    void NKURLSessionManagerCore::Setter(Type block) { storeBlock(field, std::move(block)); }
NK_BLOCK_SETTER(setSessionDidBecomeInvalidBlock, SessionDidBecomeInvalidBlock, sessionDidBecomeInvalid_)
NK_BLOCK_SETTER(setSessionDidReceiveAuthenticationChallengeBlock, SessionDidReceiveAuthenticationChallengeBlock,
                sessionDidReceiveAuthenticationChallenge_)
NK_BLOCK_SETTER(setDidFinishEventsForBackgroundURLSessionBlock, SessionDidFinishEventsForBackgroundURLSessionBlock,
                didFinishEventsForBackgroundURLSession_)
NK_BLOCK_SETTER(setTaskWillPerformHTTPRedirectionBlock, TaskWillPerformHTTPRedirectionBlock,
                taskWillPerformHTTPRedirection_)
NK_BLOCK_SETTER(setTaskNeedNewBodyStreamBlock, TaskNeedNewBodyStreamBlock, taskNeedNewBodyStream_)
NK_BLOCK_SETTER(setTaskDidSendBodyDataBlock, TaskDidSendBodyDataBlock, taskDidSendBodyData_)
NK_BLOCK_SETTER(setTaskDidCompleteBlock, TaskDidCompleteBlock, taskDidComplete_)
NK_BLOCK_SETTER(setDataTaskDidReceiveResponseBlock, DataTaskDidReceiveResponseBlock, dataTaskDidReceiveResponse_)
NK_BLOCK_SETTER(setDataTaskDidBecomeDownloadTaskBlock, DataTaskDidBecomeDownloadTaskBlock, dataTaskDidBecomeDownloadTask_)
NK_BLOCK_SETTER(setDataTaskDidReceiveDataBlock, DataTaskDidReceiveDataBlock, dataTaskDidReceiveData_)
NK_BLOCK_SETTER(setDataTaskWillCacheResponseBlock, DataTaskWillCacheResponseBlock, dataTaskWillCacheResponse_)
NK_BLOCK_SETTER(setDownloadTaskDidFinishDownloadingBlock, DownloadTaskDidFinishDownloadingBlock,
                downloadTaskDidFinishDownloading_)
NK_BLOCK_SETTER(setDownloadTaskDidWriteDataBlock, DownloadTaskDidWriteDataBlock, downloadTaskDidWriteData_)
NK_BLOCK_SETTER(setDownloadTaskDidResumeBlock, DownloadTaskDidResumeBlock, downloadTaskDidResume_)
#undef NK_BLOCK_SETTER

bool NKURLSessionManagerCore::respondsToSelector(std::string_view selector) const {
    std::lock_guard lock(blocksMutex_);
    if (selector == NSURLSessionSelector::didReceiveChallenge && !handlesSessionChallenges()) {
        return bool(sessionDidReceiveAuthenticationChallenge_);
    }
    if (selector == NSURLSessionSelector::taskWillPerformHTTPRedirection) return bool(taskWillPerformHTTPRedirection_);
    if (selector == NSURLSessionSelector::dataTaskDidReceiveResponse) return bool(dataTaskDidReceiveResponse_);
    if (selector == NSURLSessionSelector::dataTaskWillCacheResponse) return bool(dataTaskWillCacheResponse_);
    if (selector == NSURLSessionSelector::didFinishEventsForBackgroundURLSession) {
        return bool(didFinishEventsForBackgroundURLSession_);
    }
    return NSObject::respondsToSelector(selector);
}

std::string NKURLSessionManagerCore::description() const {
    auto* me = const_cast<NKURLSessionManagerCore*>(this);
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

// --- session events ----------------------------------------------------------------------

void NKURLSessionManagerCore::didBecomeInvalidWithError(const NSURLSessionPtr& session, const NSErrorPtr& error) {
    if (auto block = copyBlock(sessionDidBecomeInvalid_)) block(session, error);
    NSNotificationCenter::defaultCenter()->postNotificationName(NKURLSessionDidInvalidateNotification, Value(session));
}

void NKURLSessionManagerCore::URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr& session) {
    if (auto block = copyBlock(didFinishEventsForBackgroundURLSession_)) {
        dispatch_async(dispatch_get_main_queue(), [block, session] { block(session); });
    }
}

void NKURLSessionManagerCore::taskWillPerformHTTPRedirection(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                         const NSHTTPURLResponsePtr& response,
                                                         const NSURLRequestPtr& newRequest,
                                                         std::function<void(NSURLRequestPtr)> completion) {
    NSURLRequestPtr request = newRequest;
    if (auto block = copyBlock(taskWillPerformHTTPRedirection_)) {
        request = block(session, task, response, newRequest);
    }
    if (completion) completion(request);
}

bool NKURLSessionManagerCore::policyAcceptsServerTrust(const NSURLAuthenticationChallengePtr& challenge,
                                                       NSURLCredentialPtr* credential) const {
    const SecTrustRef& trust = challenge->protectionSpace()->serverTrust();
    std::shared_ptr<NKSecurityPolicyCore> policy = securityPolicyCore();
    if (!trust || !policy || !policy->evaluateServerTrust(trust, challenge->protectionSpace()->host())) return false;
    if (credential) *credential = NSURLCredential::credentialForTrust(trust);
    return true;
}

void NKURLSessionManagerCore::taskNeedNewBodyStream(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                std::function<void(std::shared_ptr<NSInputStream>)> completion) {
    std::shared_ptr<NSInputStream> stream;
    if (auto block = copyBlock(taskNeedNewBodyStream_)) {
        stream = block(session, task);
    }
    // The platform's streams cannot be copied, so without a callback there is nothing to
    // send again.
    if (completion) completion(stream);
}

void NKURLSessionManagerCore::taskDidSendBodyData(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                              int64_t bytesSent, int64_t totalBytesSent,
                                              int64_t totalBytesExpectedToSend) {
    int64_t expected = totalBytesExpectedToSend;
    if (expected == NSURLSessionTransferSizeUnknown) {
        NSURLRequestPtr original = task->originalRequest();
        if (auto length = original ? original->valueForHTTPHeaderField("Content-Length") : std::nullopt) {
            expected = std::strtoll(length->c_str(), nullptr, 10);
        }
    }
    if (auto delegate = delegateCoreForTask(task)) {
        delegate->taskDidSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
    }
    if (auto block = copyBlock(taskDidSendBodyData_)) block(session, task, bytesSent, totalBytesSent, expected);
}

void NKURLSessionManagerCore::taskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                   const NSErrorPtr& error) {
    if (auto delegate = delegateCoreForTask(task)) {
        // The record goes first: the completion may run on another queue before this returns.
        removeDelegateForTask(task);
        delegate->taskDidCompleteWithError(session, task, error);
    }
    if (auto block = copyBlock(taskDidComplete_)) block(session, task, error);
}

void NKURLSessionManagerCore::dataTaskDidReceiveResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                     const NSURLResponsePtr& response,
                                                     std::function<void(NSURLSessionResponseDisposition)> completion) {
    NSURLSessionResponseDisposition disposition = NSURLSessionResponseAllow;
    if (auto block = copyBlock(dataTaskDidReceiveResponse_)) disposition = block(session, task, response);
    if (completion) completion(disposition);
}

void NKURLSessionManagerCore::dataTaskDidBecomeDownloadTask(const NSURLSessionPtr& session,
                                                        const NSURLSessionDataTaskPtr& dataTask,
                                                        const NSURLSessionDownloadTaskPtr& downloadTask) {
    if (auto delegate = delegateCoreForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        setDelegateCore(delegate, downloadTask);
    }
    if (auto block = copyBlock(dataTaskDidBecomeDownloadTask_)) block(session, dataTask, downloadTask);
}

void NKURLSessionManagerCore::dataTaskDidReceiveData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                 const std::vector<uint8_t>& data) {
    if (auto delegate = delegateCoreForTask(task)) delegate->dataTaskDidReceiveData(session, task, data);
    if (auto block = copyBlock(dataTaskDidReceiveData_)) block(session, task, data);
}

void NKURLSessionManagerCore::dataTaskDidReceiveOwnedData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                          std::vector<uint8_t>&& data) {
    // A block reads the same bytes after the task's record took them: they are copied then.
    if (copyBlock(dataTaskDidReceiveData_)) {
        dataTaskDidReceiveData(session, task, data);
        return;
    }
    if (auto delegate = delegateCoreForTask(task)) delegate->dataTaskDidReceiveOwnedData(session, task, std::move(data));
}

void NKURLSessionManagerCore::dataTaskWillCacheResponse(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                                    const NSCachedURLResponsePtr& proposed,
                                                    std::function<void(NSCachedURLResponsePtr)> completion) {
    NSCachedURLResponsePtr response = proposed;
    if (auto block = copyBlock(dataTaskWillCacheResponse_)) response = block(session, task, proposed);
    if (completion) completion(response);
}

void NKURLSessionManagerCore::downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session,
                                                                const NSURLSessionDownloadTaskPtr& task,
                                                                const NSURLPtr& location) {
    TaskDelegateCorePtr delegate = delegateCoreForTask(task);
    if (auto block = copyBlock(downloadTaskDidFinishDownloading_)) {
        if (NSURLPtr destination = block(session, task, location)) {
            if (delegate) delegate->setDownloadFileURL(destination);
            NKMoveDownloadedFile(task, location, destination, postsDownloadMoveSuccess());
            return;
        }
    }
    if (delegate) delegate->downloadTaskDidFinishDownloadingToURL(session, task, location);
}

void NKURLSessionManagerCore::downloadTaskDidWriteData(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                                   int64_t bytesWritten, int64_t totalBytesWritten,
                                                   int64_t totalBytesExpectedToWrite) {
    if (auto delegate = delegateCoreForTask(task)) {
        delegate->downloadTaskDidWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
    if (auto block = copyBlock(downloadTaskDidWriteData_)) {
        block(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
}

void NKURLSessionManagerCore::downloadTaskDidResumeAtOffset(const NSURLSessionPtr& session,
                                                        const NSURLSessionDownloadTaskPtr& task, int64_t fileOffset,
                                                        int64_t expectedTotalBytes) {
    if (auto delegate = delegateCoreForTask(task)) {
        delegate->downloadTaskDidResumeAtOffset(session, task, fileOffset, expectedTotalBytes);
    }
    if (auto block = copyBlock(downloadTaskDidResume_)) block(session, task, fileOffset, expectedTotalBytes);
}
