#include <networking/NKURLSessionManager.h>

#include <networking/NKJSONResponseSerializer.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLProtectionSpace.h>
#include <platform_runtime/NSException.h>

NKURLSessionManager::Ptr NKURLSessionManager::manager(NSURLSessionConfigurationPtr configuration) {
    return makeStarted<NKURLSessionManager>(std::move(configuration));
}

NKURLSessionManager::NKURLSessionManager(NSURLSessionConfigurationPtr configuration)
    : NKURLSessionManagerCore(std::move(configuration), NKJSONResponseSerializer::serializer(),
                              NKSecurityPolicy::defaultPolicy(), NKNetworkReachabilityManager::sharedManager()) {}

NKSecurityPolicy::Ptr NKURLSessionManager::securityPolicy() const {
    return std::static_pointer_cast<NKSecurityPolicy>(securityPolicyCore());
}

void NKURLSessionManager::setSecurityPolicy(NKSecurityPolicy::Ptr policy) { storeSecurityPolicy(std::move(policy)); }

NKNetworkReachabilityManager::Ptr NKURLSessionManager::reachabilityManager() const {
    return std::static_pointer_cast<NKNetworkReachabilityManager>(reachabilityManagerCore());
}

void NKURLSessionManager::setReachabilityManager(NKNetworkReachabilityManager::Ptr manager) {
    storeReachabilityManager(std::move(manager));
}

NKURLSessionManager::TaskDelegatePtr NKURLSessionManager::delegateForTask(const NSURLSessionTaskPtr& task) const {
    return std::static_pointer_cast<NKURLSessionManagerTaskDelegate>(delegateCoreForTask(task));
}

void NKURLSessionManager::setAuthenticationChallengeHandler(AuthenticationChallengeHandler handler) {
    storeBlock(authenticationChallengeHandler_, std::move(handler));
}

void NKURLSessionManager::setTaskDidFinishCollectingMetricsBlock(TaskDidFinishCollectingMetricsBlock block) {
    storeBlock(taskDidFinishCollectingMetrics_, std::move(block));
}

NKURLSessionManager::Ptr NKURLSessionManager::copy() {
    return makeStarted<NKURLSessionManager>(session()->configuration());
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

void NKURLSessionManager::didReceiveChallenge(const NSURLSessionPtr& session,
                                              const NSURLAuthenticationChallengePtr& challenge,
                                              ChallengeCompletion completion) {
    NSURLCredentialPtr credential;
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    if (auto block = sessionChallengeBlock()) {
        disposition = block(session, challenge, &credential);
    }
    if (completion) completion(disposition, credential);
}

void NKURLSessionManager::taskDidReceiveChallenge(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                  const NSURLAuthenticationChallengePtr& challenge,
                                                  ChallengeCompletion completion) {
    bool evaluateServerTrust = false;
    NSURLSessionAuthChallengeDisposition disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    NSURLCredentialPtr credential;
    const std::string& method = challenge->protectionSpace()->authenticationMethod();
    bool isServerTrust = method == NSURLAuthenticationMethodServerTrust;

    if (auto handler = copyBlock(authenticationChallengeHandler_)) {
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
        if (policyAcceptsServerTrust(challenge, &credential)) {
            disposition = NSURLSessionAuthChallengeUseCredential;
        } else {
            const SecTrustRef& trust = challenge->protectionSpace()->serverTrust();
            NSURLRequestPtr current = task->currentRequest();
            setChallengeErrorForTask(*task, serverTrustErrorForServerTrust(trust, current ? current->URL() : nullptr));
            disposition = NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        }
    }
    if (completion) completion(disposition, credential);
}

void NKURLSessionManager::taskDidFinishCollectingMetrics(const NSURLSessionPtr& session, const NSURLSessionTaskPtr& task,
                                                         const NSURLSessionTaskMetricsPtr& metrics) {
    if (auto delegate = delegateCoreForTask(task)) delegate->taskDidFinishCollectingMetrics(session, task, metrics);
    if (auto block = copyBlock(taskDidFinishCollectingMetrics_)) block(session, task, metrics);
}

