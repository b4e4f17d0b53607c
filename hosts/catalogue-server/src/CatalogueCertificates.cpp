#include "CatalogueCertificates.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

namespace {

constexpr long kNotBefore = -3600;   // an hour ago: clocks that differ a little still agree
constexpr long kNotAfter = 86400;    // a day: a server runs for a session, not for months

using X509Ptr = std::unique_ptr<X509, CatalogueCertificates::X509Free>;
using KeyPtr = std::unique_ptr<EVP_PKEY, CatalogueCertificates::KeyFree>;

bool addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

X509Ptr makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, bool isCA) {
    X509Ptr cert(X509_new());
    X509* x = cert.get();
    if (!x || X509_set_version(x, 2) != 1) return nullptr;
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    bool serialSet = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(x));
    BN_free(bn);
    if (!serialSet) return nullptr;
    if (!X509_gmtime_adj(X509_getm_notBefore(x), kNotBefore) || !X509_gmtime_adj(X509_getm_notAfter(x), kNotAfter))
        return nullptr;
    if (X509_set_pubkey(x, key) != 1) return nullptr;
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Firmware Browser loopback catalogue"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName), -1,
                               -1, 0);
    X509* signer = issuer ? issuer : x;
    if (X509_set_issuer_name(x, X509_get_subject_name(signer)) != 1) return nullptr;
    bool ok = true;
    if (isCA) {
        ok = addExtension(x, signer, NID_basic_constraints, "critical,CA:TRUE,pathlen:0") &&
             addExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = addExtension(x, signer, NID_basic_constraints, "critical,CA:FALSE") &&
             addExtension(x, signer, NID_key_usage, "critical,digitalSignature") &&
             addExtension(x, signer, NID_ext_key_usage, "serverAuth") &&
             addExtension(x, signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    }
    ok = ok && addExtension(x, signer, NID_subject_key_identifier, "hash");
    if (issuer) ok = ok && addExtension(x, signer, NID_authority_key_identifier, "keyid:always");
    if (!ok) return nullptr;
    if (X509_sign(x, issuerKey ? issuerKey : key, EVP_sha256()) <= 0) return nullptr;
    return cert;
}

std::string pemOf(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (!bio) return {};
    std::string out;
    if (PEM_write_bio_X509(bio, cert) == 1) {
        char* data = nullptr;
        long n = BIO_get_mem_data(bio, &data);
        out.assign(data, static_cast<std::size_t>(n));
    }
    BIO_free(bio);
    return out;
}

}  // namespace

std::unique_ptr<CatalogueCertificates> CatalogueCertificates::make(std::string* error) {
    auto fail = [&](const char* what) {
        if (error) *error = std::string("cannot make the server's certificate: ") + what;
        return nullptr;
    };
    KeyPtr caKey(EVP_EC_gen("P-256"));
    KeyPtr leafKey(EVP_EC_gen("P-256"));
    if (!caKey || !leafKey) return fail("key generation failed");
    X509Ptr ca = makeCertificate(caKey.get(), "Firmware Browser loopback CA", nullptr, nullptr, true);
    if (!ca) return fail("CA certificate");
    X509Ptr leaf = makeCertificate(leafKey.get(), "localhost", ca.get(), caKey.get(), false);
    if (!leaf) return fail("server certificate");
    auto out = std::make_unique<CatalogueCertificates>();
    out->caPEM = pemOf(ca.get());
    if (out->caPEM.empty()) return fail("PEM encoding");
    out->leaf = std::move(leaf);
    out->leafKey = std::move(leafKey);
    return out;
}
