#pragma once
// The behaviour behind the security policies, free of any class: whether a server trust is
// valid, the public keys of pinned certificates, and the decision on a server trust under a
// pinning mode, the invalid-certificate switch and the domain-name switch.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <platform_net/SecTrust.h>

enum NKSSLPinningMode : uint64_t {
    NKSSLPinningModeNone = 0,
    NKSSLPinningModePublicKey = 1,
    NKSSLPinningModeCertificate = 2,
};

using NKCertificateData = std::vector<uint8_t>;
using NKPinnedCertificates = std::optional<std::set<NKCertificateData>>;
using NKPinnedPublicKeys = std::optional<std::vector<SecKeyRef>>;

struct NKServerTrustSettings {
    uint64_t SSLPinningMode = NKSSLPinningModeNone;
    bool allowInvalidCertificates = false;
    bool validatesDomainName = true;
    NKPinnedCertificates pinnedCertificates;
    NKPinnedPublicKeys pinnedPublicKeys;
};

// Evaluates the trust: valid exactly when the result is proceed or unspecified.
bool NKServerTrustIsValid(const SecTrustRef& serverTrust);
// The public key of each buffer that parses as a certificate (duplicates by value kept once).
// None for none; an empty set gives an empty list.
NKPinnedPublicKeys NKPublicKeysForCertificates(const NKPinnedCertificates& certificates);
// Accept (true) or refuse the server trust presented for the domain (none: no host).
// The trust's policies are replaced, and in certificate mode its anchors too.
bool NKEvaluateServerTrust(const NKServerTrustSettings& settings, const SecTrustRef& serverTrust,
                           const std::optional<std::string>& domain);
