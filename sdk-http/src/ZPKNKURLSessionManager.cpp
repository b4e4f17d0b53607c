#include <sdk_http/ZPKNKURLSessionManager.h>

#include <platform_foundation/NSFoundationVersion.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_net/NSURLProtectionSpace.h>
#include <sdk_http/ZPKNKURLResponseSerialization.h>

void ZPKNKSafeTaskCreation(const std::function<void()>& block) {
    if (NSFoundationVersionNumber() < NSFoundationVersionNumber_iOS_8_0) {
        static const dispatch_queue_t queue =
            dispatch_queue_create("com.netkit.networking.session.manager.creation", DISPATCH_QUEUE_SERIAL);
        dispatch_sync(queue, block);
    } else {
        block();
    }
}

// --- task records --------------------------------------------------------------------------

ZPKNKURLSessionManagerTaskDelegate::Ptr ZPKNKURLSessionManagerTaskDelegate::delegateWithTask(
    const NSURLSessionTaskPtr& task) {
    auto delegate = std::make_shared<ZPKNKURLSessionManagerTaskDelegate>();
    delegate->setUp(task, NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({9, 0, 0}));
    return delegate;
}

std::shared_ptr<ZPKNKURLSessionManager> ZPKNKURLSessionManagerTaskDelegate::manager() const {
    return std::static_pointer_cast<ZPKNKURLSessionManager>(managerCore());
}

dispatch_queue_t ZPKNKURLSessionManagerTaskDelegate::processingQueue() {
    return NKSessionFamilyQueues<ZPKNKURLSessionManagerTaskDelegate>::processingQueue();
}

dispatch_group_t ZPKNKURLSessionManagerTaskDelegate::sharedCompletionGroup() {
    return NKSessionFamilyQueues<ZPKNKURLSessionManagerTaskDelegate>::completionGroup();
}

// --- manager -------------------------------------------------------------------------------

ZPKNKURLSessionManager::Ptr ZPKNKURLSessionManager::manager(NSURLSessionConfigurationPtr configuration) {
    return makeStarted<ZPKNKURLSessionManager>(std::move(configuration));
}

ZPKNKURLSessionManager::ZPKNKURLSessionManager(NSURLSessionConfigurationPtr configuration)
    : NKURLSessionManagerCore(std::move(configuration), ZPKNKJSONResponseSerializer::serializer(),
                              ZPKNKSecurityPolicy::defaultPolicy(), ZPKNKNetworkReachabilityManager::sharedManager()) {}

ZPKNKSecurityPolicy::Ptr ZPKNKURLSessionManager::securityPolicy() const {
    return std::static_pointer_cast<ZPKNKSecurityPolicy>(securityPolicyCore());
}

void ZPKNKURLSessionManager::setSecurityPolicy(ZPKNKSecurityPolicy::Ptr policy) { storeSecurityPolicy(std::move(policy)); }

ZPKNKNetworkReachabilityManager::Ptr ZPKNKURLSessionManager::reachabilityManager() const {
    return std::static_pointer_cast<ZPKNKNetworkReachabilityManager>(reachabilityManagerCore());
}

void ZPKNKURLSessionManager::setReachabilityManager(ZPKNKNetworkReachabilityManager::Ptr manager) {
    storeReachabilityManager(std::move(manager));
}

ZPKNKURLSessionManager::TaskDelegatePtr ZPKNKURLSessionManager::delegateForTask(const NSURLSessionTaskPtr& task) const {
    return std::static_pointer_cast<ZPKNKURLSessionManagerTaskDelegate>(delegateCoreForTask(task));
}

void ZPKNKURLSessionManager::setTaskDidReceiveAuthenticationChallengeBlock(
    TaskDidReceiveAuthenticationChallengeBlock block) {
    storeBlock(taskDidReceiveAuthenticationChallenge_, std::move(block));
}

ZPKNKURLSessionManager::Ptr ZPKNKURLSessionManager::copy() {
    return makeStarted<ZPKNKURLSessionManager>(session()->configuration());
}

int ZPKNKURLSessionManager::fileUploadTaskAttempts() const {
    // Background sessions (those with an identifier) get up to three more attempts.
    return attemptsToRecreateUploadTasksForBackgroundSessions() && sessionConfiguration()->identifier() ? 4 : 1;
}

void ZPKNKURLSessionManager::didReceiveChallenge(const NSURLSessionPtr& session,
                                                 const NSURLAuthenticationChallengePtr& challenge,
                                                 ChallengeCompletion completion) {
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    NSURLCredentialPtr credential;
    if (auto block = sessionChallengeBlock()) {
        disposition = block(session, challenge, &credential);
    } else if (challenge->protectionSpace()->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        if (policyAcceptsServerTrust(challenge, &credential)) {
            disposition = credential ? NSURLSessionAuthChallengeUseCredential
                                     : NSURLSessionAuthChallengePerformDefaultHandling;
        } else {
            disposition = NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        }
    }
    if (completion) completion(disposition, credential);
}

void ZPKNKURLSessionManager::taskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                     const NSURLAuthenticationChallengePtr& challenge,
                                                     ChallengeCompletion completion) {
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    NSURLCredentialPtr credential;
    if (auto block = copyBlock(taskDidReceiveAuthenticationChallenge_)) {
        disposition = block(session, task, challenge, &credential);
    } else if (challenge->protectionSpace()->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        disposition = policyAcceptsServerTrust(challenge, &credential)
                          ? NSURLSessionAuthChallengeUseCredential
                          : NSURLSessionAuthChallengeCancelAuthenticationChallenge;
    }
    if (completion) completion(disposition, credential);
}
