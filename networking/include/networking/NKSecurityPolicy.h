#pragma once
// Decides whether the server trust presented during a TLS challenge is accepted: pinning
// mode (none, public key, certificate), invalid certificates allowed or not, and whether the
// certificate must match the requested host. Pins the main bundle's certificates, read at
// each call.

#include <memory>

#include <networking/NKSecurityPolicyCore.h>
#include <platform_runtime/ObjCDeclare.h>

class NKSecurityPolicy : public NKSecurityPolicyCore {
    NS_CLASS(NKSecurityPolicy, NSObject)
    NS_PROTOCOLS("NSSecureCoding", "NSCopying")
    NS_AFFECTING_KEYS("pinnedPublicKeys", "pinnedCertificates")

public:
    using Ptr = std::shared_ptr<NKSecurityPolicy>;

    NKSecurityPolicy() = default;

    // No pinning, no pinned certificates, domain names validated.
    static Ptr defaultPolicy();
    // Pinning the certificates of the main bundle.
    static Ptr policyWithPinningMode(uint64_t pinningMode);
    static Ptr policyWithPinningMode(uint64_t pinningMode, NKPinnedCertificates pinnedCertificates);
    static bool supportsSecureCoding() { return true; }

    // A new policy of the same class with the same settings (keys derived again).
    virtual Ptr copy() const;

    NS_READONLY_PROPERTY(Value, pinnedCertificates, "R,N", pinnedCertificatesValue)
    NS_READONLY_PROPERTY(Value, pinnedPublicKeys, "R,N", pinnedPublicKeysValue)
};
