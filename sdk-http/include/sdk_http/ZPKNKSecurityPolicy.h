#pragma once
// The monitoring kit's server-trust policy: the shared policy behaviour under its own class,
// pinning by default the certificates found once per process in the bundle that carries
// the kit (the application's bundle, since the kit is linked in).

#include <memory>
#include <set>

#include <networking/NKSecurityPolicyCore.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKNKSecurityPolicy : public NKSecurityPolicyCore {
    NS_CLASS(ZPKNKSecurityPolicy, NSObject)
    NS_PROTOCOLS("NSSecureCoding", "NSCopying")
    NS_AFFECTING_KEYS("pinnedPublicKeys", "pinnedCertificates")

public:
    using Ptr = std::shared_ptr<ZPKNKSecurityPolicy>;

    ZPKNKSecurityPolicy() = default;

    // Read on first use, then the same set for the life of the process.
    static const std::set<NKCertificateData>& defaultPinnedCertificates();
    // No pinning, no pinned certificates, domain names validated.
    static Ptr defaultPolicy();
    // Pinning defaultPinnedCertificates().
    static Ptr policyWithPinningMode(uint64_t pinningMode);
    static Ptr policyWithPinningMode(uint64_t pinningMode, NKPinnedCertificates pinnedCertificates);
    static bool supportsSecureCoding() { return true; }

    // A new policy of the same class with the same settings (keys derived again).
    virtual Ptr copy() const;

    NS_READONLY_PROPERTY(Value, pinnedCertificates, "R,N", pinnedCertificatesValue)
    NS_READONLY_PROPERTY(Value, pinnedPublicKeys, "R,N", pinnedPublicKeysValue)
};
