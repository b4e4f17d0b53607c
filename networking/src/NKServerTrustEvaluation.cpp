#include <networking/NKServerTrustEvaluation.h>

#include <platform_foundation/NSLog.h>

namespace {

// The key of one certificate as a one-certificate trust under a basic X.509 policy reports
// it; the evaluation's verdict does not matter (a self-signed certificate has a key too).
SecKeyRef publicKeyOfCertificate(const SecCertificateRef& certificate, const SecPolicyRef& policy) {
    if (!certificate) return nullptr;
    SecTrustRef trust;
    if (SecTrustCreateWithCertificates(std::vector<SecCertificateRef>{certificate}, policy, &trust) != errSecSuccess) {
        return nullptr;
    }
    SecTrustResultType result;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess) return nullptr;
    return SecTrustCopyPublicKey(trust);
}

void addUnique(std::vector<SecKeyRef>& keys, SecKeyRef key) {
    if (!key) return;
    for (const auto& k : keys) {
        if (SecKeyEqual(k, key)) return;
    }
    keys.push_back(std::move(key));
}

std::vector<NKCertificateData> evaluatedChainData(const SecTrustRef& trust) {
    std::vector<NKCertificateData> chain;
    const int64_t count = SecTrustGetCertificateCount(trust);
    for (int64_t i = 0; i < count; ++i) chain.push_back(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, i)));
    return chain;
}

}  // namespace

bool NKServerTrustIsValid(const SecTrustRef& serverTrust) {
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(serverTrust, &result) != errSecSuccess) return false;
    return result == kSecTrustResultProceed || result == kSecTrustResultUnspecified;
}

NKPinnedPublicKeys NKPublicKeysForCertificates(const NKPinnedCertificates& certificates) {
    if (!certificates) return std::nullopt;
    std::vector<SecKeyRef> keys;
    keys.reserve(certificates->size());
    const auto policy = SecPolicyCreateBasicX509();
    for (const auto& data : *certificates) addUnique(keys, publicKeyOfCertificate(SecCertificateCreateWithData(data), policy));
    return keys;
}

bool NKEvaluateServerTrust(const NKServerTrustSettings& s, const SecTrustRef& serverTrust,
                           const std::optional<std::string>& domain) {
    if (!serverTrust) return false;
    const bool noPins = !s.pinnedCertificates || s.pinnedCertificates->empty();
    if (domain && s.allowInvalidCertificates && s.validatesDomainName &&
        (s.SSLPinningMode == NKSSLPinningModeNone || noPins)) {
        NSLog("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }

    SecTrustSetPolicies(serverTrust, s.validatesDomainName ? SecPolicyCreateSSL(true, domain)
                                                           : SecPolicyCreateBasicX509());

    if (s.SSLPinningMode == NKSSLPinningModeNone) {
        return s.allowInvalidCertificates || NKServerTrustIsValid(serverTrust);
    }
    if (!s.allowInvalidCertificates && !NKServerTrustIsValid(serverTrust)) return false;

    switch (s.SSLPinningMode) {
        case NKSSLPinningModeCertificate: {
            std::vector<SecCertificateRef> anchors;
            if (s.pinnedCertificates) {
                for (const auto& data : *s.pinnedCertificates) {
                    // A pinned buffer that is not a certificate cannot anchor anything.
                    if (auto certificate = SecCertificateCreateWithData(data)) anchors.push_back(std::move(certificate));
                }
            }
            SecTrustSetAnchorCertificates(serverTrust, anchors);
            if (!NKServerTrustIsValid(serverTrust)) return false;
            const auto chain = evaluatedChainData(serverTrust);
            for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                if (s.pinnedCertificates && s.pinnedCertificates->count(*it)) return true;
            }
            return false;
        }
        case NKSSLPinningModePublicKey: {
            if (!s.pinnedPublicKeys) return false;
            // The chain as built from the leaf up (its verdict was dealt with above). A pinned
            // key counts only where every signature from the leaf up to its certificate
            // verifies: a certificate that merely names the pinned one as its issuer proves
            // nothing, even when untrusted chains are allowed.
            SecTrustResultType ignored;
            if (SecTrustEvaluate(serverTrust, &ignored) != errSecSuccess) return false;
            const auto chain = SecTrustCopyCertificateChain(serverTrust);
            for (std::size_t i = 0; i < chain.size(); ++i) {
                if (i > 0 && !SecCertificateIsSignedBy(chain[i - 1], chain[i])) return false;
                auto key = SecCertificateCopyKey(chain[i]);
                if (!key) continue;
                for (const auto& pinned : *s.pinnedPublicKeys) {
                    if (SecKeyEqual(key, pinned)) return true;
                }
            }
            return false;
        }
        default:
            return false;
    }
}
