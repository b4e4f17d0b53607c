#pragma once
// The server's TLS identity, made in memory at each start: a P-256 CA and a
// leaf for "localhost" and 127.0.0.1 that it signed, both valid from an hour
// ago for a day. Clients trust the server by installing the CA's PEM.
//
// Made once on the starting thread; read-only afterwards.

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

struct CatalogueCertificates {
    struct X509Free {
        void operator()(X509* x) const { X509_free(x); }
    };
    struct KeyFree {
        void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    };

    std::unique_ptr<X509, X509Free> leaf;
    std::unique_ptr<EVP_PKEY, KeyFree> leafKey;
    std::string caPEM;

    // Nothing (and `*error`) when OpenSSL refuses a step.
    static std::unique_ptr<CatalogueCertificates> make(std::string* error);
};
