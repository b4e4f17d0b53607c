#include <networking/NKURLSessionManagerTaskDelegate.h>

#include <networking/NKURLSessionManager.h>

NKURLSessionManagerTaskDelegate::Ptr NKURLSessionManagerTaskDelegate::delegateWithTask(const NSURLSessionTaskPtr& task) {
    auto delegate = std::make_shared<NKURLSessionManagerTaskDelegate>();
    delegate->setUp(task, true);
    return delegate;
}

std::shared_ptr<NKURLSessionManager> NKURLSessionManagerTaskDelegate::manager() const {
    return std::static_pointer_cast<NKURLSessionManager>(managerCore());
}

void NKURLSessionManagerTaskDelegate::setManager(const std::shared_ptr<NKURLSessionManager>& manager) {
    setManagerCore(manager);
}

dispatch_queue_t NKURLSessionManagerTaskDelegate::processingQueue() {
    return NKSessionFamilyQueues<NKURLSessionManagerTaskDelegate>::processingQueue();
}

dispatch_group_t NKURLSessionManagerTaskDelegate::sharedCompletionGroup() {
    return NKSessionFamilyQueues<NKURLSessionManagerTaskDelegate>::completionGroup();
}
