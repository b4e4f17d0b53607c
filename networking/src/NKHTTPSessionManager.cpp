#include <networking/NKHTTPSessionManager.h>

NKHTTPSessionManager::Ptr NKHTTPSessionManager::manager() { return makeStarted<NKHTTPSessionManager>(); }

NKHTTPSessionManager::Ptr NKHTTPSessionManager::managerWithBaseURL(const NSURLPtr& baseURL,
                                                                   NSURLSessionConfigurationPtr configuration) {
    return makeStarted<NKHTTPSessionManager>(baseURL, std::move(configuration));
}

void NKHTTPSessionManager::setSecurityPolicy(NKSecurityPolicy::Ptr policy) {
    if (policy) NKValidateSecurityPolicyForBaseURL(*policy, baseURL());
    NKURLSessionManager::setSecurityPolicy(std::move(policy));
}

NKURLSessionManager::Ptr NKHTTPSessionManager::copy() {
    auto other = makeStarted<NKHTTPSessionManager>(baseURL(), session()->configuration());
    if (auto serializer = requestSerializer()) other->setRequestSerializer(serializer->copy());
    if (auto serializer = HTTPResponseSerializer()) other->setResponseSerializer(serializer->copy());
    if (auto policy = securityPolicy()) other->setSecurityPolicy(policy->copy());
    return other;
}
