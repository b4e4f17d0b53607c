#include "session/ServerTrustGate.h"

#include <platform_net/NSURLError.h>
#include <platform_net/SecTrust.h>

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>

namespace {
// A server that shows another chain on every connection is not asked about forever.
constexpr int kMaximumQuestions = 4;

// OpenSSL's whole-chain verification hook: hands the peer's chain to the gate.
int verifyPeerChain(X509_STORE_CTX* store, void* arg) {
    auto* gate = static_cast<ServerTrustGate*>(arg);
    ServerTrustGate::Chain ders;
    auto append = [&](X509* cert) {
        int len = i2d_X509(cert, nullptr);
        if (len <= 0) return;
        std::vector<uint8_t> der(static_cast<size_t>(len));
        unsigned char* p = der.data();
        i2d_X509(cert, &p);
        if (std::find(ders.begin(), ders.end(), der) == ders.end()) ders.push_back(std::move(der));
    };
    if (X509* leaf = X509_STORE_CTX_get0_cert(store)) append(leaf);
    if (STACK_OF(X509)* chain = X509_STORE_CTX_get0_untrusted(store)) {
        for (int i = 0; i < sk_X509_num(chain); ++i) append(sk_X509_value(chain, i));
    }
    return gate->decide(std::move(ders)) ? 1 : 0;
}

CURLcode sslContextCallback(CURL*, void* sslContext, void* gate) {
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), &verifyPeerChain, gate);
    return CURLE_OK;
}
}  // namespace

ServerTrustGate::ServerTrustGate(Ask ask, MakeError makeError) : ask_(std::move(ask)), makeError_(std::move(makeError)) {}

void ServerTrustGate::attach(CURL* easy, std::string host) {
    host_ = std::move(host);
    // Server trust is decided by the session (and its delegate), not by libcurl: the chain is
    // handed over from the handshake, and every new connection is asked about again.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    // The verification hook replaces the library's own chain check, so the CA bundle it would
    // read into every connection's context (the whole system bundle, decoded) is never used.
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &sslContextCallback);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
}

NSErrorPtr ServerTrustGate::untrusted(const std::shared_ptr<SecTrust>& trust, NSErrorPtr reason) const {
    Value::Dictionary extra;
    extra[Value(NSURLErrorFailingURLPeerTrustErrorKey)] = Value(trust);
    if (reason) extra[Value(NSUnderlyingErrorKey)] = Value(reason);
    extra[Value(NSLocalizedDescriptionKey)] =
        Value("The certificate for this server is invalid. You might be connecting to a server that is "
              "pretending to be \u201c" + host_ + "\u201d which could put your confidential information at risk.");
    return makeError_(NSURLErrorServerCertificateUntrusted, std::move(extra));
}

bool ServerTrustGate::decide(Chain chain) {
    if (!trustedChain_.empty() && chain == trustedChain_) {
        trustedChain_.clear();
        return true;
    }
    trustedChain_.clear();
    auto trust = SecTrustCreateForServer(chain, host_);
    if (!trust) return false;
    if (questions_ >= kMaximumQuestions) {
        refusal_ = untrusted(trust, nullptr);
        return false;
    }
    if (ask_(trust, chain)) {
        ++questions_;
        question_ = Question::Asked;
        return false;
    }
    NSErrorPtr reason;
    if (SecTrustEvaluateWithError(trust, &reason)) return true;
    refusal_ = untrusted(trust, reason);
    return false;
}

NSErrorPtr ServerTrustGate::answered(const std::shared_ptr<SecTrust>& trust, Chain chain,
                                     NSURLSessionAuthChallengeDisposition disposition, const NSURLCredentialPtr& credential) {
    if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) return makeError_(NSURLErrorCancelled, {});
    bool trusted = disposition == NSURLSessionAuthChallengeUseCredential && credential && credential->serverTrust();
    if (!trusted) {
        NSErrorPtr reason;
        if (!SecTrustEvaluateWithError(trust, &reason)) return untrusted(trust, reason);
    }
    trustedChain_ = std::move(chain);
    return nullptr;
}
