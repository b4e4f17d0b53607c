#include <networking/NKURLSessionManagerTaskDelegateCore.h>

#include <networking/NKNetworkingNotifications.h>
#include <networking/NKURLSessionManagerCore.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLError.h>

#include <algorithm>

namespace {

constexpr char kFractionCompleted[] = "fractionCompleted";

void postNow(const NSURLSessionTaskPtr& task, const std::shared_ptr<Value::Dictionary>& userInfo) {
    NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingTaskDidCompleteNotification, Value(task),
                                                                Value(*userInfo));
}

// A decoded body at least this large is let go off the main queue: freeing the tree of a
// 1 MB document takes the main thread over half a millisecond.
constexpr std::size_t kReleasedOffMainQueue = 64 * 1024;

// Drops the references held here to a completion's decoded object and notification
// information: on a background queue when `large`, else at once.
void release(Value&& responseObject, std::shared_ptr<Value::Dictionary>&& userInfo, bool large) {
    if (!large) {
        responseObject = Value();
        userInfo.reset();
        return;
    }
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0),
                   [object = std::move(responseObject), info = std::move(userInfo)] {});
}

// The completion notification goes out on the main queue after the completion handler ran.
// `onMainQueue`: the handler runs on the main queue itself, so the notification follows it in
// the same block instead of waiting for another turn of the main queue. `large`: the main
// queue does not free what the notification carried.
void postCompletion(const NSURLSessionTaskPtr& task, const std::shared_ptr<Value::Dictionary>& userInfo, bool onMainQueue,
                    bool large) {
    if (onMainQueue) {
        postNow(task, userInfo);
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [task, info = userInfo, large]() mutable {
        postNow(task, info);
        release(Value(), std::move(info), large);
    });
}

// Bodies up to this size are decoded on the processing queue without a hand-off: when the
// queue has nothing waiting, the delegate queue's thread runs the decode as one of the
// processing queue's blocks (a few microseconds, less than waking a worker for it).
constexpr std::size_t kDecodedWithoutHandOff = 16 * 1024;

// Room for the announced length at once (bounded, as the length is the server's word).
void reserveAnnounced(std::vector<uint8_t>& buffer, int64_t expected) {
    constexpr int64_t kMostReservedAhead = 64 << 20;
    const auto wanted = static_cast<size_t>(std::min(expected, kMostReservedAhead));
    if (expected > 0 && buffer.capacity() < wanted) buffer.reserve(wanted);
}

// The task's state changes the progress objects request, for as long as the task exists.
void wire(const NSProgressPtr& progress, const NSURLSessionTaskPtr& task, bool resumes) {
    std::weak_ptr<NSURLSessionTask> weak = task;
    progress->setTotalUnitCount(NSURLSessionTransferSizeUnknown);
    progress->setCancellable(true);
    progress->setCancellationHandler([weak] {
        if (auto t = weak.lock()) t->cancel();
    });
    progress->setPausable(true);
    progress->setPausingHandler([weak] {
        if (auto t = weak.lock()) t->suspend();
    });
    if (!resumes) return;
    progress->setResumingHandler([weak] {
        if (auto t = weak.lock()) t->resume();
    });
}

}  // namespace

void NKURLSessionManagerTaskDelegateCore::setUp(const NSURLSessionTaskPtr& task, bool resumes) {
    mutableData_ = Data{};
    uploadProgress_ = std::make_shared<NSProgress>();
    downloadProgress_ = std::make_shared<NSProgress>();
    for (const NSProgressPtr& progress : {uploadProgress_, downloadProgress_}) {
        wire(progress, task, resumes);
        progress->addObserver(*this, kFractionCompleted, NSKeyValueObservingOptionNew);
    }
}

NKURLSessionManagerTaskDelegateCore::~NKURLSessionManagerTaskDelegateCore() {
    if (downloadProgress_) downloadProgress_->removeObserver(*this, kFractionCompleted);
    if (uploadProgress_) uploadProgress_->removeObserver(*this, kFractionCompleted);
}

std::optional<NKURLSessionManagerTaskDelegateCore::Data> NKURLSessionManagerTaskDelegateCore::mutableData() const {
    std::lock_guard lock(mutex_);
    return mutableData_;
}

NSURLPtr NKURLSessionManagerTaskDelegateCore::downloadFileURL() const {
    std::lock_guard lock(mutex_);
    return downloadFileURL_;
}

void NKURLSessionManagerTaskDelegateCore::setDownloadFileURL(NSURLPtr url) {
    std::lock_guard lock(mutex_);
    downloadFileURL_ = std::move(url);
}

NSURLSessionTaskMetricsPtr NKURLSessionManagerTaskDelegateCore::sessionTaskMetrics() const {
    std::lock_guard lock(mutex_);
    return sessionTaskMetrics_;
}

void NKURLSessionManagerTaskDelegateCore::observeValueForKeyPath(const std::string&, NSObject* object, const Value&,
                                                             void*) {
    if (object == downloadProgress_.get()) {
        if (downloadProgressBlock_) downloadProgressBlock_(downloadProgress_);
    } else if (object == uploadProgress_.get()) {
        if (uploadProgressBlock_) uploadProgressBlock_(uploadProgress_);
    }
}

int64_t NKURLSessionManagerTaskDelegateCore::reportReceived(const NSURLSessionDataTaskPtr& task) {
    const int64_t expected = task->countOfBytesExpectedToReceive();
    downloadProgress_->setTotalUnitCount(expected);
    downloadProgress_->setCompletedUnitCount(task->countOfBytesReceived());
    return expected;
}

void NKURLSessionManagerTaskDelegateCore::dataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr& task,
                                                             const std::vector<uint8_t>& data) {
    const int64_t expected = reportReceived(task);
    std::lock_guard lock(mutex_);
    if (!mutableData_) return;
    if (mutableData_->empty()) reserveAnnounced(*mutableData_, expected);
    mutableData_->insert(mutableData_->end(), data.begin(), data.end());
}

void NKURLSessionManagerTaskDelegateCore::dataTaskDidReceiveOwnedData(const NSURLSessionPtr&,
                                                                  const NSURLSessionDataTaskPtr& task,
                                                                  std::vector<uint8_t>&& data) {
    const int64_t expected = reportReceived(task);
    std::lock_guard lock(mutex_);
    if (!mutableData_) return;
    if (!mutableData_->empty()) {
        mutableData_->insert(mutableData_->end(), data.begin(), data.end());
        return;
    }
    // The session gathers a turn's bytes in a buffer sized for the rest of the body: it
    // becomes this task's buffer, and later pieces fill the room it has.
    *mutableData_ = std::move(data);
    reserveAnnounced(*mutableData_, expected);
}

void NKURLSessionManagerTaskDelegateCore::taskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr& task,
                                                          int64_t, int64_t, int64_t) {
    uploadProgress_->setTotalUnitCount(task->countOfBytesExpectedToSend());
    uploadProgress_->setCompletedUnitCount(task->countOfBytesSent());
}

void NKURLSessionManagerTaskDelegateCore::downloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                                               int64_t, int64_t totalBytesWritten,
                                                               int64_t totalBytesExpectedToWrite) {
    downloadProgress_->setTotalUnitCount(totalBytesExpectedToWrite);
    downloadProgress_->setCompletedUnitCount(totalBytesWritten);
}

void NKURLSessionManagerTaskDelegateCore::downloadTaskDidResumeAtOffset(const NSURLSessionPtr&,
                                                                    const NSURLSessionDownloadTaskPtr&, int64_t fileOffset,
                                                                    int64_t expectedTotalBytes) {
    downloadProgress_->setTotalUnitCount(expectedTotalBytes);
    downloadProgress_->setCompletedUnitCount(fileOffset);
}

void NKURLSessionManagerTaskDelegateCore::taskDidFinishCollectingMetrics(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                                                     const NSURLSessionTaskMetricsPtr& metrics) {
    std::lock_guard lock(mutex_);
    sessionTaskMetrics_ = metrics;
}

void NKURLSessionManagerTaskDelegateCore::downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session,
                                                                            const NSURLSessionDownloadTaskPtr& task,
                                                                            const NSURLPtr& location) {
    setDownloadFileURL(nullptr);
    if (!downloadTaskDidFinishDownloading_) return;
    NSURLPtr destination = downloadTaskDidFinishDownloading_(session, task, location);
    setDownloadFileURL(destination);
    if (!destination) return;
    std::shared_ptr<NKURLSessionManagerCore> manager = manager_.lock();
    NKMoveDownloadedFile(task, location, destination, !manager || manager->postsDownloadMoveSuccess());
}

void NKURLSessionManagerTaskDelegateCore::taskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr& task,
                                                               const NSErrorPtr& taskError) {
    NSErrorPtr error = NKURLSessionManagerCore::challengeErrorForTask(*task);
    if (!error) error = taskError;
    std::shared_ptr<NKURLSessionManagerCore> manager = manager_.lock();
    // Without its manager nothing can decode the body: report the task as cancelled rather
    // than as a success with nothing in it.
    if (!error && !manager) {
        Value::Dictionary info{{Value(NSLocalizedDescriptionKey), Value("cancelled")}};
        if (auto request = task->originalRequest(); request && request->URL()) {
            info[Value(NSURLErrorFailingURLErrorKey)] = Value(request->URL());
            info[Value(NSURLErrorFailingURLStringErrorKey)] = Value(request->URL()->absoluteString());
        }
        error = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCancelled, std::move(info));
    }

    auto userInfo = std::make_shared<Value::Dictionary>();
    std::shared_ptr<NKURLResponseSerialization> serializer = manager ? manager->responseSerializer() : nullptr;
    if (auto object = std::dynamic_pointer_cast<NSObject>(serializer)) {
        (*userInfo)[Value(NKNetworkingTaskDidCompleteResponseSerializerKey)] = Value(object);
    }

    // The body moves into one shared value: the notification carries it and the serializer
    // reads the same bytes, so a large body is never copied.
    Value body;
    NSURLPtr fileURL;
    {
        std::lock_guard lock(mutex_);
        if (mutableData_) {
            body = Value(std::move(*mutableData_));
            mutableData_.reset();
        }
        if (sessionTaskMetrics_) (*userInfo)[Value(NKNetworkingTaskDidCompleteSessionTaskMetrics)] = Value(sessionTaskMetrics_);
        fileURL = downloadFileURL_;
    }
    if (fileURL) {
        (*userInfo)[Value(NKNetworkingTaskDidCompleteAssetPathKey)] = Value(fileURL);
    } else if (body.isData()) {
        (*userInfo)[Value(NKNetworkingTaskDidCompleteResponseDataKey)] = body;
    }

    auto self = std::static_pointer_cast<NKURLSessionManagerTaskDelegateCore>(shared_from_this());
    CompletionHandler handler = completionHandler_;
    dispatch_group_t familyGroup = familyCompletionGroup();
    auto targets = [manager, familyGroup] {
        dispatch_group_t group = manager ? manager->completionGroup() : nullptr;
        dispatch_queue_t queue = manager ? manager->completionQueue() : nullptr;
        return std::make_pair(group ? group : familyGroup, queue ? queue : dispatch_get_main_queue());
    };

    if (error) {
        (*userInfo)[Value(NKNetworkingTaskDidCompleteErrorKey)] = Value(error);
        auto [group, queue] = targets();
        const bool onMainQueue = queue == dispatch_get_main_queue();
        dispatch_group_async(group, queue, [self, task, handler, error, userInfo, onMainQueue] {
            if (handler) handler(task->response(), Value(), error);
            postCompletion(task, userInfo, onMainQueue, false);
        });
        return;
    }

    const bool small = !fileURL && (!body.isData() || body.asData().size() <= kDecodedWithoutHandOff);
    const bool large = body.isData() && body.asData().size() >= kReleasedOffMainQueue;
    auto process = [self, task, handler, serializer, body, fileURL, userInfo, targets, large] {
        NSErrorPtr serializationError;
        Value responseObject;
        const Data* data = body.isData() ? &body.asData() : nullptr;
        if (serializer) responseObject = serializer->responseObjectForResponse(task->response(), data, &serializationError);
        if (fileURL) responseObject = Value(fileURL);
        if (!responseObject.isNull()) (*userInfo)[Value(NKNetworkingTaskDidCompleteSerializedResponseKey)] = responseObject;
        if (serializationError) (*userInfo)[Value(NKNetworkingTaskDidCompleteErrorKey)] = Value(serializationError);
        auto [group, queue] = targets();
        const bool onMainQueue = queue == dispatch_get_main_queue();
        dispatch_group_async(group, queue, [self, task, handler, responseObject, serializationError, userInfo, onMainQueue,
                                            large]() mutable {
            if (handler) handler(task->response(), responseObject, serializationError);
            postCompletion(task, userInfo, onMainQueue, large);
            if (onMainQueue) release(std::move(responseObject), std::move(userInfo), large);
        });
    };
    if (small) {
        dispatch_sync(familyProcessingQueue(), process);
    } else {
        dispatch_async(familyProcessingQueue(), std::move(process));
    }
}
