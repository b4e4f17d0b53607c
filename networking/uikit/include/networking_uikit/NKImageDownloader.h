#pragma once
// Fetches images by URL request through its own HTTP session manager: answers from the image
// cache when the request's cache policy allows, merges simultaneous requests for one URL into
// one task, runs at most `maximumActiveDownloads` at once and queues the rest first-in-first-out
// or last-in-first-out. Each caller holds a receipt through which it can withdraw its interest.
//
// Public operations may be called from any thread except the downloader's synchronization
// queue; every callback runs on the main queue, each as its own block, in handler order.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <networking/NKHTTPSessionManager.h>
#include <networking_uikit/NKAutoPurgingImageCache.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSUUID.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLCache.h>
#include <platform_net/NSURLSessionConfiguration.h>

using NSUUIDPtr = std::shared_ptr<NSUUID>;

enum NKImageDownloadPrioritization : int64_t {
    NKImageDownloadPrioritizationFIFO = 0,
    NKImageDownloadPrioritizationLIFO = 1,
};

using NKImageDownloadSuccess =
    std::function<void(const NSURLRequestPtr&, const NSHTTPURLResponsePtr&, const UIImagePtr&)>;
using NKImageDownloadFailure =
    std::function<void(const NSURLRequestPtr&, const NSHTTPURLResponsePtr&, const NSErrorPtr&)>;

// One caller's interest in a download.
class NKImageDownloaderResponseHandler : public NSObject {
    NS_CLASS(NKImageDownloaderResponseHandler, NSObject)
public:
    NKImageDownloaderResponseHandler(NSUUIDPtr uuid, NKImageDownloadSuccess success, NKImageDownloadFailure failure)
        : uuid(std::move(uuid)), successBlock(std::move(success)), failureBlock(std::move(failure)) {}
    NSUUIDPtr uuid;
    NKImageDownloadSuccess successBlock;
    NKImageDownloadFailure failureBlock;
    std::string description() const override { return "<NKImageDownloaderResponseHandler>UUID: " + uuid->UUIDString(); }
    std::string className() const override { return "NKImageDownloaderResponseHandler"; }
};
using NKImageDownloaderResponseHandlerPtr = std::shared_ptr<NKImageDownloaderResponseHandler>;

// One network task shared by every handler interested in its URL.
class NKImageDownloaderMergedTask : public NSObject {
    NS_CLASS(NKImageDownloaderMergedTask, NSObject)
public:
    NKImageDownloaderMergedTask(std::string URLIdentifier, NSUUIDPtr identifier, NSURLSessionDataTaskPtr task)
        : URLIdentifier(std::move(URLIdentifier)), identifier(std::move(identifier)), task(std::move(task)) {}
    void addResponseHandler(NKImageDownloaderResponseHandlerPtr handler) { responseHandlers.push_back(std::move(handler)); }
    void removeResponseHandler(const NKImageDownloaderResponseHandlerPtr& handler);
    std::string className() const override { return "NKImageDownloaderMergedTask"; }

    std::string URLIdentifier;
    NSUUIDPtr identifier;
    NSURLSessionDataTaskPtr task;
    std::vector<NKImageDownloaderResponseHandlerPtr> responseHandlers;
    // Whether it took a slot of the active count (shared with its task's completion, which
    // must give back only a slot that was taken). Synchronization queue only.
    std::shared_ptr<bool> started = std::make_shared<bool>(false);
};
using NKImageDownloaderMergedTaskPtr = std::shared_ptr<NKImageDownloaderMergedTask>;

// What a caller keeps to cancel its interest.
class NKImageDownloadReceipt : public NSObject {
    NS_CLASS(NKImageDownloadReceipt, NSObject)
public:
    NKImageDownloadReceipt(NSUUIDPtr receiptID, NSURLSessionDataTaskPtr task)
        : task(std::move(task)), receiptID(std::move(receiptID)) {}
    std::string className() const override { return "NKImageDownloadReceipt"; }
    NSURLSessionDataTaskPtr task;
    NSUUIDPtr receiptID;
};
using NKImageDownloadReceiptPtr = std::shared_ptr<NKImageDownloadReceipt>;

class NKImageDownloader : public NSObject {
    NS_CLASS(NKImageDownloader, NSObject)
public:
    using Ptr = std::shared_ptr<NKImageDownloader>;

    // 20 MiB in memory, 150 MiB on disk under caches/"com.netkit.imagedownloader".
    static NSURLCachePtr defaultURLCache();
    // Default configuration: cookies set, no pipelining, protocol cache policy, cellular
    // allowed, 60 s request time-out, the default URL cache.
    static NSURLSessionConfigurationPtr defaultURLSessionConfiguration();

    // An image-serializing session manager over the configuration (default: the one above),
    // a fresh auto-purging cache, FIFO, 4 downloads at once.
    static Ptr create(NSURLSessionConfigurationPtr configuration = nullptr);
    static Ptr create(NKHTTPSessionManager::Ptr sessionManager, NKImageDownloadPrioritization prioritization,
                      int64_t maximumActiveDownloads, std::shared_ptr<NKImageRequestCache> imageCache);
    // One per process, made on first use; any thread.
    static Ptr defaultInstance();

    NKImageDownloadReceiptPtr downloadImageForURLRequest(const NSURLRequestPtr& request, NKImageDownloadSuccess success,
                                                         NKImageDownloadFailure failure);
    // nullptr when no task is involved: answered from the cache, or no URL.
    NKImageDownloadReceiptPtr downloadImageForURLRequest(const NSURLRequestPtr& request, const NSUUIDPtr& receiptID,
                                                         NKImageDownloadSuccess success, NKImageDownloadFailure failure);
    // Withdraws the receipt's interest (found by the identity of its identifier object); its
    // failure callback gets -999. The task is cancelled once nobody is interested any more.
    void cancelTaskForImageDownloadReceipt(const NKImageDownloadReceiptPtr& receipt);

    const std::shared_ptr<NKImageRequestCache>& imageCache() const { return imageCache_; }
    const NKHTTPSessionManager::Ptr& sessionManager() const { return sessionManager_; }
    NKImageDownloadPrioritization downloadPrioritization() const { return downloadPrioritization_; }
    int64_t maximumActiveDownloads() const { return maximumActiveDownloads_; }
    // Read on the synchronization queue.
    int64_t activeRequestCount() const;
    std::size_t queuedTaskCount() const;
    // Tests: returns once every completion that has reached the response queue is processed.
    void waitForCompletionsInProgress() const;

    std::string className() const override { return "NKImageDownloader"; }

    NKImageDownloader(NKHTTPSessionManager::Ptr sessionManager, NKImageDownloadPrioritization prioritization,
                      int64_t maximumActiveDownloads, std::shared_ptr<NKImageRequestCache> imageCache);

private:
    // Synchronization queue only.
    NKImageDownloaderMergedTaskPtr removeMergedTaskWithURLIdentifier(const std::string& URLIdentifier);
    void startMergedTask(const NKImageDownloaderMergedTaskPtr& mergedTask);
    void enqueueMergedTask(const NKImageDownloaderMergedTaskPtr& mergedTask);
    NKImageDownloaderMergedTaskPtr dequeueMergedTask();
    bool isActiveRequestCountBelowMaximumLimit() const;
    // Starts the first waiting task that is still suspended when a slot is free; waiting
    // tasks cancelled meanwhile are dropped on the way.
    void startNextTaskIfNecessary();

    // Any thread but the synchronization queue; one short synchronous block.
    // Takes the merged task out when it is still the one made with the completing task (not
    // cancelled away, nor replaced by a newer one for the URL; nullptr otherwise), gives back
    // the completing task's slot when it took one, and starts the next waiting task in the
    // same block, so no new request takes the slot ahead of the waiting ones. The next
    // download is under way before the completing one's image is cached and handed out.
    NKImageDownloaderMergedTaskPtr safelyTakeMergedTaskAndFinish(const std::string& URLIdentifier,
                                                                 const NSUUIDPtr& mergedTaskIdentifier,
                                                                 const std::shared_ptr<bool>& started);

    void taskDidComplete(const std::string& URLIdentifier, const NSUUIDPtr& mergedTaskIdentifier,
                         const std::shared_ptr<bool>& started, const NSURLRequestPtr& request,
                         const NSURLResponsePtr& response, const Value& responseObject, const NSErrorPtr& error);

    std::shared_ptr<NKImageRequestCache> imageCache_;
    NKHTTPSessionManager::Ptr sessionManager_;
    NKImageDownloadPrioritization downloadPrioritization_;
    dispatch_queue_t synchronizationQueue_;
    dispatch_queue_t responseQueue_;
    int64_t maximumActiveDownloads_;
    int64_t activeRequestCount_ = 0;
    std::deque<NKImageDownloaderMergedTaskPtr> queuedMergedTasks_;  // taken from the front
    std::unordered_map<std::string, NKImageDownloaderMergedTaskPtr> mergedTasks_;
};
