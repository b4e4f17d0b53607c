#include <networking/NKSecurityPolicyCore.h>

#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/NSException.h>

std::string NKSSLPinningModeName(uint64_t mode) {
    switch (mode) {
        case NKSSLPinningModeNone: return "NKSSLPinningModeNone";
        case NKSSLPinningModePublicKey: return "NKSSLPinningModePublicKey";
        case NKSSLPinningModeCertificate: return "NKSSLPinningModeCertificate";
        default: return "Unknown Pinning Mode";
    }
}

void NKValidateSecurityPolicyForBaseURL(const NKSecurityPolicyCore& policy, const NSURLPtr& baseURL) {
    if (policy.SSLPinningMode() == NKSSLPinningModeNone) return;
    if (baseURL && baseURL->scheme() == "https") return;
    NSException::raise("Invalid Security Policy",
                       NSStringWithFormat("A security policy configured with `%@` can only be applied on a manager "
                                          "with a secure base URL (i.e. https)",
                                          NKSSLPinningModeName(policy.SSLPinningMode())));
}

std::set<NKCertificateData> NKSecurityPolicyCore::certificatesInBundle(const NSBundle& bundle) {
    std::set<NKCertificateData> certificates;
    for (const auto& path : bundle.pathsForResourcesOfType("cer", ".")) {
        if (auto data = NSDataFile::dataWithContentsOfFile(path)) certificates.insert(std::move(*data));
    }
    return certificates;
}

std::set<NKCertificateData> NKSecurityPolicyCore::mainBundleCertificates() {
    auto bundle = NSBundle::mainBundle();
    return bundle ? certificatesInBundle(*bundle) : std::set<NKCertificateData>();
}

void NKSecurityPolicyCore::setPinnedCertificates(NKPinnedCertificates certificates) {
    willChangeValueForKey("pinnedCertificates");
    settings_.pinnedCertificates = std::move(certificates);
    settings_.pinnedPublicKeys = NKPublicKeysForCertificates(settings_.pinnedCertificates);
    didChangeValueForKey("pinnedCertificates");
}

Value NKSecurityPolicyCore::pinnedCertificatesValue() const {
    if (!settings_.pinnedCertificates) return Value();
    std::vector<Value> members;
    for (const auto& data : *settings_.pinnedCertificates) members.emplace_back(data);
    return Value::set(std::move(members));
}

Value NKSecurityPolicyCore::pinnedPublicKeysValue() const {
    if (!settings_.pinnedPublicKeys) return Value();
    std::vector<Value> members;
    for (const auto& key : *settings_.pinnedPublicKeys) members.emplace_back(key);
    return Value::set(std::move(members));
}

bool NKSecurityPolicyCore::evaluateServerTrust(const SecTrustRef& serverTrust,
                                           const std::optional<std::string>& domain) const {
    return NKEvaluateServerTrust(settings_, serverTrust, domain);
}

void NKSecurityPolicyCore::copySettingsInto(NKSecurityPolicyCore& other) const {
    other.settings_.SSLPinningMode = settings_.SSLPinningMode;
    other.settings_.allowInvalidCertificates = settings_.allowInvalidCertificates;
    other.settings_.validatesDomainName = settings_.validatesDomainName;
    other.setPinnedCertificates(settings_.pinnedCertificates);
}

void NKSecurityPolicyCore::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObject(Value(settings_.SSLPinningMode), "SSLPinningMode");
    coder.encodeBool(settings_.allowInvalidCertificates, "allowInvalidCertificates");
    coder.encodeBool(settings_.validatesDomainName, "validatesDomainName");
    if (settings_.pinnedCertificates) {
        std::vector<Value> certificates;
        for (const auto& data : *settings_.pinnedCertificates) certificates.emplace_back(data);
        coder.encodeObject(Value::set(std::move(certificates)), "pinnedCertificates");
    }
}

bool NKSecurityPolicyCore::initWithCoder(NSCoder& coder) {
    settings_.SSLPinningMode = coder.decodeObjectOfClass("NSNumber", "SSLPinningMode").unsignedLongLongValue();
    settings_.allowInvalidCertificates = coder.decodeBoolForKey("allowInvalidCertificates");
    settings_.validatesDomainName = coder.decodeBoolForKey("validatesDomainName");
    Value certificates = coder.decodeObjectOfClasses({"NSSet", "NSData"}, "pinnedCertificates");
    if (certificates.isSet()) {
        std::set<NKCertificateData> set;
        for (const auto& c : certificates.asSet()) {
            if (c.isData()) set.insert(c.asData());
        }
        setPinnedCertificates(std::move(set));
    } else {
        setPinnedCertificates(std::nullopt);
    }
    return true;
}
