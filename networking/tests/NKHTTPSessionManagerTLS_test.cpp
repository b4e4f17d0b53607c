#include <networking/NKHTTPSessionManager.h>

#include <gtest/gtest.h>

#include <fstream>

#include <platform_net/NSURLError.h>

#include "../../platform/net/tests/TestCertificates.h"
#include "NKSessionTestSupport.h"

namespace {

// GETs "json" and checks that the policy accepted the server (and the answer arrived) or
// refused it before any request reached the server.
void expectOutcome(NKHTTPSessionManager& manager, bool accepted, const std::atomic<int>& hits) {
    const int hitsBefore = hits;
    std::atomic<bool> done{false};
    Value object;
    NSErrorPtr error;
    manager.GET("json", Value(), {}, nullptr,
                [&](const NSURLSessionDataTaskPtr&, const Value& o) {
                    object = o;
                    done = true;
                },
                [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr& e) {
                    error = e;
                    done = true;
                });
    ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
    if (accepted) {
        ASSERT_FALSE(error) << error->description();
        EXPECT_TRUE(object.objectForKey("secure").boolValue());
    } else {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NSURLErrorDomain);
        EXPECT_EQ(error->code(), NSURLErrorServerCertificateUntrusted);
        EXPECT_NE(error->localizedDescription().find("127.0.0.1"), std::string::npos);
        EXPECT_EQ(hits, hitsBefore);
    }
}

// One TLS server with a certificate of a test CA; each case configures the manager's policy.
class HTTPSessionManagerTLSTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ca = new testcerts::Certificate(testcerts::makeCA("NK Test CA"));
        leaf = new testcerts::Certificate(testcerts::makeServer(*ca));
        otherCA = new testcerts::Certificate(testcerts::makeCA("Unrelated CA"));
        otherLeaf = new testcerts::Certificate(testcerts::makeServer(*otherCA));
    }
    void SetUp() override {
        auto [certificate, key] = leaf->writePEM(dir.path(), "server");
        server = std::make_unique<nktest::Server>(certificate, key);
        server->routes().Get("/json", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.set_content("{\"secure\":true}", "application/json");
        });
        server->start();
        manager = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server->base()));
    }
    void TearDown() override { manager->invalidateSessionCancelingTasks(true, false); }

    static inline testcerts::Certificate *ca, *leaf, *otherCA, *otherLeaf;
    nktest::TempDir dir;
    std::unique_ptr<nktest::Server> server;
    std::atomic<int> hits{0};
    NKHTTPSessionManager::Ptr manager;
};

TEST_F(HTTPSessionManagerTLSTest, PolicyDecidesTheHandshake) {
    struct Case {
        const char* name;
        uint64_t mode;
        std::vector<const testcerts::Certificate*> pinned;
        bool allowInvalid;
        bool validatesDomain;
        bool accepted;
    } cases[] = {
        {"default policy refuses an unknown root", 0, {}, false, true, false},
        {"untrusted allowed, no domain check", 0, {}, true, false, true},
        // A private root is not trusted by the system: pinning it needs untrusted chains allowed.
        {"certificate pinning without allowing a private root", 2, {ca, leaf}, false, true, false},
        {"certificate pinning of our chain", 2, {ca, leaf}, true, true, true},
        {"certificate pinning of another chain", 2, {otherCA, otherLeaf}, true, true, false},
        {"public-key pinning of our key", 1, {leaf}, true, true, true},
        {"public-key pinning of another key", 1, {otherLeaf}, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::set<NKCertificateData> pinned;
        for (auto* certificate : c.pinned) pinned.insert(certificate->der());
        auto policy = NKSecurityPolicy::policyWithPinningMode(c.mode, NKPinnedCertificates(pinned));
        policy->setAllowInvalidCertificates(c.allowInvalid);
        policy->setValidatesDomainName(c.validatesDomain);
        // A session of its own per case: a connection kept from an earlier case would skip
        // the handshake.
        manager->invalidateSessionCancelingTasks(true, false);
        manager = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server->base()));
        manager->setSecurityPolicy(policy);
        expectOutcome(*manager, c.accepted, hits);
    }
}

// Public-key pinning of a self-signed certificate P (the only way to pin a self-signed
// server, so untrusted chains are allowed). A server without P's key may present its own
// leaf naming P as its issuer, then P itself: the pinned key is in the chain, but the link
// to it is forged.
TEST(HTTPSessionManagerPublicKeyPinning, APinnedKeyCountsOnlyBehindVerifiedSignatures) {
    const auto pinnedSelfSigned = testcerts::makeSelfSigned("Pinned");
    testcerts::Certificate forger{pinnedSelfSigned.x509, testcerts::makeKey()};  // P's name, another key
    const auto forgedLeaf = testcerts::makeServer(forger);
    const auto root = testcerts::makeCA("NK Root");
    testcerts::Options intermediateOptions;
    intermediateOptions.commonName = "NK Intermediate";
    intermediateOptions.isCA = true;
    const auto intermediate = testcerts::makeCertificate(intermediateOptions, &root);
    const auto issuedLeaf = testcerts::makeServer(intermediate);

    struct Case {
        const char* name;
        std::vector<const testcerts::Certificate*> served;  // leaf first; the leaf's key serves
        const testcerts::Certificate* pinned;
        uint64_t mode;
        bool accepted;
    } cases[] = {
        {"forged link to the pinned key", {&forgedLeaf, &pinnedSelfSigned}, &pinnedSelfSigned, 1, false},
        {"forged link under certificate pinning", {&forgedLeaf, &pinnedSelfSigned}, &pinnedSelfSigned, 2, false},
        {"the genuine self-signed server", {&pinnedSelfSigned}, &pinnedSelfSigned, 1, true},
        {"a real chain with its intermediate's key pinned", {&issuedLeaf, &intermediate}, &intermediate, 1, true},
        {"a real chain sent with its root", {&issuedLeaf, &intermediate, &root}, &intermediate, 1, true},
        {"a real chain with its root's key pinned", {&issuedLeaf, &intermediate, &root}, &root, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nktest::TempDir dir;
        const std::string chainPath = dir.path() + "/chain.pem", keyPath = dir.path() + "/chain.key";
        {
            std::ofstream chain(chainPath, std::ios::binary);
            for (auto* certificate : c.served) chain << certificate->pem();
            std::ofstream(keyPath, std::ios::binary) << c.served.front()->keyPem();
        }
        nktest::Server server(chainPath, keyPath);
        std::atomic<int> hits{0};
        server.routes().Get("/json", [&](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.set_content("{\"secure\":true}", "application/json");
        });
        server.start();
        auto policy = NKSecurityPolicy::policyWithPinningMode(c.mode, NKPinnedCertificates({c.pinned->der()}));
        policy->setAllowInvalidCertificates(true);
        auto manager = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
        manager->setSecurityPolicy(policy);
        expectOutcome(*manager, c.accepted, hits);
        manager->invalidateSessionCancelingTasks(true, false);
    }
}

}  // namespace
