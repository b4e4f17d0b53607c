#pragma once
// Decides whether the server trust presented during a TLS challenge is accepted: pinning
// mode (none, public key, certificate), invalid certificates allowed or not, and whether the
// certificate must match the requested host.

#include <memory>
#include <optional>
#include <string>

#include <networking/NKServerTrustEvaluation.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSCoding.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/ObjCDeclare.h>

class NKSecurityPolicy : public NSObject, public NSCoding {
    NS_CLASS(NKSecurityPolicy, NSObject)
    NS_PROTOCOLS("NSSecureCoding", "NSCopying")
    NS_AFFECTING_KEYS("pinnedPublicKeys", "pinnedCertificates")

public:
    using Ptr = std::shared_ptr<NKSecurityPolicy>;

    NKSecurityPolicy() = default;

    // The bytes of every "cer" resource at the top of the bundle.
    static std::set<NKCertificateData> certificatesInBundle(const NSBundle& bundle);
    // No pinning, no pinned certificates, domain names validated.
    static Ptr defaultPolicy();
    // Pinning the certificates of the main bundle.
    static Ptr policyWithPinningMode(uint64_t pinningMode);
    static Ptr policyWithPinningMode(uint64_t pinningMode, NKPinnedCertificates pinnedCertificates);
    static bool supportsSecureCoding() { return true; }

    bool allowInvalidCertificates() const { return settings_.allowInvalidCertificates; }
    void setAllowInvalidCertificates(bool allow) { settings_.allowInvalidCertificates = allow; }
    bool validatesDomainName() const { return settings_.validatesDomainName; }
    void setValidatesDomainName(bool validates) { settings_.validatesDomainName = validates; }
    uint64_t SSLPinningMode() const { return settings_.SSLPinningMode; }
    void setSSLPinningMode(uint64_t mode) { settings_.SSLPinningMode = mode; }
    const NKPinnedCertificates& pinnedCertificates() const { return settings_.pinnedCertificates; }
    // Stores the set and derives the public keys from it.
    void setPinnedCertificates(NKPinnedCertificates certificates);
    const NKPinnedPublicKeys& pinnedPublicKeys() const { return settings_.pinnedPublicKeys; }

    // true accepts the server. The trust's policies (and, in certificate mode, its anchors)
    // are replaced.
    bool evaluateServerTrust(const SecTrustRef& serverTrust, const std::optional<std::string>& domain) const;

    // A new policy of the same class with the same settings (keys derived again).
    virtual Ptr copy() const;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // The two sets as values (Null when absent), for key-value coding and observing.
    Value pinnedCertificatesValue() const;
    Value pinnedPublicKeysValue() const;
    NS_READONLY_PROPERTY(Value, pinnedCertificates, "R,N", pinnedCertificatesValue)
    NS_READONLY_PROPERTY(Value, pinnedPublicKeys, "R,N", pinnedPublicKeysValue)

private:
    NKServerTrustSettings settings_;
};

// "NKSSLPinningModeNone", "NKSSLPinningModePublicKey", "NKSSLPinningModeCertificate", else
// "Unknown Pinning Mode".
std::string NKSSLPinningModeName(uint64_t mode);

// Raises NSException "Invalid Security Policy" when a pinning policy is to be applied to a
// manager whose base URL is absent or not "https"; a manager calls it before storing a policy.
void NKValidateSecurityPolicyForBaseURL(const NKSecurityPolicy& policy, const NSURLPtr& baseURL);
