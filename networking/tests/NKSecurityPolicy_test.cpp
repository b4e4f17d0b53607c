// Server-trust decisions: no pinning, certificate pinning and public-key pinning against
// chains made at test time, the domain-name and invalid-certificate switches, derived keys,
// bundle certificates, copying, archiving and the refusal of pinning on plain HTTP.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <networking/NKSecurityPolicy.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_runtime/NSException.h>

#include "../../platform/net/tests/TestCertificates.h"

namespace {

using testcerts::Certificate;

struct Chains {
    Certificate ca = testcerts::makeCA("Pinned Root");
    Certificate otherCA = testcerts::makeCA("Other Root");
    Certificate leaf = testcerts::makeServer(ca);
    Certificate selfSigned = testcerts::makeSelfSigned();
    // A renewed leaf from another issuer that keeps the pinned leaf's key.
    Certificate renewed = testcerts::makeServer(otherCA, "127.0.0.1", "DNS:localhost,IP:127.0.0.1", leaf.key);
};

const Chains& chains() {
    static const Chains c;
    return c;
}

// The trust a client builds for 127.0.0.1; `anchor` stands in for a system root.
SecTrustRef trustFor(std::vector<const Certificate*> chain, const Certificate* anchor = nullptr,
                     const std::string& host = "127.0.0.1") {
    std::vector<std::vector<uint8_t>> der;
    for (auto* c : chain) der.push_back(c->der());
    auto trust = SecTrustCreateForServer(der, host);
    if (anchor) SecTrustSetAnchorCertificates(trust, {SecCertificateCreateWithData(anchor->der())});
    return trust;
}

NKSecurityPolicy::Ptr policy(uint64_t mode, std::vector<const Certificate*> pinned, bool allowInvalid,
                             bool validatesDomain) {
    std::set<NKCertificateData> set;
    for (auto* c : pinned) set.insert(c->der());
    auto p = NKSecurityPolicy::policyWithPinningMode(mode, set);
    p->setAllowInvalidCertificates(allowInvalid);
    p->setValidatesDomainName(validatesDomain);
    return p;
}

TEST(NKSecurityPolicy, Defaults) {
    auto p = NKSecurityPolicy::defaultPolicy();
    EXPECT_EQ(p->SSLPinningMode(), NKSSLPinningModeNone);
    EXPECT_TRUE(p->validatesDomainName());
    EXPECT_FALSE(p->allowInvalidCertificates());
    EXPECT_FALSE(p->pinnedCertificates());
    EXPECT_FALSE(p->pinnedPublicKeys());
}

TEST(NKSecurityPolicy, TheAppsConfigurationAcceptsAnyTrustAfterInstallingABasicPolicy) {
    const auto& c = chains();
    auto p = policy(NKSSLPinningModeNone, {}, true, false);
    auto trust = trustFor({&c.selfSigned}, nullptr, "elsewhere.test");
    EXPECT_TRUE(p->evaluateServerTrust(trust, "elsewhere.test"));
    auto policies = SecTrustCopyPolicies(trust);
    ASSERT_EQ(policies.size(), 1u);
    EXPECT_EQ(policies[0]->kind(), SecPolicy::Kind::BasicX509);
    EXPECT_FALSE(trust->state.evaluated);
}

TEST(NKSecurityPolicy, SelfSignedDomainValidationWithoutPinsIsRefused) {
    const auto& c = chains();
    auto p = NKSecurityPolicy::defaultPolicy();
    p->setAllowInvalidCertificates(true);
    EXPECT_FALSE(p->evaluateServerTrust(trustFor({&c.selfSigned}), "127.0.0.1"));
    EXPECT_TRUE(p->evaluateServerTrust(trustFor({&c.selfSigned}), std::nullopt));
    // Pinning mode but an empty pinned set is refused the same way.
    auto empty = policy(NKSSLPinningModeCertificate, {}, true, true);
    EXPECT_FALSE(empty->evaluateServerTrust(trustFor({&c.selfSigned}), "127.0.0.1"));
}

TEST(NKSecurityPolicy, DecisionTable) {
    const auto& c = chains();
    struct Case {
        const char* name;
        uint64_t mode;
        std::vector<const Certificate*> pinned;
        bool allowInvalid;
        bool validatesDomain;
        std::vector<const Certificate*> chain;
        const Certificate* systemRoot;
        const char* host;
        bool accepted;
    };
    const Case cases[] = {
        {"none: trusted chain", NKSSLPinningModeNone, {}, false, true, {&c.leaf, &c.ca}, &c.ca, "127.0.0.1", true},
        {"none: unknown root", NKSSLPinningModeNone, {}, false, true, {&c.leaf, &c.ca}, nullptr, "127.0.0.1", false},
        {"none: self-signed", NKSSLPinningModeNone, {}, false, true, {&c.selfSigned}, nullptr, "127.0.0.1", false},
        {"none: wrong host", NKSSLPinningModeNone, {}, false, true, {&c.leaf, &c.ca}, &c.ca, "other.test", false},
        {"none: wrong host, no domain check", NKSSLPinningModeNone, {}, false, false, {&c.leaf, &c.ca}, &c.ca,
         "other.test", true},
        {"cert: root pinned", NKSSLPinningModeCertificate, {&c.ca}, false, true, {&c.leaf, &c.ca}, &c.ca, "127.0.0.1",
         true},
        {"cert: root pinned, no system root", NKSSLPinningModeCertificate, {&c.ca}, false, true, {&c.leaf, &c.ca},
         nullptr, "127.0.0.1", false},
        {"cert: root pinned, invalid allowed", NKSSLPinningModeCertificate, {&c.ca}, true, true, {&c.leaf, &c.ca},
         nullptr, "127.0.0.1", true},
        {"cert: leaf pinned", NKSSLPinningModeCertificate, {&c.leaf}, false, true, {&c.leaf, &c.ca}, &c.ca,
         "127.0.0.1", true},
        {"cert: nothing of the chain pinned", NKSSLPinningModeCertificate, {&c.otherCA}, false, true,
         {&c.leaf, &c.ca}, &c.ca, "127.0.0.1", false},
        {"cert: pinned self-signed, invalid allowed", NKSSLPinningModeCertificate, {&c.selfSigned}, true, false,
         {&c.selfSigned}, nullptr, "127.0.0.1", true},
        {"cert: pinned root, wrong host", NKSSLPinningModeCertificate, {&c.ca}, true, true, {&c.leaf, &c.ca}, nullptr,
         "other.test", false},
        {"key: leaf key pinned", NKSSLPinningModePublicKey, {&c.leaf}, false, true, {&c.leaf, &c.ca}, &c.ca,
         "127.0.0.1", true},
        {"key: renewed leaf keeps the key, invalid allowed", NKSSLPinningModePublicKey, {&c.leaf}, true, false,
         {&c.renewed, &c.otherCA}, nullptr, "127.0.0.1", true},
        {"key: untrusted chain, invalid not allowed", NKSSLPinningModePublicKey, {&c.leaf}, false, true,
         {&c.renewed, &c.otherCA}, nullptr, "127.0.0.1", false},
        {"key: root key pinned", NKSSLPinningModePublicKey, {&c.ca}, true, false, {&c.leaf, &c.ca}, nullptr,
         "127.0.0.1", true},
        {"key: no key of the chain", NKSSLPinningModePublicKey, {&c.otherCA}, true, false, {&c.leaf, &c.ca},
         nullptr, "127.0.0.1", false},
        {"unknown mode", 7, {&c.ca}, true, false, {&c.leaf, &c.ca}, &c.ca, "127.0.0.1", false},
    };
    for (const auto& k : cases) {
        auto p = policy(k.mode, k.pinned, k.allowInvalid, k.validatesDomain);
        EXPECT_EQ(p->evaluateServerTrust(trustFor(k.chain, k.systemRoot, k.host), std::string(k.host)), k.accepted)
            << k.name;
    }
    EXPECT_FALSE(NKSecurityPolicy::defaultPolicy()->evaluateServerTrust(nullptr, "127.0.0.1"));
}

TEST(NKSecurityPolicy, PinnedPublicKeysFollowThePinnedCertificates) {
    const auto& c = chains();
    auto p = NKSecurityPolicy::defaultPolicy();
    p->setPinnedCertificates(std::nullopt);
    EXPECT_FALSE(p->pinnedPublicKeys());
    p->setPinnedCertificates(std::set<NKCertificateData>{});
    ASSERT_TRUE(p->pinnedPublicKeys());
    EXPECT_TRUE(p->pinnedPublicKeys()->empty());
    // Not a certificate: no key. Two certificates with one key: one key.
    p->setPinnedCertificates(std::set<NKCertificateData>{{1, 2, 3}, c.leaf.der(), c.renewed.der(), c.selfSigned.der()});
    ASSERT_TRUE(p->pinnedPublicKeys());
    EXPECT_EQ(p->pinnedPublicKeys()->size(), 2u);
    // Only garbage pinned: public-key pinning refuses every server.
    auto garbage = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModePublicKey,
                                                           std::set<NKCertificateData>{{0x30, 0x00}});
    garbage->setAllowInvalidCertificates(true);
    garbage->setValidatesDomainName(false);
    EXPECT_FALSE(garbage->evaluateServerTrust(trustFor({&c.leaf, &c.ca}), "127.0.0.1"));
}

class PinningObserver : public NSObject {
public:
    int changes = 0;
    void observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value&, void*) override {
        if (keyPath == "pinnedPublicKeys") ++changes;
    }
};

TEST(NKSecurityPolicy, ObserversOfThePublicKeysHearOfNewCertificates) {
    auto p = NKSecurityPolicy::defaultPolicy();
    auto observer = std::make_shared<PinningObserver>();
    p->addObserver(*observer, "pinnedPublicKeys", NSKeyValueObservingOptionNew);
    p->setPinnedCertificates(std::set<NKCertificateData>{chains().ca.der()});
    EXPECT_EQ(observer->changes, 1);
    p->removeObserver(*observer, "pinnedPublicKeys");
}

TEST(NKSecurityPolicy, CertificatesInABundleAreTheCerFilesAtItsTop) {
    auto dir = std::filesystem::temp_directory_path() / ("nk-bundle-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sub");
    auto write = [](const std::filesystem::path& path, const std::vector<uint8_t>& der) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(der.data()), der.size());
    };
    write(dir / "a.cer", chains().ca.der());
    write(dir / "b.cer", chains().ca.der());  // same bytes: one member
    write(dir / "c.cer", chains().leaf.der());
    write(dir / "d.der", chains().otherCA.der());
    write(dir / "sub" / "e.cer", chains().otherCA.der());
    auto bundle = NSBundle::bundleWithPath(dir.string());
    ASSERT_TRUE(bundle);
    auto set = NKSecurityPolicy::certificatesInBundle(*bundle);
    EXPECT_EQ(set, (std::set<NKCertificateData>{chains().ca.der(), chains().leaf.der()}));
    std::filesystem::remove_all(dir);
}

TEST(NKSecurityPolicy, CopiesAndArchivesDeriveTheKeysAgain) {
    auto p = policy(NKSSLPinningModePublicKey, {&chains().ca}, true, false);
    auto copy = p->copy();
    EXPECT_EQ(copy->SSLPinningMode(), NKSSLPinningModePublicKey);
    EXPECT_TRUE(copy->allowInvalidCertificates());
    EXPECT_FALSE(copy->validatesDomainName());
    EXPECT_EQ(copy->pinnedCertificates(), p->pinnedCertificates());
    ASSERT_TRUE(copy->pinnedPublicKeys());
    EXPECT_EQ(copy->pinnedPublicKeys()->size(), 1u);

    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(p), true, &error);
    ASSERT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass("NKSecurityPolicy", data, &error).objectAs<NKSecurityPolicy>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    EXPECT_EQ(decoded->SSLPinningMode(), NKSSLPinningModePublicKey);
    EXPECT_TRUE(decoded->allowInvalidCertificates());
    EXPECT_FALSE(decoded->validatesDomainName());
    EXPECT_EQ(decoded->pinnedCertificates(), p->pinnedCertificates());
    ASSERT_TRUE(decoded->pinnedPublicKeys());
    EXPECT_TRUE(SecKeyEqual(decoded->pinnedPublicKeys()->at(0), p->pinnedPublicKeys()->at(0)));
}

TEST(NKSecurityPolicy, PinningNeedsASecureBaseURL) {
    auto pinning = policy(NKSSLPinningModeCertificate, {&chains().ca}, false, true);
    try {
        NKValidateSecurityPolicyForBaseURL(*pinning, NSURL::URLWithString("http://h/"));
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Invalid Security Policy");
        EXPECT_EQ(e.reason(),
                  "A security policy configured with `NKSSLPinningModeCertificate` can only be applied on a manager "
                  "with a secure base URL (i.e. https)");
    }
    EXPECT_THROW(NKValidateSecurityPolicyForBaseURL(*pinning, nullptr), NSException);
    EXPECT_NO_THROW(NKValidateSecurityPolicyForBaseURL(*pinning, NSURL::URLWithString("https://h/")));
    EXPECT_NO_THROW(NKValidateSecurityPolicyForBaseURL(*NKSecurityPolicy::defaultPolicy(), nullptr));
    EXPECT_EQ(NKSSLPinningModeName(9), "Unknown Pinning Mode");
}

}  // namespace
