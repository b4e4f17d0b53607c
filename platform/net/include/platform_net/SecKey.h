#pragma once
// A public key taken from a certificate; equal keys have equal encodings.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>

class SecKey;
using SecKeyRef = std::shared_ptr<SecKey>;

class SecKey : public NSObject {
    NS_CLASS(SecKey, NSObject)
public:
    // subjectPublicKeyInfo: the DER SubjectPublicKeyInfo (algorithm and key bits).
    explicit SecKey(std::vector<uint8_t> subjectPublicKeyInfo);

    const std::vector<uint8_t>& subjectPublicKeyInfo() const { return spki_; }

    std::string className() const override { return "SecKey"; }
    std::string description() const override;
    // Same algorithm, parameters and key bits.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    std::vector<uint8_t> spki_;
};

// The key's DER SubjectPublicKeyInfo; empty for nullptr.
std::vector<uint8_t> SecKeyCopyExternalRepresentation(const SecKeyRef& key);
// Value equality of two keys (both nullptr counts as equal).
bool SecKeyEqual(const SecKeyRef& a, const SecKeyRef& b);
