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
    return copyManager<NKHTTPSessionManager>();
}
