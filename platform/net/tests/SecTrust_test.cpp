#include <platform_net/Security.h>

#include <gtest/gtest.h>

#include "TestCertificates.h"

namespace {

using testcerts::Certificate;

SecCertificateRef cert(const Certificate& c) {
    auto ref = SecCertificateCreateWithData(c.der());
    EXPECT_TRUE(ref);
    return ref;
}

struct Chains : ::testing::Test {
    static void SetUpTestSuite() {
        ca = new Certificate(testcerts::makeCA("Test Root"));
        otherCA = new Certificate(testcerts::makeCA("Other Root"));
        server = new Certificate(testcerts::makeServer(*ca));
        selfSigned = new Certificate(testcerts::makeSelfSigned());
        testcerts::Options expired;
        expired.commonName = "127.0.0.1";
        expired.subjectAltName = "IP:127.0.0.1";
        expired.notBefore = -86400L * 10;
        expired.notAfter = -86400L;
        expiredServer = new Certificate(testcerts::makeCertificate(expired, ca));
    }
    static void TearDownTestSuite() {
        for (Certificate* c : {ca, otherCA, server, selfSigned, expiredServer}) delete c;
    }

    static SecTrustRef trustFor(const std::vector<const Certificate*>& chain, SecPolicyRef policy) {
        std::vector<SecCertificateRef> certs;
        for (auto* c : chain) certs.push_back(cert(*c));
        SecTrustRef trust;
        EXPECT_EQ(SecTrustCreateWithCertificates(certs, policy, &trust), errSecSuccess);
        return trust;
    }
    static SecTrustResultType evaluate(const SecTrustRef& trust) {
        SecTrustResultType result = kSecTrustResultInvalid;
        EXPECT_EQ(SecTrustEvaluate(trust, &result), errSecSuccess);
        return result;
    }

    static inline Certificate* ca;
    static inline Certificate* otherCA;
    static inline Certificate* server;
    static inline Certificate* selfSigned;
    static inline Certificate* expiredServer;
};

TEST_F(Chains, CertificateFromDERRoundTripsAndRefusesGarbage) {
    auto c = cert(*server);
    EXPECT_EQ(SecCertificateCopyData(c), server->der());
    EXPECT_EQ(SecCertificateCopySubjectSummary(c), "127.0.0.1");
    EXPECT_EQ(SecCertificateCopySubjectSummary(cert(*ca)), "Test Root");

    auto truncated = server->der();
    truncated.resize(truncated.size() / 2);
    auto trailing = server->der();
    trailing.push_back(0);
    for (const auto& bad : {std::vector<uint8_t>{}, std::vector<uint8_t>{'h', 'i'}, truncated, trailing}) {
        EXPECT_EQ(SecCertificateCreateWithData(bad), nullptr);
    }
    EXPECT_TRUE(SecCertificateCopyData(nullptr).empty());
}

TEST_F(Chains, CertificatesAreEqualByBytes) {
    auto a = cert(*server), b = cert(*server), c = cert(*ca);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*c));
}

TEST_F(Chains, KeysAreEqualByValueAcrossCertificates) {
    // A renewed certificate keeping the key, and a self-signed one with the same key.
    auto renewed = testcerts::makeServer(*otherCA, "renewed", "DNS:localhost", server->key);
    testcerts::Options o;
    o.key = server->key;
    auto selfWithKey = testcerts::makeCertificate(o);

    auto key = SecCertificateCopyKey(cert(*server));
    ASSERT_TRUE(key);
    EXPECT_TRUE(SecKeyEqual(key, SecCertificateCopyKey(cert(renewed))));
    EXPECT_TRUE(SecKeyEqual(key, SecCertificateCopyKey(cert(selfWithKey))));
    EXPECT_EQ(key->hash(), SecCertificateCopyKey(cert(renewed))->hash());
    EXPECT_FALSE(SecKeyEqual(key, SecCertificateCopyKey(cert(*ca))));
    EXPECT_FALSE(SecKeyEqual(key, nullptr));

    // The trust's public key is its leaf's, whether or not the trust evaluates.
    auto trust = trustFor({selfSigned}, SecPolicyCreateBasicX509());
    EXPECT_EQ(evaluate(trust), kSecTrustResultRecoverableTrustFailure);
    EXPECT_TRUE(SecKeyEqual(SecTrustCopyPublicKey(trust), SecCertificateCopyKey(cert(*selfSigned))));
}


TEST_F(Chains, EvaluationOutcomes) {
    auto ssl = [](const char* host) { return SecPolicyCreateSSL(true, std::string(host)); };
    struct Row {
        const char* name;
        std::vector<const Certificate*> chain;
        SecPolicyRef policy;
        std::vector<const Certificate*> anchors;  // empty: the system roots
        SecTrustResultType expected;
        OSStatus reason;
    };
    const Row rows[] = {
        {"anchored leaf, ip host", {server}, ssl("127.0.0.1"), {ca}, kSecTrustResultUnspecified, errSecSuccess},
        {"anchored leaf, dns host", {server}, ssl("localhost"), {ca}, kSecTrustResultUnspecified, errSecSuccess},
        {"leaf with its root sent", {server, ca}, ssl("localhost"), {ca}, kSecTrustResultUnspecified, errSecSuccess},
        {"no host check", {server}, SecPolicyCreateSSL(true, std::nullopt), {ca}, kSecTrustResultUnspecified,
         errSecSuccess},
        {"basic x509", {server}, SecPolicyCreateBasicX509(), {ca}, kSecTrustResultUnspecified, errSecSuccess},
        {"wrong host", {server}, ssl("example.org"), {ca}, kSecTrustResultRecoverableTrustFailure,
         errSecHostNameMismatch},
        {"wrong ip", {server}, ssl("127.0.0.2"), {ca}, kSecTrustResultRecoverableTrustFailure, errSecHostNameMismatch},
        {"unrelated anchor", {server}, ssl("localhost"), {otherCA}, kSecTrustResultRecoverableTrustFailure,
         errSecNotTrusted},
        {"unknown root (system store)", {server}, ssl("localhost"), {}, kSecTrustResultRecoverableTrustFailure,
         errSecNotTrusted},
        {"root sent but not trusted", {server, ca}, ssl("localhost"), {}, kSecTrustResultRecoverableTrustFailure,
         errSecNotTrusted},
        {"self-signed", {selfSigned}, ssl("localhost"), {}, kSecTrustResultRecoverableTrustFailure, errSecNotTrusted},
        {"self-signed as its own anchor", {selfSigned}, ssl("localhost"), {selfSigned}, kSecTrustResultUnspecified,
         errSecSuccess},
        {"leaf pinned as anchor", {server}, ssl("localhost"), {server}, kSecTrustResultUnspecified, errSecSuccess},
        {"expired", {expiredServer}, ssl("127.0.0.1"), {ca}, kSecTrustResultRecoverableTrustFailure,
         errSecCertificateExpired},
        // Not for server use (no server purpose) and not for this host either.
        {"CA presented as server", {ca}, ssl("localhost"), {ca}, kSecTrustResultRecoverableTrustFailure,
         errSecNotTrusted},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto trust = trustFor(row.chain, row.policy);
        if (!row.anchors.empty()) {
            std::vector<SecCertificateRef> anchors;
            for (auto* a : row.anchors) anchors.push_back(cert(*a));
            EXPECT_EQ(SecTrustSetAnchorCertificates(trust, anchors), errSecSuccess);
        }
        EXPECT_EQ(evaluate(trust), row.expected);
        NSErrorPtr error;
        EXPECT_EQ(SecTrustEvaluateWithError(trust, &error), row.reason == errSecSuccess);
        if (row.reason != errSecSuccess) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
            EXPECT_EQ(error->code(), row.reason);
        } else {
            EXPECT_FALSE(error);
        }
    }
}

TEST_F(Chains, EvaluatedChainRunsFromLeafToAnchor) {
    auto trust = trustFor({server}, SecPolicyCreateSSL(true, std::string("localhost")));
    EXPECT_EQ(SecTrustGetCertificateCount(trust), 1);
    SecTrustSetAnchorCertificates(trust, {cert(*ca)});
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);
    ASSERT_EQ(SecTrustGetCertificateCount(trust), 2);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 0)), server->der());
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 1)), ca->der());
    EXPECT_EQ(SecTrustGetCertificateAtIndex(trust, 2), nullptr);
    EXPECT_EQ(SecTrustGetCertificateAtIndex(trust, -1), nullptr);
    EXPECT_EQ(SecTrustCopyCertificateChain(trust).size(), 2u);
    SecTrustResultType last;
    EXPECT_EQ(SecTrustGetTrustResult(trust, &last), errSecSuccess);
    EXPECT_EQ(last, kSecTrustResultUnspecified);
}

TEST_F(Chains, PoliciesAndAnchorsCanBeReplacedBetweenEvaluations) {
    auto trust = trustFor({server}, SecPolicyCreateSSL(true, std::string("example.org")));
    SecTrustSetAnchorCertificates(trust, {cert(*ca)});
    EXPECT_EQ(evaluate(trust), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(SecTrustSetPolicies(trust, SecPolicyCreateBasicX509()), errSecSuccess);
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);
    EXPECT_EQ(SecTrustCopyPolicies(trust).front()->kind(), SecPolicy::Kind::BasicX509);

    // Anchors only off: the system roots join the custom anchors, which still count.
    EXPECT_EQ(SecTrustSetAnchorCertificatesOnly(trust, false), errSecSuccess);
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);
    SecTrustSetAnchorCertificates(trust, {cert(*otherCA)});
    EXPECT_EQ(evaluate(trust), kSecTrustResultRecoverableTrustFailure);
}

TEST_F(Chains, ServerTrustFromDERChainAndHost) {
    auto trust = SecTrustCreateForServer({server->der(), ca->der()}, "localhost");
    ASSERT_TRUE(trust);
    EXPECT_EQ(SecTrustGetCertificateCount(trust), 2);
    SecTrustSetAnchorCertificates(trust, {cert(*ca)});
    EXPECT_TRUE(SecTrustEvaluateWithError(trust, nullptr));
    SecTrustSetPolicies(trust, SecPolicyCreateSSL(true, std::string("other.test")));
    EXPECT_FALSE(SecTrustEvaluateWithError(trust, nullptr));

    EXPECT_EQ(SecTrustCreateForServer({}, "localhost"), nullptr);
    EXPECT_EQ(SecTrustCreateForServer({server->der(), {1, 2, 3}}, "localhost"), nullptr);
}

TEST_F(Chains, BadArgumentsAreStatusesNotCrashes) {
    SecTrustRef trust;
    EXPECT_EQ(SecTrustCreateWithCertificates({}, SecPolicyCreateBasicX509(), &trust), errSecParam);
    EXPECT_EQ(SecTrustCreateWithCertificates({nullptr}, SecPolicyCreateBasicX509(), &trust), errSecParam);
    EXPECT_EQ(trust, nullptr);
    SecTrustResultType result;
    EXPECT_EQ(SecTrustEvaluate(nullptr, &result), errSecParam);
    NSErrorPtr error;
    EXPECT_FALSE(SecTrustEvaluateWithError(nullptr, &error));
    EXPECT_TRUE(error);
    EXPECT_EQ(SecTrustGetCertificateCount(nullptr), 0);
    EXPECT_EQ(SecTrustCopyPublicKey(nullptr), nullptr);
    // Without a policy a trust still evaluates as plain X.509.
    ASSERT_EQ(SecTrustCreateWithCertificates({cert(*server)}, std::vector<SecPolicyRef>{}, &trust), errSecSuccess);
    SecTrustSetAnchorCertificates(trust, {cert(*ca)});
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);
}

}  // namespace
