#include <platform_net/SecCertificate.h>

#include <functional>
#include <string_view>

#include <openssl/x509.h>

#include "security/OpenSSLHandles.h"

SecCertificate::SecCertificate(std::vector<uint8_t> der) : der_(std::move(der)) {}

std::string SecCertificate::description() const {
    auto self = std::const_pointer_cast<SecCertificate>(
        std::static_pointer_cast<const SecCertificate>(shared_from_this()));
    return "<SecCertificate: " + SecCertificateCopySubjectSummary(self) + ">";
}

bool SecCertificate::isEqual(const NSObject& other) const {
    auto* cert = dynamic_cast<const SecCertificate*>(&other);
    return cert && cert->der_ == der_;
}

std::size_t SecCertificate::hash() const {
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(der_.data()), der_.size()));
}

SecCertificateRef SecCertificateCreateWithData(const std::vector<uint8_t>& der) {
    if (!parseDER(der)) return nullptr;
    return std::make_shared<SecCertificate>(der);
}

std::vector<uint8_t> SecCertificateCopyData(const SecCertificateRef& certificate) {
    return certificate ? certificate->der() : std::vector<uint8_t>{};
}

std::string SecCertificateCopySubjectSummary(const SecCertificateRef& certificate) {
    if (!certificate) return {};
    X509Ptr x = parseDER(certificate->der());
    if (!x) return {};
    X509_NAME* name = X509_get_subject_name(x.get());
    int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0 && X509_NAME_entry_count(name) > 0) index = 0;
    if (index < 0) return {};
    ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* utf8 = nullptr;
    int n = ASN1_STRING_to_UTF8(&utf8, data);
    if (n < 0) return {};
    std::string summary(reinterpret_cast<char*>(utf8), static_cast<size_t>(n));
    OPENSSL_free(utf8);
    return summary;
}

SecKeyRef SecCertificateCopyKey(const SecCertificateRef& certificate) {
    if (!certificate) return nullptr;
    X509Ptr x = parseDER(certificate->der());
    if (!x) return nullptr;
    // Re-encoded from the parsed key, so equal keys compare equal whatever the
    // certificate's own encoding of them.
    EVP_PKEY* pub = X509_get0_pubkey(x.get());
    if (!pub) return nullptr;
    unsigned char* out = nullptr;
    int n = i2d_PUBKEY(pub, &out);
    if (n <= 0) return nullptr;
    std::vector<uint8_t> spki(out, out + n);
    OPENSSL_free(out);
    return std::make_shared<SecKey>(std::move(spki));
}

bool SecCertificateIsSignedBy(const SecCertificateRef& certificate, const SecCertificateRef& issuer) {
    if (!certificate || !issuer) return false;
    X509Ptr subject = parseDER(certificate->der());
    X509Ptr signer = parseDER(issuer->der());
    if (!subject || !signer) return false;
    EVP_PKEY* key = X509_get0_pubkey(signer.get());
    return key && X509_verify(subject.get(), key) == 1;
}
