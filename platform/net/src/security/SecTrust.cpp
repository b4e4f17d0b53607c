#include <platform_net/SecTrust.h>

#include <arpa/inet.h>
#include <cstdlib>
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

// How much of the system's roots a store carries.
//  - Indexed: the roots folder looked up by subject hash, one certificate read when a chain
//    asks for its issuer. Building it reads nothing, so a process whose servers chain to an
//    installed root never reads the system bundle (reading and decoding it costs more than
//    a process start).
//  - Whole: the bundle file and the folder, as the TLS library's defaults name them (their
//    environment variables included). Used only when the indexed store does not verify, so
//    every verdict is the whole store's.
enum class SystemRoots { Indexed, Whole };

void addSystemRoots(X509_STORE* store, SystemRoots roots) {
    if (roots == SystemRoots::Whole) {
        X509_STORE_set_default_paths(store);
        return;
    }
    const char* dir = std::getenv(X509_get_default_cert_dir_env());
    if (!dir) dir = X509_get_default_cert_dir();
    if (X509_LOOKUP* lookup = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir())) {
        X509_LOOKUP_add_dir(lookup, dir, X509_FILETYPE_PEM);
    }
}

// The system roots plus the installed ones, built again only when the installed roots
// change: building a store per handshake would cost more than the verification itself.
// A store may be shared by concurrent verifications; the caller gets a reference.
X509_STORE* defaultStore(SystemRoots roots) {
    struct Cached {
        X509_STORE* store = nullptr;
        uint64_t builtFor = 0;
    };
    static std::mutex m;
    static Cached cached[2];
    const uint64_t generation = installed_roots::generation();
    std::lock_guard lock(m);
    Cached& c = cached[roots == SystemRoots::Whole ? 1 : 0];
    if (!c.store || c.builtFor != generation) {
        X509_STORE* s = X509_STORE_new();
        if (!s) return nullptr;
        addSystemRoots(s, roots);
        installed_roots::addTo(s);
        if (c.store) X509_STORE_free(c.store);
        c.store = s;
        c.builtFor = generation;
    }
    return X509_STORE_up_ref(c.store) ? c.store : nullptr;
}

X509StorePtr storeFor(const SecTrust::State& s, SystemRoots roots) {
    if (!s.anchorsSet) return X509StorePtr(defaultStore(roots));
    X509StorePtr store(X509_STORE_new());
    if (!store) return store;
    if (!s.anchorsOnly) {
        addSystemRoots(store.get(), roots);
        installed_roots::addTo(store.get());
    }
    for (const auto& anchor : s.anchors) {
        X509Ptr x = parseDER(anchor->der());
        if (x) X509_STORE_add_cert(store.get(), x.get());
    }
    return store;
}

// One verification of the state's certificates against the store: the verdict, and the chain
// it built in s.chain.
OSStatus verify(SecTrust::State& s, X509_STORE* store, bool& ok, int& error) {
    s.chain.clear();
    X509StackPtr untrusted(sk_X509_new_null());
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!store || !untrusted || !ctx) return errSecAllocate;
    X509Ptr leaf = parseDER(s.certificates.front()->der());
    if (!leaf) return errSecInvalidCertificateRef;
    for (size_t i = 1; i < s.certificates.size(); ++i) {
        X509Ptr x = parseDER(s.certificates[i]->der());
        if (x && sk_X509_push(untrusted.get(), x.get())) x.release();
    }
    if (X509_STORE_CTX_init(ctx.get(), store, leaf.get(), untrusted.get()) != 1) return errSecAllocate;
    // A custom anchor is trusted as it is, also when it is not a self-signed root.
    if (s.anchorsSet) X509_STORE_CTX_set_flags(ctx.get(), X509_V_FLAG_PARTIAL_CHAIN);
    applyPolicies(ctx.get(), s.policies);

    ok = X509_verify_cert(ctx.get()) == 1;
    error = X509_STORE_CTX_get_error(ctx.get());
    X509StackPtr built(X509_STORE_CTX_get1_chain(ctx.get()));
    if (built) {
        for (int i = 0; i < sk_X509_num(built.get()); ++i) {
            auto der = encodeDER(sk_X509_value(built.get(), i));
            if (auto cert = SecCertificateCreateWithData(der)) s.chain.push_back(std::move(cert));
        }
    }
    return errSecSuccess;
}

OSStatus evaluateLocked(SecTrust::State& s) {
    invalidate(s);
    if (s.certificates.empty()) return errSecParam;
    s.evaluated = true;

    const bool systemRootsCount = !s.anchorsSet || !s.anchorsOnly;
    bool ok = false;
    int error = X509_V_OK;
    X509StorePtr store = storeFor(s, SystemRoots::Indexed);
    OSStatus status = verify(s, store.get(), ok, error);
    if (status == errSecSuccess && !ok && systemRootsCount) {
        store = storeFor(s, SystemRoots::Whole);
        status = verify(s, store.get(), ok, error);
    }
    if (status != errSecSuccess) return status;
    if (s.chain.empty()) s.chain = s.certificates;
    if (ok) {
        s.result = kSecTrustResultUnspecified;
    } else {
        classifyFailure(s, error);
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
