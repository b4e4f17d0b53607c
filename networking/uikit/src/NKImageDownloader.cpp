#include <networking_uikit/NKImageDownloader.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include <networking/NKImageResponseSerializer.h>
#include <networking/NKURLResponseSerialization.h>
#include <platform_foundation/Sandbox.h>
#include <platform_net/NSURLError.h>

namespace {

std::string labelWithUUID(const char* prefix) { return std::string(prefix) + NSUUID::UUID()->UUIDString(); }

void onMain(dispatch_block_t block) { dispatch_async(dispatch_get_main_queue(), std::move(block)); }

bool cachePolicyReadsImageCache(NSURLRequestCachePolicy policy) {
    return policy == NSURLRequestUseProtocolCachePolicy || policy == NSURLRequestReturnCacheDataElseLoad ||
           policy == NSURLRequestReturnCacheDataDontLoad;
}

}  // namespace

void NKImageDownloaderMergedTask::removeResponseHandler(const NKImageDownloaderResponseHandlerPtr& handler) {
    auto it = std::find(responseHandlers.begin(), responseHandlers.end(), handler);
    if (it != responseHandlers.end()) responseHandlers.erase(it);
}

NSURLCachePtr NKImageDownloader::defaultURLCache() {
    std::filesystem::path path = std::filesystem::path(NSSandbox::cachesDirectory()) / "com.netkit.imagedownloader";
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return NSURLCache::create(20 * 1024 * 1024, 150 * 1024 * 1024, path.string());
}

NSURLSessionConfigurationPtr NKImageDownloader::defaultURLSessionConfiguration() {
    auto configuration = NSURLSessionConfiguration::defaultSessionConfiguration();
    configuration->setHTTPShouldSetCookies(true);
    configuration->setHTTPShouldUsePipelining(false);
    configuration->setRequestCachePolicy(NSURLRequestUseProtocolCachePolicy);
    configuration->setAllowsCellularAccess(true);
    configuration->setTimeoutIntervalForRequest(60.0);
    configuration->setURLCache(defaultURLCache());
    return configuration;
}

NKImageDownloader::Ptr NKImageDownloader::create(NSURLSessionConfigurationPtr configuration) {
    if (!configuration) configuration = defaultURLSessionConfiguration();
    auto manager = std::make_shared<NKHTTPSessionManager>(nullptr, configuration);
    manager->setResponseSerializer(NKImageResponseSerializer::serializer());
    return create(manager, NKImageDownloadPrioritizationFIFO, 4, NKAutoPurgingImageCache::create());
}

NKImageDownloader::Ptr NKImageDownloader::create(NKHTTPSessionManager::Ptr sessionManager,
                                                 NKImageDownloadPrioritization prioritization,
                                                 int64_t maximumActiveDownloads,
                                                 std::shared_ptr<NKImageRequestCache> imageCache) {
    return std::make_shared<NKImageDownloader>(std::move(sessionManager), prioritization, maximumActiveDownloads,
                                               std::move(imageCache));
}

NKImageDownloader::NKImageDownloader(NKHTTPSessionManager::Ptr sessionManager,
                                     NKImageDownloadPrioritization prioritization, int64_t maximumActiveDownloads,
                                     std::shared_ptr<NKImageRequestCache> imageCache)
    : imageCache_(std::move(imageCache)),
      sessionManager_(std::move(sessionManager)),
      downloadPrioritization_(prioritization),
      synchronizationQueue_(dispatch_queue_create(
          labelWithUUID("com.netkit.imagedownloader.synchronizationqueue-").c_str(), DISPATCH_QUEUE_SERIAL)),
      responseQueue_(dispatch_queue_create(labelWithUUID("com.netkit.imagedownloader.responsequeue-").c_str(),
                                           DISPATCH_QUEUE_CONCURRENT)),
      maximumActiveDownloads_(maximumActiveDownloads) {}

NKImageDownloader::Ptr NKImageDownloader::defaultInstance() {
    static Ptr instance = create();
    return instance;
}

NKImageDownloadReceiptPtr NKImageDownloader::downloadImageForURLRequest(const NSURLRequestPtr& request,
                                                                        NKImageDownloadSuccess success,
                                                                        NKImageDownloadFailure failure) {
    return downloadImageForURLRequest(request, NSUUID::UUID(), std::move(success), std::move(failure));
}

NKImageDownloadReceiptPtr NKImageDownloader::downloadImageForURLRequest(const NSURLRequestPtr& request,
                                                                        const NSUUIDPtr& receiptID,
                                                                        NKImageDownloadSuccess success,
                                                                        NKImageDownloadFailure failure) {
    NSURLSessionDataTaskPtr task;
    dispatch_sync(synchronizationQueue_, [&] {
        std::string URLIdentifier =
            request && request->URL() ? request->URL()->absoluteString() : std::string();
        if (URLIdentifier.empty()) {
            if (failure) {
                auto error = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorBadURL);
                onMain([failure, request, error] { failure(request, nullptr, error); });
            }
            return;
        }

        if (auto it = mergedTasks_.find(URLIdentifier); it != mergedTasks_.end()) {
            it->second->addResponseHandler(
                std::make_shared<NKImageDownloaderResponseHandler>(receiptID, success, failure));
            task = it->second->task;
            return;
        }

        if (imageCache_ && cachePolicyReadsImageCache(request->cachePolicy())) {
            if (UIImagePtr cached = imageCache_->imageforRequest(request, nullptr)) {
                if (success) onMain([success, request, cached] { success(request, nullptr, cached); });
                return;
            }
        }

        auto mergedTaskIdentifier = NSUUID::UUID();
        auto started = std::make_shared<bool>(false);
        std::weak_ptr<NKImageDownloader> weakSelf = std::static_pointer_cast<NKImageDownloader>(shared_from_this());
        dispatch_queue_t responseQueue = responseQueue_;
        NSURLSessionDataTaskPtr created = sessionManager_->dataTaskWithRequest(
            request, nullptr, nullptr,
            [weakSelf, responseQueue, URLIdentifier, mergedTaskIdentifier, started, request](
                NSURLResponsePtr response, Value responseObject, NSErrorPtr error) {
                dispatch_async(responseQueue, [=] {
                    if (auto self = weakSelf.lock())
                        self->taskDidComplete(URLIdentifier, mergedTaskIdentifier, started, request, response,
                                              responseObject, error);
                });
            });
        auto mergedTask = std::make_shared<NKImageDownloaderMergedTask>(URLIdentifier, mergedTaskIdentifier, created);
        mergedTask->started = started;
        mergedTask->addResponseHandler(std::make_shared<NKImageDownloaderResponseHandler>(receiptID, success, failure));
        mergedTasks_[URLIdentifier] = mergedTask;
        if (isActiveRequestCountBelowMaximumLimit()) {
            startMergedTask(mergedTask);
        } else {
            enqueueMergedTask(mergedTask);
        }
        task = created;
    });
    if (!task) return nullptr;
    return std::make_shared<NKImageDownloadReceipt>(receiptID, task);
}

void NKImageDownloader::taskDidComplete(const std::string& URLIdentifier, const NSUUIDPtr& mergedTaskIdentifier,
                                        const std::shared_ptr<bool>& started, const NSURLRequestPtr& request,
                                        const NSURLResponsePtr& response, const Value& responseObject,
                                        const NSErrorPtr& error) {
    if (NKImageDownloaderMergedTaskPtr mergedTask =
            safelyTakeMergedTaskAndFinish(URLIdentifier, mergedTaskIdentifier, started)) {
        auto httpResponse = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
        UIImagePtr image = responseObject.objectAs<UIImage>();
        NSErrorPtr failure = error;
        if (!failure && !image) {
            // The serializer answers undecodable bytes with no image and no error; callers
            // must not be told that such a download succeeded.
            Value::Dictionary info{{NSLocalizedDescriptionKey, Value("Request failed: the image could not be decoded")}};
            if (request && request->URL()) info[Value(NSURLErrorFailingURLErrorKey)] = Value(request->URL());
            failure = NSError::errorWithDomain(NKURLResponseSerializationErrorDomain, NSURLErrorCannotDecodeRawData, info);
        }
        if (failure) {
            NSErrorPtr error = failure;
            for (const auto& handler : mergedTask->responseHandlers)
                if (auto failure = handler->failureBlock)
                    onMain([failure, request, httpResponse, error] { failure(request, httpResponse, error); });
        } else {
            if (imageCache_ && imageCache_->shouldCacheImage(image, request, nullptr))
                imageCache_->addImage(image, request, nullptr);
            for (const auto& handler : mergedTask->responseHandlers)
                if (auto success = handler->successBlock)
                    onMain([success, request, httpResponse, image] { success(request, httpResponse, image); });
        }
    }
}

void NKImageDownloader::cancelTaskForImageDownloadReceipt(const NKImageDownloadReceiptPtr& receipt) {
    if (!receipt || !receipt->task) return;
    dispatch_sync(synchronizationQueue_, [&] {
        NSURLRequestPtr original = receipt->task->originalRequest();
        std::string URLIdentifier = original && original->URL() ? original->URL()->absoluteString() : std::string();
        NKImageDownloaderMergedTaskPtr mergedTask;
        if (auto it = mergedTasks_.find(URLIdentifier); it != mergedTasks_.end()) mergedTask = it->second;
        if (!mergedTask) return;
        auto& handlers = mergedTask->responseHandlers;
        auto found = std::find_if(handlers.begin(), handlers.end(),
                                  [&](const NKImageDownloaderResponseHandlerPtr& h) { return h->uuid == receipt->receiptID; });
        if (found != handlers.end()) {
            NKImageDownloaderResponseHandlerPtr handler = *found;
            handlers.erase(found);
            std::string reason = "ImageDownloader cancelled URL request: " + URLIdentifier;
            auto error = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCancelled,
                                                  {{NSLocalizedFailureReasonErrorKey, Value(reason)}});
            if (auto failure = handler->failureBlock)
                onMain([failure, original, error] { failure(original, nullptr, error); });
        }
        if (handlers.empty()) {
            mergedTask->task->cancel();
            removeMergedTaskWithURLIdentifier(URLIdentifier);
        }
    });
}

int64_t NKImageDownloader::activeRequestCount() const {
    int64_t count = 0;
    dispatch_sync(synchronizationQueue_, [&] { count = activeRequestCount_; });
    return count;
}

std::size_t NKImageDownloader::queuedTaskCount() const {
    std::size_t count = 0;
    dispatch_sync(synchronizationQueue_, [&] { count = queuedMergedTasks_.size(); });
    return count;
}

void NKImageDownloader::waitForCompletionsInProgress() const { dispatch_barrier_sync(responseQueue_, [] {}); }

NKImageDownloaderMergedTaskPtr NKImageDownloader::removeMergedTaskWithURLIdentifier(const std::string& URLIdentifier) {
    auto it = mergedTasks_.find(URLIdentifier);
    if (it == mergedTasks_.end()) return nullptr;
    auto removed = it->second;
    mergedTasks_.erase(it);
    return removed;
}

void NKImageDownloader::startMergedTask(const NKImageDownloaderMergedTaskPtr& mergedTask) {
    mergedTask->task->resume();
    *mergedTask->started = true;
    ++activeRequestCount_;
}

void NKImageDownloader::enqueueMergedTask(const NKImageDownloaderMergedTaskPtr& mergedTask) {
    if (downloadPrioritization_ == NKImageDownloadPrioritizationLIFO) {
        queuedMergedTasks_.push_front(mergedTask);
    } else {
        queuedMergedTasks_.push_back(mergedTask);
    }
}

NKImageDownloaderMergedTaskPtr NKImageDownloader::dequeueMergedTask() {
    if (queuedMergedTasks_.empty()) return nullptr;
    auto first = queuedMergedTasks_.front();
    queuedMergedTasks_.pop_front();
    return first;
}

bool NKImageDownloader::isActiveRequestCountBelowMaximumLimit() const {
    return activeRequestCount_ < maximumActiveDownloads_;
}

NKImageDownloaderMergedTaskPtr NKImageDownloader::safelyTakeMergedTaskAndFinish(const std::string& URLIdentifier,
                                                                               const NSUUIDPtr& mergedTaskIdentifier,
                                                                               const std::shared_ptr<bool>& started) {
    NKImageDownloaderMergedTaskPtr taken;
    dispatch_sync(synchronizationQueue_, [&] {
        if (auto it = mergedTasks_.find(URLIdentifier);
            it != mergedTasks_.end() && *it->second->identifier == *mergedTaskIdentifier) {
            taken = it->second;
            mergedTasks_.erase(it);
        }
        // Only a task that took a slot gives one back: a queued task cancelled before it
        // started completes too, and must not let more than the maximum run.
        if (*started && activeRequestCount_ > 0) --activeRequestCount_;
        startNextTaskIfNecessary();
    });
    return taken;
}

void NKImageDownloader::startNextTaskIfNecessary() {
    if (!isActiveRequestCountBelowMaximumLimit()) return;
    while (auto next = dequeueMergedTask()) {
        if (next->task->state() == NSURLSessionTaskStateSuspended) {
            startMergedTask(next);
            break;
        }
    }
}
