#include <sdk_http/ZPKNKSecurityPolicy.h>

const std::set<NKCertificateData>& ZPKNKSecurityPolicy::defaultPinnedCertificates() {
    static const std::set<NKCertificateData> certificates = mainBundleCertificates();
    return certificates;
}

ZPKNKSecurityPolicy::Ptr ZPKNKSecurityPolicy::defaultPolicy() {
    return makePolicy<ZPKNKSecurityPolicy>(NKSSLPinningModeNone, std::nullopt);
}

ZPKNKSecurityPolicy::Ptr ZPKNKSecurityPolicy::policyWithPinningMode(uint64_t pinningMode) {
    return policyWithPinningMode(pinningMode, defaultPinnedCertificates());
}

ZPKNKSecurityPolicy::Ptr ZPKNKSecurityPolicy::policyWithPinningMode(uint64_t pinningMode,
                                                                    NKPinnedCertificates pinnedCertificates) {
    return makePolicy<ZPKNKSecurityPolicy>(pinningMode, std::move(pinnedCertificates));
}

ZPKNKSecurityPolicy::Ptr ZPKNKSecurityPolicy::copy() const { return copyAs<ZPKNKSecurityPolicy>(); }
