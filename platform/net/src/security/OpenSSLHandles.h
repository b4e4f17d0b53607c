#pragma once
// Owning handles for the OpenSSL objects the security code creates.

#include <memory>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

struct X509Free { void operator()(X509* x) const { X509_free(x); } };
struct X509StoreFree { void operator()(X509_STORE* s) const { X509_STORE_free(s); } };
struct X509StoreCtxFree { void operator()(X509_STORE_CTX* c) const { X509_STORE_CTX_free(c); } };
struct EVPKeyFree { void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); } };
struct X509StackFree { void operator()(STACK_OF(X509)* s) const { sk_X509_pop_free(s, X509_free); } };

using X509Ptr = std::unique_ptr<X509, X509Free>;
using X509StorePtr = std::unique_ptr<X509_STORE, X509StoreFree>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, X509StoreCtxFree>;
using EVPKeyPtr = std::unique_ptr<EVP_PKEY, EVPKeyFree>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackFree>;

// Parses exactly one DER certificate (trailing bytes are refused).
inline X509Ptr parseDER(const std::vector<uint8_t>& der) {
    if (der.empty()) return nullptr;
    const unsigned char* p = der.data();
    X509Ptr x(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (!x || p != der.data() + der.size()) return nullptr;
    return x;
}

inline std::vector<uint8_t> encodeDER(X509* x) {
    int n = i2d_X509(x, nullptr);
    if (n <= 0) return {};
    std::vector<uint8_t> out(static_cast<size_t>(n));
    unsigned char* p = out.data();
    i2d_X509(x, &p);
    return out;
}
