#include <networking/NKSecurityPolicy.h>

NKSecurityPolicy::Ptr NKSecurityPolicy::defaultPolicy() {
    return makePolicy<NKSecurityPolicy>(NKSSLPinningModeNone, std::nullopt);
}

NKSecurityPolicy::Ptr NKSecurityPolicy::policyWithPinningMode(uint64_t pinningMode) {
    return policyWithPinningMode(pinningMode, mainBundleCertificates());
}

NKSecurityPolicy::Ptr NKSecurityPolicy::policyWithPinningMode(uint64_t pinningMode,
                                                              NKPinnedCertificates pinnedCertificates) {
    return makePolicy<NKSecurityPolicy>(pinningMode, std::move(pinnedCertificates));
}

NKSecurityPolicy::Ptr NKSecurityPolicy::copy() const { return copyAs<NKSecurityPolicy>(); }
