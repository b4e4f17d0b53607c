#pragma once
// A peer's certificate chain with the policies and anchors it is evaluated against.
//
// By default a trust chains to the system's trusted roots (OpenSSL's default store);
// SecTrustSetAnchorCertificates replaces them with the given certificates, and
// SecTrustSetAnchorCertificatesOnly(false) adds the system roots back beside them.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <platform_net/SecBase.h>
#include <platform_net/SecCertificate.h>
#include <platform_net/SecKey.h>
#include <platform_net/SecPolicy.h>
#include <platform_runtime/NSError.h>

enum SecTrustResultType : uint32_t {
    kSecTrustResultInvalid = 0,
    kSecTrustResultProceed = 1,
    kSecTrustResultConfirm = 2,
    kSecTrustResultDeny = 3,
    kSecTrustResultUnspecified = 4,
    kSecTrustResultRecoverableTrustFailure = 5,
    kSecTrustResultFatalTrustFailure = 6,
    kSecTrustResultOtherError = 7,
};

class SecTrust;
using SecTrustRef = std::shared_ptr<SecTrust>;

class SecTrust : public NSObject {
    NS_CLASS(SecTrust, NSObject)
public:
    SecTrust(std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies);

    std::string className() const override { return "SecTrust"; }

    // State guarded by one lock so a trust may be inspected from any thread.
    struct State {
        std::vector<SecCertificateRef> certificates;  // leaf first, as the peer sent them
        std::vector<SecPolicyRef> policies;
        std::vector<SecCertificateRef> anchors;
        bool anchorsSet = false;
        bool anchorsOnly = true;
        // After an evaluation: the chain that was built (leaf to anchor) and its outcome.
        bool evaluated = false;
        std::vector<SecCertificateRef> chain;
        SecTrustResultType result = kSecTrustResultInvalid;
        OSStatus failure = errSecSuccess;  // why the last evaluation failed
        std::string failureText;
    };

    mutable std::mutex mutex;
    State state;
};

// certificates: leaf first, then any intermediates. policies: at least one is usual; none
// means basic X.509. errSecParam (and *trust untouched) for an empty or null certificate list.
OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates,
                                        const std::vector<SecPolicyRef>& policies, SecTrustRef* trust);
OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates,
                                        const SecPolicyRef& policy, SecTrustRef* trust);
// The trust a TLS client builds for a server: the peer's DER chain (leaf first) and an SSL
// server policy for host (checked when not empty). nullptr when a certificate does not parse
// or the chain is empty.
SecTrustRef SecTrustCreateForServer(const std::vector<std::vector<uint8_t>>& derChain, const std::string& host);

OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const std::vector<SecPolicyRef>& policies);
OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const SecPolicyRef& policy);
std::vector<SecPolicyRef> SecTrustCopyPolicies(const SecTrustRef& trust);
// The only roots the trust chains to (unless anchors-only is then turned off).
OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust, const std::vector<SecCertificateRef>& anchors);
// false: the system roots count as anchors beside the custom ones.
OSStatus SecTrustSetAnchorCertificatesOnly(const SecTrustRef& trust, bool anchorsOnly);

// Builds and verifies the chain. The status is about the call (errSecParam for nullptr);
// the verdict is in *result: Unspecified when trusted, RecoverableTrustFailure when the chain
// is untrusted, expired or for another host.
OSStatus SecTrustEvaluate(const SecTrustRef& trust, SecTrustResultType* result);
// true when trusted; else *error (when given) in NSOSStatusErrorDomain with the reason's code
// (errSecNotTrusted, errSecCertificateExpired, errSecHostNameMismatch...).
bool SecTrustEvaluateWithError(const SecTrustRef& trust, NSErrorPtr* error);
// The last evaluation's result (kSecTrustResultInvalid before any).
OSStatus SecTrustGetTrustResult(const SecTrustRef& trust, SecTrustResultType* result);

// After an evaluation these see the built chain (leaf to anchor), before it the given
// certificates.
int64_t SecTrustGetCertificateCount(const SecTrustRef& trust);
SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, int64_t index);
std::vector<SecCertificateRef> SecTrustCopyCertificateChain(const SecTrustRef& trust);
// The leaf certificate's public key.
SecKeyRef SecTrustCopyPublicKey(const SecTrustRef& trust);
SecKeyRef SecTrustCopyKey(const SecTrustRef& trust);
