// The kit's security policy beside the app's: the same decisions on chains made at test
// time, its own class in copies and archives, and pinned defaults read once per process.

#include <gtest/gtest.h>

#include <networking/NKSecurityPolicy.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <sdk_http/ZPKNKSecurityPolicy.h>

#include "../../platform/net/tests/TestCertificates.h"

namespace {

using testcerts::Certificate;

struct Chains {
    Certificate ca = testcerts::makeCA("Pinned Root");
    Certificate leaf = testcerts::makeServer(ca);
    Certificate selfSigned = testcerts::makeSelfSigned();
    // Another issuer, same key as the pinned leaf.
    Certificate otherCA = testcerts::makeCA("Other Root");
    Certificate renewed = testcerts::makeServer(otherCA, "127.0.0.1", "DNS:localhost,IP:127.0.0.1", leaf.key);
    // A leaf naming the self-signed certificate as issuer, signed with another key: the
    // pinned key is in the chain, the link to it is forged.
    Certificate forger{selfSigned.x509, testcerts::makeKey()};
    Certificate forgedLeaf = testcerts::makeServer(forger);
};

const Chains& chains() {
    static const Chains c;
    return c;
}

SecTrustRef trustFor(std::vector<const Certificate*> chain) {
    std::vector<std::vector<uint8_t>> der;
    for (auto* c : chain) der.push_back(c->der());
    return SecTrustCreateForServer(der, "127.0.0.1");
}

TEST(ZPKNKSecurityPolicy, DecidesAsTheAppsPolicy) {
    const auto& c = chains();
    struct Case {
        const char* name;
        uint64_t mode;
        std::vector<const Certificate*> pinned;
        bool allowInvalid;
        bool validatesDomain;
        std::vector<const Certificate*> chain;
        bool accepted;
    };
    const Case cases[] = {
        {"untrusted self-signed, default", NKSSLPinningModeNone, {}, false, true, {&c.selfSigned}, false},
        {"any trust allowed", NKSSLPinningModeNone, {}, true, false, {&c.selfSigned}, true},
        {"self-signed domain check without pins", NKSSLPinningModeNone, {}, true, true, {&c.selfSigned}, false},
        {"pinned root", NKSSLPinningModeCertificate, {&c.ca}, true, true, {&c.leaf, &c.ca}, true},
        {"root not pinned", NKSSLPinningModeCertificate, {&c.otherCA}, true, true, {&c.leaf, &c.ca}, false},
        {"renewed leaf keeps the key", NKSSLPinningModePublicKey, {&c.leaf}, true, false, {&c.renewed, &c.otherCA}, true},
        {"unknown key", NKSSLPinningModePublicKey, {&c.selfSigned}, true, false, {&c.leaf, &c.ca}, false},
        {"forged link to a pinned key", NKSSLPinningModePublicKey, {&c.selfSigned}, true, false,
         {&c.forgedLeaf, &c.selfSigned}, false},
        {"the genuine pinned server", NKSSLPinningModePublicKey, {&c.selfSigned}, true, false, {&c.selfSigned}, true},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        std::set<NKCertificateData> pins;
        for (auto* p : k.pinned) pins.insert(p->der());
        auto kit = ZPKNKSecurityPolicy::policyWithPinningMode(k.mode, pins);
        auto app = NKSecurityPolicy::policyWithPinningMode(k.mode, pins);
        for (NKSecurityPolicyCore* policy : {static_cast<NKSecurityPolicyCore*>(kit.get()),
                                             static_cast<NKSecurityPolicyCore*>(app.get())}) {
            policy->setAllowInvalidCertificates(k.allowInvalid);
            policy->setValidatesDomainName(k.validatesDomain);
            EXPECT_EQ(policy->evaluateServerTrust(trustFor(k.chain), "127.0.0.1"), k.accepted) << policy->className();
        }
    }
}

TEST(ZPKNKSecurityPolicy, IsItsOwnClass) {
    auto kit = ZPKNKSecurityPolicy::defaultPolicy();
    EXPECT_EQ(kit->className(), "ZPKNKSecurityPolicy");
    EXPECT_EQ(kit->objcClass().superclass()->name(), "NSObject");
    EXPECT_FALSE(kit->isKindOfClass(&NKSecurityPolicy::classObject()));
    EXPECT_FALSE(NKSecurityPolicy::defaultPolicy()->isKindOfClass(&ZPKNKSecurityPolicy::classObject()));
    EXPECT_TRUE(kit->validatesDomainName());
    EXPECT_FALSE(kit->pinnedCertificates());
}

TEST(ZPKNKSecurityPolicy, CopiesAndArchivesStayInTheClass) {
    auto p = ZPKNKSecurityPolicy::policyWithPinningMode(NKSSLPinningModePublicKey,
                                                        std::set<NKCertificateData>{chains().ca.der()});
    p->setAllowInvalidCertificates(true);
    auto copy = p->copy();
    EXPECT_EQ(copy->className(), "ZPKNKSecurityPolicy");
    EXPECT_TRUE(copy->allowInvalidCertificates());
    ASSERT_TRUE(copy->pinnedPublicKeys());
    EXPECT_EQ(copy->pinnedPublicKeys()->size(), 1u);

    NSErrorPtr error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(p), true, &error);
    ASSERT_FALSE(data.empty()) << (error ? error->description() : "");
    auto decoded = NSKeyedUnarchiver::unarchivedObjectOfClass("ZPKNKSecurityPolicy", data, &error)
                       .objectAs<ZPKNKSecurityPolicy>();
    ASSERT_TRUE(decoded) << (error ? error->description() : "");
    EXPECT_EQ(decoded->SSLPinningMode(), NKSSLPinningModePublicKey);
    EXPECT_EQ(decoded->pinnedCertificates(), p->pinnedCertificates());
}

TEST(ZPKNKSecurityPolicy, DefaultPinsAreReadOncePerProcess) {
    const auto& first = ZPKNKSecurityPolicy::defaultPinnedCertificates();
    EXPECT_EQ(&first, &ZPKNKSecurityPolicy::defaultPinnedCertificates());
    auto p = ZPKNKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate);
    ASSERT_TRUE(p->pinnedCertificates());
    EXPECT_EQ(*p->pinnedCertificates(), first);
}

}  // namespace
