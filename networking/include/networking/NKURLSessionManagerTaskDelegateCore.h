#pragma once
// The behaviour of the record a session manager keeps for each of its tasks, shared by the
// task-record classes of every prefix: upload and download progress wired to the task, the
// body received so far, the finished download's destination, the metrics (when the manager
// hands them over) and the caller's completion, which it runs through the manager's
// serializer. Not a runtime class of its own. Events arrive on the session's delegate queue;
// the readers below may be called from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <platform_dispatch/DispatchGroup.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_net/NSProgress.h>
#include <platform_net/NSURLSessionDelegate.h>
#include <platform_runtime/ObjCDeclare.h>

class NKURLSessionManagerCore;

// The process-wide serialisation queue ("com.netkit.networking.session.manager.processing")
// and default completion group of one class family, made once on first use; every family
// has its own pair.
template <class Family>
struct NKSessionFamilyQueues {
    static dispatch_queue_t processingQueue() {
        static const dispatch_queue_t queue =
            dispatch_queue_create("com.netkit.networking.session.manager.processing", DISPATCH_QUEUE_CONCURRENT);
        return queue;
    }
    static dispatch_group_t completionGroup() {
        static const dispatch_group_t group = dispatch_group_create();
        return group;
    }
};

class NKURLSessionManagerTaskDelegateCore : public NSURLSessionDownloadDelegate {
public:
    using Data = std::vector<uint8_t>;
    // (response, response object, error).
    using CompletionHandler = std::function<void(NSURLResponsePtr, Value, NSErrorPtr)>;
    using ProgressBlock = std::function<void(const NSProgressPtr&)>;
    // (session, download task, temporary location) -> where to move the file, or nullptr.
    using DownloadDestinationBlock =
        std::function<NSURLPtr(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, const NSURLPtr&)>;

    ~NKURLSessionManagerTaskDelegateCore() override;

    std::shared_ptr<NKURLSessionManagerCore> managerCore() const { return manager_.lock(); }
    void setManagerCore(const std::shared_ptr<NKURLSessionManagerCore>& manager) { manager_ = manager; }
    // The body so far; nullopt once the task completed.
    std::optional<Data> mutableData() const;
    const NSProgressPtr& uploadProgress() const { return uploadProgress_; }
    const NSProgressPtr& downloadProgress() const { return downloadProgress_; }
    NSURLPtr downloadFileURL() const;
    void setDownloadFileURL(NSURLPtr url);
    NSURLSessionTaskMetricsPtr sessionTaskMetrics() const;

    const DownloadDestinationBlock& downloadTaskDidFinishDownloading() const { return downloadTaskDidFinishDownloading_; }
    void setDownloadTaskDidFinishDownloading(DownloadDestinationBlock block) { downloadTaskDidFinishDownloading_ = std::move(block); }
    const ProgressBlock& uploadProgressBlock() const { return uploadProgressBlock_; }
    void setUploadProgressBlock(ProgressBlock block) { uploadProgressBlock_ = std::move(block); }
    const ProgressBlock& downloadProgressBlock() const { return downloadProgressBlock_; }
    void setDownloadProgressBlock(ProgressBlock block) { downloadProgressBlock_ = std::move(block); }
    const CompletionHandler& completionHandler() const { return completionHandler_; }
    void setCompletionHandler(CompletionHandler handler) { completionHandler_ = std::move(handler); }

    // --- events, forwarded by the manager on the session's delegate queue ---
    void dataTaskDidReceiveData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                const std::vector<uint8_t>& data) override;
    // The first bytes become the task's buffer as they are (no copy of a body that came whole).
    void dataTaskDidReceiveOwnedData(const NSURLSessionPtr& session, const NSURLSessionDataTaskPtr& task,
                                     std::vector<uint8_t>&& data) override;
    void taskDidSendBodyData(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task, int64_t bytesSent,
                             int64_t totalBytesSent, int64_t totalBytesExpectedToSend) override;
    void downloadTaskDidWriteData(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                  int64_t bytesWritten, int64_t totalBytesWritten,
                                  int64_t totalBytesExpectedToWrite) override;
    void downloadTaskDidResumeAtOffset(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                       int64_t fileOffset, int64_t expectedTotalBytes) override;
    void taskDidFinishCollectingMetrics(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                        const NSURLSessionTaskMetricsPtr& metrics) override;
    void downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session, const NSURLSessionDownloadTaskPtr& task,
                                               const NSURLPtr& location) override;
    // Serialises the body on the processing queue, runs the completion handler on the
    // manager's completion queue inside its group, then posts the completion notification
    // on the main queue (in the handler's block when that runs on the main queue). A small
    // body is serialised as a block of the processing queue run by the calling thread when
    // nothing waits there, so it costs no hand-off to another thread.
    void taskDidCompleteWithError(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                  const NSErrorPtr& error) override;

    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change,
                                void* context) override;

protected:
    NKURLSessionManagerTaskDelegateCore() = default;

    // Both progress objects start at -1 units; cancelling or pausing either one does the
    // same to the task (while it exists), and so does resuming when `resumes`.
    void setUp(const NSURLSessionTaskPtr& task, bool resumes);
    // The family's process-wide serialisation queue and default completion group.
    virtual dispatch_queue_t familyProcessingQueue() const = 0;
    virtual dispatch_group_t familyCompletionGroup() const = 0;

private:
    // Progress for the bytes received so far; answers the announced length.
    int64_t reportReceived(const NSURLSessionDataTaskPtr& task);

    std::weak_ptr<NKURLSessionManagerCore> manager_;
    mutable std::mutex mutex_;  // the fields below, touched on the delegate queue and by readers
    std::optional<Data> mutableData_;
    NSURLPtr downloadFileURL_;
    NSURLSessionTaskMetricsPtr sessionTaskMetrics_;
    NSProgressPtr uploadProgress_;
    NSProgressPtr downloadProgress_;
    DownloadDestinationBlock downloadTaskDidFinishDownloading_;
    ProgressBlock uploadProgressBlock_;
    ProgressBlock downloadProgressBlock_;
    CompletionHandler completionHandler_;
};
