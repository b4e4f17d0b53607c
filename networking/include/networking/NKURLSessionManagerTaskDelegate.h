#pragma once
// The record a session manager keeps for each of its tasks: upload and download progress
// wired to the task, the body received so far, the finished download's destination, the
// metrics and the caller's completion, which it runs through the manager's serializer.

#include <memory>

#include <networking/NKURLSessionManagerTaskDelegateCore.h>
#include <platform_runtime/ObjCDeclare.h>

class NKURLSessionManager;

class NKURLSessionManagerTaskDelegate : public NKURLSessionManagerTaskDelegateCore {
    NS_CLASS(NKURLSessionManagerTaskDelegate, NSURLSessionDownloadDelegate)

public:
    using Ptr = std::shared_ptr<NKURLSessionManagerTaskDelegate>;

    // A record for the task: both progress objects start at -1 units, and cancelling,
    // pausing or resuming either one does the same to the task (while it exists).
    static Ptr delegateWithTask(const NSURLSessionTaskPtr& task);
    NKURLSessionManagerTaskDelegate() = default;

    std::shared_ptr<NKURLSessionManager> manager() const;
    void setManager(const std::shared_ptr<NKURLSessionManager>& manager);

    // The queue every response is serialised on, and the group completions join when their
    // manager names none.
    static dispatch_queue_t processingQueue();
    static dispatch_group_t sharedCompletionGroup();

protected:
    dispatch_queue_t familyProcessingQueue() const override { return processingQueue(); }
    dispatch_group_t familyCompletionGroup() const override { return sharedCompletionGroup(); }
};
