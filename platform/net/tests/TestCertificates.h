#pragma once
// Test-time certificate authorities, server and self-signed certificates made with OpenSSL,
// as DER for the trust API and as PEM files for TLS servers.

#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace testcerts {

using Key = std::shared_ptr<EVP_PKEY>;

// A fresh P-256 key (fast to make, accepted by TLS servers).
inline Key makeKey() {
    EVP_PKEY* k = EVP_EC_gen("P-256");
    if (!k) throw std::runtime_error("key generation failed");
    return Key(k, EVP_PKEY_free);
}

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
    std::string pem() const {
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(bio, x509.get());
        return drain(bio);
    }
    std::string keyPem() const {
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
        return drain(bio);
    }
    // Writes <dir>/<name>.pem (certificate) and <dir>/<name>.key; returns the two paths.
    std::pair<std::string, std::string> writePEM(const std::string& dir, const std::string& name) const {
        std::string cert = dir + "/" + name + ".pem", keyPath = dir + "/" + name + ".key";
        std::ofstream(cert, std::ios::binary) << pem();
        std::ofstream(keyPath, std::ios::binary) << keyPem();
        return {cert, keyPath};
    }

private:
    static std::string drain(BIO* bio) {
        char* data = nullptr;
        long n = BIO_get_mem_data(bio, &data);
        std::string s(data, static_cast<size_t>(n));
        BIO_free(bio);
        return s;
    }
};

struct Options {
    std::string commonName = "Test";
    // subjectAltName text, e.g. "DNS:localhost,IP:127.0.0.1"; empty for none.
    std::string subjectAltName;
    bool isCA = false;
    // Validity relative to now, in seconds.
    long notBefore = -3600;
    long notAfter = 86400L * 30;
    Key key;  // made fresh when empty
};

namespace detail {
inline void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) throw std::runtime_error("bad extension " + value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}
}  // namespace detail

// Issued by issuer, or self-signed when issuer is nullptr.
inline Certificate makeCertificate(Options o, const Certificate* issuer = nullptr) {
    Certificate c;
    c.key = o.key ? o.key : makeKey();
    c.x509 = std::shared_ptr<X509>(X509_new(), X509_free);
    X509* x = c.x509.get();
    X509_set_version(x, 2);
    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(x));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(x), o.notBefore);
    X509_gmtime_adj(X509_getm_notAfter(x), o.notAfter);
    X509_set_pubkey(x, c.key.get());
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Test Org"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(o.commonName.c_str()), -1, -1, 0);
    X509* signer = issuer ? issuer->x509.get() : x;
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    if (o.isCA) {
        detail::addExtension(x, signer, NID_basic_constraints, "critical,CA:TRUE");
        detail::addExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        detail::addExtension(x, signer, NID_basic_constraints, "critical,CA:FALSE");
        detail::addExtension(x, signer, NID_ext_key_usage, "serverAuth,clientAuth");
    }
    detail::addExtension(x, signer, NID_subject_key_identifier, "hash");
    if (issuer) detail::addExtension(x, signer, NID_authority_key_identifier, "keyid:always");
    if (!o.subjectAltName.empty()) detail::addExtension(x, signer, NID_subject_alt_name, o.subjectAltName);
    EVP_PKEY* signingKey = issuer ? issuer->key.get() : c.key.get();
    if (X509_sign(x, signingKey, EVP_sha256()) <= 0) throw std::runtime_error("signing failed");
    return c;
}

inline Certificate makeCA(const std::string& commonName) {
    Options o;
    o.commonName = commonName;
    o.isCA = true;
    o.notAfter = 86400L * 365;
    return makeCertificate(o);
}

// A server certificate for 127.0.0.1 and localhost issued by ca.
inline Certificate makeServer(const Certificate& ca, const std::string& commonName = "127.0.0.1",
                              const std::string& subjectAltName = "DNS:localhost,IP:127.0.0.1", Key key = nullptr) {
    Options o;
    o.commonName = commonName;
    o.subjectAltName = subjectAltName;
    o.key = std::move(key);
    return makeCertificate(o, &ca);
}

// A self-signed server certificate for 127.0.0.1 and localhost.
inline Certificate makeSelfSigned(const std::string& commonName = "127.0.0.1",
                                  const std::string& subjectAltName = "DNS:localhost,IP:127.0.0.1") {
    Options o;
    o.commonName = commonName;
    o.subjectAltName = subjectAltName;
    return makeCertificate(o);
}

}  // namespace testcerts
