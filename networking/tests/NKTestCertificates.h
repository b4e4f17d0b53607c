#pragma once
// Certificates made at test time with OpenSSL: authorities, server certificates issued by
// them (optionally reusing a key) and self-signed ones, as DER.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace nktest {

using Key = std::shared_ptr<EVP_PKEY>;

struct Certificate {
    std::shared_ptr<X509> x509;
    Key key;

    std::vector<uint8_t> der() const {
        int n = i2d_X509(x509.get(), nullptr);
        std::vector<uint8_t> out(static_cast<size_t>(n));
        unsigned char* p = out.data();
        i2d_X509(x509.get(), &p);
        return out;
    }
};

inline Key makeKey() {
    EVP_PKEY* k = EVP_EC_gen("P-256");
    if (!k) throw std::runtime_error("key generation failed");
    return Key(k, EVP_PKEY_free);
}

inline void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) throw std::runtime_error("bad extension " + value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

// Issued by `issuer`, or self-signed without one. `altNames` e.g. "DNS:localhost,IP:127.0.0.1".
inline Certificate makeCertificate(const std::string& commonName, bool isCA, const std::string& altNames,
                                   const Certificate* issuer = nullptr, Key key = nullptr) {
    Certificate c;
    c.key = key ? key : makeKey();
    c.x509 = std::shared_ptr<X509>(X509_new(), X509_free);
    X509* x = c.x509.get();
    X509_set_version(x, 2);
    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(x));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(x), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x), 86400L * 30);
    X509_set_pubkey(x, c.key.get());
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                               -1, -1, 0);
    X509* signer = issuer ? issuer->x509.get() : x;
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    if (isCA) {
        addExtension(x, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(x, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(x, signer, NID_ext_key_usage, "serverAuth");
    }
    addExtension(x, signer, NID_subject_key_identifier, "hash");
    if (issuer) addExtension(x, signer, NID_authority_key_identifier, "keyid:always");
    if (!altNames.empty()) addExtension(x, signer, NID_subject_alt_name, altNames);
    if (X509_sign(x, issuer ? issuer->key.get() : c.key.get(), EVP_sha256()) <= 0) {
        throw std::runtime_error("signing failed");
    }
    return c;
}

inline Certificate makeCA(const std::string& commonName) { return makeCertificate(commonName, true, ""); }

// For 127.0.0.1 and localhost.
inline Certificate makeServer(const Certificate& ca, Key key = nullptr) {
    return makeCertificate("127.0.0.1", false, "DNS:localhost,IP:127.0.0.1", &ca, std::move(key));
}

inline Certificate makeSelfSigned() { return makeCertificate("127.0.0.1", false, "DNS:localhost,IP:127.0.0.1"); }

}  // namespace nktest
