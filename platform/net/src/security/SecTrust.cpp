#include <platform_net/SecTrust.h>

#include <arpa/inet.h>
#include <mutex>

#include <openssl/x509v3.h>

#include "security/InstalledRoots.h"
#include "security/OpenSSLHandles.h"

SecTrust::SecTrust(std::vector<SecCertificateRef> certificates, std::vector<SecPolicyRef> policies) {
    state.certificates = std::move(certificates);
    state.policies = std::move(policies);
}

namespace {

bool isIPLiteral(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

void invalidate(SecTrust::State& s) {
    s.evaluated = false;
    s.chain.clear();
    s.result = kSecTrustResultInvalid;
    s.failure = errSecSuccess;
    s.failureText.clear();
}

// Applies the policies to the verification: TLS purpose and the expected host name.
void applyPolicies(X509_STORE_CTX* ctx, const std::vector<SecPolicyRef>& policies) {
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx);
    for (const auto& policy : policies) {
        if (!policy || policy->kind() != SecPolicy::Kind::SSL) continue;
        X509_STORE_CTX_set_purpose(ctx, policy->server() ? X509_PURPOSE_SSL_SERVER : X509_PURPOSE_SSL_CLIENT);
        if (!policy->hostname()) continue;
        std::string host = *policy->hostname();
        if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
        if (isIPLiteral(host)) {
            X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
        } else {
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
        }
    }
}

void classifyFailure(SecTrust::State& s, int error) {
    s.failureText = X509_verify_cert_error_string(error);
    s.result = kSecTrustResultRecoverableTrustFailure;
    switch (error) {
        case X509_V_ERR_CERT_HAS_EXPIRED: s.failure = errSecCertificateExpired; break;
        case X509_V_ERR_CERT_NOT_YET_VALID: s.failure = errSecCertificateNotValidYet; break;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH: s.failure = errSecHostNameMismatch; break;
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        case X509_V_ERR_CERT_REVOKED:
            s.failure = errSecNotTrusted;
            s.result = kSecTrustResultFatalTrustFailure;
            break;
        default: s.failure = errSecNotTrusted; break;
    }
}

// The system roots plus the installed ones, built again only when the installed roots
// change: reading the bundle on every handshake would cost more than the verification
// itself. A store may be shared by concurrent verifications; the caller gets a reference.
X509_STORE* defaultStore() {
    static std::mutex m;
    static X509_STORE* store = nullptr;
    static uint64_t builtFor = 0;
    const uint64_t generation = installed_roots::generation();
    std::lock_guard lock(m);
    if (!store || builtFor != generation) {
        X509_STORE* s = X509_STORE_new();
        if (!s) return nullptr;
        X509_STORE_set_default_paths(s);
        installed_roots::addTo(s);
        if (store) X509_STORE_free(store);
        store = s;
        builtFor = generation;
    }
    return X509_STORE_up_ref(store) ? store : nullptr;
}

OSStatus evaluateLocked(SecTrust::State& s) {
    invalidate(s);
    if (s.certificates.empty()) return errSecParam;
    s.evaluated = true;

    X509StorePtr store;
    if (s.anchorsSet) {
        store.reset(X509_STORE_new());
        if (store && !s.anchorsOnly) {
            X509_STORE_set_default_paths(store.get());
            installed_roots::addTo(store.get());
        }
        for (const auto& anchor : s.anchors) {
            X509Ptr x = parseDER(anchor->der());
            if (x && store) X509_STORE_add_cert(store.get(), x.get());
        }
    } else {
        store.reset(defaultStore());
    }
    X509StackPtr untrusted(sk_X509_new_null());
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!store || !untrusted || !ctx) return errSecAllocate;
    X509Ptr leaf = parseDER(s.certificates.front()->der());
    if (!leaf) return errSecInvalidCertificateRef;
    for (size_t i = 1; i < s.certificates.size(); ++i) {
        X509Ptr x = parseDER(s.certificates[i]->der());
        if (x && sk_X509_push(untrusted.get(), x.get())) x.release();
    }
    if (X509_STORE_CTX_init(ctx.get(), store.get(), leaf.get(), untrusted.get()) != 1) return errSecAllocate;
    // A custom anchor is trusted as it is, also when it is not a self-signed root.
    if (s.anchorsSet) X509_STORE_CTX_set_flags(ctx.get(), X509_V_FLAG_PARTIAL_CHAIN);
    applyPolicies(ctx.get(), s.policies);

    bool ok = X509_verify_cert(ctx.get()) == 1;
    X509StackPtr built(X509_STORE_CTX_get1_chain(ctx.get()));
    if (built) {
        for (int i = 0; i < sk_X509_num(built.get()); ++i) {
            auto der = encodeDER(sk_X509_value(built.get(), i));
            if (auto cert = SecCertificateCreateWithData(der)) s.chain.push_back(std::move(cert));
        }
    }
    if (s.chain.empty()) s.chain = s.certificates;
    if (ok) {
        s.result = kSecTrustResultUnspecified;
    } else {
        classifyFailure(s, X509_STORE_CTX_get_error(ctx.get()));
    }
    return errSecSuccess;
}

const std::vector<SecCertificateRef>& visibleChain(const SecTrust::State& s) {
    return s.evaluated ? s.chain : s.certificates;
}

}  // namespace

OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates,
                                        const std::vector<SecPolicyRef>& policies, SecTrustRef* trust) {
    if (!trust || certificates.empty()) return errSecParam;
    for (const auto& c : certificates) {
        if (!c) return errSecParam;
    }
    std::vector<SecPolicyRef> kept;
    for (const auto& p : policies) {
        if (p) kept.push_back(p);
    }
    if (kept.empty()) kept.push_back(SecPolicyCreateBasicX509());
    *trust = std::make_shared<SecTrust>(certificates, std::move(kept));
    return errSecSuccess;
}

OSStatus SecTrustCreateWithCertificates(const std::vector<SecCertificateRef>& certificates,
                                        const SecPolicyRef& policy, SecTrustRef* trust) {
    return SecTrustCreateWithCertificates(certificates, std::vector<SecPolicyRef>{policy}, trust);
}

SecTrustRef SecTrustCreateForServer(const std::vector<std::vector<uint8_t>>& derChain, const std::string& host) {
    std::vector<SecCertificateRef> certificates;
    for (const auto& der : derChain) {
        auto cert = SecCertificateCreateWithData(der);
        if (!cert) return nullptr;
        certificates.push_back(std::move(cert));
    }
    SecTrustRef trust;
    if (SecTrustCreateWithCertificates(certificates, SecPolicyCreateSSL(true, host), &trust) != errSecSuccess) {
        return nullptr;
    }
    return trust;
}

OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const std::vector<SecPolicyRef>& policies) {
    if (!trust) return errSecParam;
    std::vector<SecPolicyRef> kept;
    for (const auto& p : policies) {
        if (p) kept.push_back(p);
    }
    if (kept.empty()) return errSecParam;
    std::lock_guard lock(trust->mutex);
    trust->state.policies = std::move(kept);
    invalidate(trust->state);
    return errSecSuccess;
}

OSStatus SecTrustSetPolicies(const SecTrustRef& trust, const SecPolicyRef& policy) {
    return SecTrustSetPolicies(trust, std::vector<SecPolicyRef>{policy});
}

std::vector<SecPolicyRef> SecTrustCopyPolicies(const SecTrustRef& trust) {
    if (!trust) return {};
    std::lock_guard lock(trust->mutex);
    return trust->state.policies;
}

OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust, const std::vector<SecCertificateRef>& anchors) {
    if (!trust) return errSecParam;
    std::vector<SecCertificateRef> kept;
    for (const auto& a : anchors) {
        if (a) kept.push_back(a);
    }
    std::lock_guard lock(trust->mutex);
    trust->state.anchors = std::move(kept);
    trust->state.anchorsSet = true;
    trust->state.anchorsOnly = true;
    invalidate(trust->state);
    return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificatesOnly(const SecTrustRef& trust, bool anchorsOnly) {
    if (!trust) return errSecParam;
    std::lock_guard lock(trust->mutex);
    trust->state.anchorsOnly = anchorsOnly;
    invalidate(trust->state);
    return errSecSuccess;
}

OSStatus SecTrustEvaluate(const SecTrustRef& trust, SecTrustResultType* result) {
    if (!trust) return errSecParam;
    std::lock_guard lock(trust->mutex);
    OSStatus status = evaluateLocked(trust->state);
    if (result) *result = trust->state.result;
    return status;
}

bool SecTrustEvaluateWithError(const SecTrustRef& trust, NSErrorPtr* error) {
    OSStatus status = errSecParam;
    std::string text = "The trust could not be evaluated.";
    if (trust) {
        std::lock_guard lock(trust->mutex);
        status = evaluateLocked(trust->state);
        const auto& s = trust->state;
        if (status == errSecSuccess) {
            if (s.result == kSecTrustResultUnspecified || s.result == kSecTrustResultProceed) return true;
            status = s.failure;
            std::string subject = s.certificates.empty() ? "" : SecCertificateCopySubjectSummary(s.certificates[0]);
            text = "“" + subject + "” certificate is not trusted: " + s.failureText;
        }
    }
    if (error) {
        *error = NSError::errorWithDomain(NSOSStatusErrorDomain, status, {{NSLocalizedDescriptionKey, Value(text)}});
    }
    return false;
}

OSStatus SecTrustGetTrustResult(const SecTrustRef& trust, SecTrustResultType* result) {
    if (!trust || !result) return errSecParam;
    std::lock_guard lock(trust->mutex);
    *result = trust->state.result;
    return errSecSuccess;
}

int64_t SecTrustGetCertificateCount(const SecTrustRef& trust) {
    if (!trust) return 0;
    std::lock_guard lock(trust->mutex);
    return static_cast<int64_t>(visibleChain(trust->state).size());
}

SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, int64_t index) {
    if (!trust || index < 0) return nullptr;
    std::lock_guard lock(trust->mutex);
    const auto& chain = visibleChain(trust->state);
    if (static_cast<size_t>(index) >= chain.size()) return nullptr;
    return chain[static_cast<size_t>(index)];
}

std::vector<SecCertificateRef> SecTrustCopyCertificateChain(const SecTrustRef& trust) {
    if (!trust) return {};
    std::lock_guard lock(trust->mutex);
    return visibleChain(trust->state);
}

SecKeyRef SecTrustCopyPublicKey(const SecTrustRef& trust) {
    if (!trust) return nullptr;
    SecCertificateRef leaf;
    {
        std::lock_guard lock(trust->mutex);
        if (trust->state.certificates.empty()) return nullptr;
        leaf = trust->state.certificates.front();
    }
    return SecCertificateCopyKey(leaf);
}

SecKeyRef SecTrustCopyKey(const SecTrustRef& trust) { return SecTrustCopyPublicKey(trust); }
