#pragma once
// An X.509 certificate held by its DER encoding; equality is byte equality.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_net/SecKey.h>
#include <platform_runtime/ObjCDeclare.h>

class SecCertificate;
using SecCertificateRef = std::shared_ptr<SecCertificate>;

class SecCertificate : public NSObject {
    NS_CLASS(SecCertificate, NSObject)
public:
    // Use SecCertificateCreateWithData: it checks that der parses.
    explicit SecCertificate(std::vector<uint8_t> der);

    const std::vector<uint8_t>& der() const { return der_; }

    std::string className() const override { return "SecCertificate"; }
    std::string description() const override;
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    std::vector<uint8_t> der_;
};

// A certificate from one DER encoding; nullptr when the bytes are not exactly one certificate.
SecCertificateRef SecCertificateCreateWithData(const std::vector<uint8_t>& der);
// The DER encoding; empty for nullptr.
std::vector<uint8_t> SecCertificateCopyData(const SecCertificateRef& certificate);
// A short human-readable name: the subject's common name, else its first other entry.
std::string SecCertificateCopySubjectSummary(const SecCertificateRef& certificate);
// The subject public key; nullptr when it cannot be read.
SecKeyRef SecCertificateCopyKey(const SecCertificateRef& certificate);
// Whether the certificate's signature verifies with the issuer's public key (false for
// nullptr or an unreadable key).
bool SecCertificateIsSignedBy(const SecCertificateRef& certificate, const SecCertificateRef& issuer);
