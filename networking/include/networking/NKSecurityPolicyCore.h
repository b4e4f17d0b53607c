#pragma once
// The state and behaviour every security policy class shares, whatever its prefix: the
// settings, the deriving certificate setter, trust evaluation, keyed coding and copying.
// Not a runtime class of its own: each named policy class derives from it and registers
// itself, so the runtime sees only the named classes. Reads and writes are not locked;
// configure a policy before handing it to a manager.

#include <memory>
#include <optional>
#include <set>
#include <string>

#include <networking/NKServerTrustEvaluation.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSCoding.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/NSObject.h>

class NKSecurityPolicyCore : public NSObject, public NSCoding {
public:
    // The bytes of every "cer" resource at the top of the bundle.
    static std::set<NKCertificateData> certificatesInBundle(const NSBundle& bundle);
    // The "cer" resources of the main bundle (none without one).
    static std::set<NKCertificateData> mainBundleCertificates();

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

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // The two sets as values (Null when absent), for key-value coding and observing.
    Value pinnedCertificatesValue() const;
    Value pinnedPublicKeysValue() const;

protected:
    NKSecurityPolicyCore() = default;

    // A new policy of P with the mode set, then the certificates (keys derived).
    template <class P>
    static std::shared_ptr<P> makePolicy(uint64_t pinningMode, NKPinnedCertificates certificates) {
        auto policy = std::make_shared<P>();
        policy->setSSLPinningMode(pinningMode);
        policy->setPinnedCertificates(std::move(certificates));
        return policy;
    }
    // A new instance of this object's runtime class (or of P) with the same settings.
    template <class P>
    std::shared_ptr<P> copyAs() const {
        auto other = std::dynamic_pointer_cast<P>(objcClass().createInstance());
        if (!other) other = std::make_shared<P>();
        copySettingsInto(*other);
        return other;
    }

private:
    void copySettingsInto(NKSecurityPolicyCore& other) const;

    NKServerTrustSettings settings_;
};

// "NKSSLPinningModeNone", "NKSSLPinningModePublicKey", "NKSSLPinningModeCertificate", else
// "Unknown Pinning Mode".
std::string NKSSLPinningModeName(uint64_t mode);

// Raises NSException "Invalid Security Policy" when a pinning policy is to be applied to a
// manager whose base URL is absent or not "https"; a manager calls it before storing a policy.
void NKValidateSecurityPolicyForBaseURL(const NKSecurityPolicyCore& policy, const NSURLPtr& baseURL);
