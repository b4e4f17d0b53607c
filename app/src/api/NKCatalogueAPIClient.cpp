#include <app/api/NKCatalogueAPIClient.h>

#include <platform_dispatch/DispatchOnce.h>

NKCatalogueAPIClient::Ptr NKCatalogueAPIClient::sharedClient(const std::string& URLString) {
    static Ptr shared;
    static dispatch_once_t once = 0;
    dispatch_once(&once, [&] {
        auto client = makeStarted<NKCatalogueAPIClient>(NSURL::URLWithString(URLString));
        // Real trust evaluation: a server the device cannot verify for the requested host is
        // refused (-1202) instead of being read as if it were the catalogue.
        auto policy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeNone);
        policy->setAllowInvalidCertificates(false);
        policy->setValidatesDomainName(true);
        client->setSecurityPolicy(policy);
        shared = client;
    });
    return shared;
}
