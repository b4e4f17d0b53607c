// Installed trusted roots: a loopback TLS server whose certificate a test CA
// issued is refused until that root is installed, then accepted; host-name
// checks stay; an unreadable roots file adds nothing.

#include <gtest/gtest.h>

#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLSession.h>
#include <platform_net/SecTrust.h>
#include <platform_net/SecTrustedRoots.h>

#include <openssl/pem.h>

#include "LoopbackServer.h"
#include "TestCertificates.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class TrustedRootsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "roots-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        ::unsetenv(SecTrustedRoots::kEnvironmentVariable);
        SecTrustedRoots::resetForTesting();
    }
    void TearDown() override {
        ::unsetenv(SecTrustedRoots::kEnvironmentVariable);
        SecTrustedRoots::resetForTesting();
        server.reset();
        fs::remove_all(dir);
    }
    void serve(const testcerts::Certificate& certificate) {
        auto [cert, key] = certificate.writePEM(dir, "server");
        server = std::make_unique<LoopbackServer>(cert, key);
        server->routes().Get("/secret", [this](const httplib::Request&, httplib::Response& res) {
            hits++;
            res.set_content("secret", "text/plain");
        });
        server->start();
    }
    // The error code of one request with the default trust handling (0: loaded).
    int64_t load() {
        auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
        std::atomic<bool> done{false};
        NSErrorPtr error;
        session
            ->dataTaskWithURL(NSURL::URLWithString(server->url("/secret")),
                              [&](std::optional<std::vector<uint8_t>>, NSURLResponsePtr, NSErrorPtr e) {
                                  error = e;
                                  done = true;
                              })
            ->resume();
        EXPECT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 10));
        session->finishTasksAndInvalidate();
        return error ? error->code() : 0;
    }

    std::string dir;
    std::unique_ptr<LoopbackServer> server;
    std::atomic<int> hits{0};
};

TEST_F(TrustedRootsTest, TheServerIsRefusedUntilItsRootIsInstalled) {
    const auto ca = testcerts::makeCA("Owner Test CA");
    serve(testcerts::makeServer(ca));
    EXPECT_EQ(load(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(hits.load(), 0);

    ASSERT_EQ(SecTrustedRoots::installPEM(ca.pem()), nullptr);
    EXPECT_EQ(SecTrustedRoots::count(), 1u);
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(hits.load(), 1);
}

TEST_F(TrustedRootsTest, ACertificateForAnotherHostStaysRefused) {
    const auto ca = testcerts::makeCA("Owner Test CA");
    ASSERT_EQ(SecTrustedRoots::installPEM(ca.pem()), nullptr);
    serve(testcerts::makeServer(ca, "other.example", "DNS:other.example"));
    EXPECT_NE(load(), 0);
    EXPECT_EQ(hits.load(), 0);
}

// The system roots are first looked up one at a time in the roots folder; a root found only in
// the bundle file (here the one the TLS library's variable names) must still be trusted.
TEST_F(TrustedRootsTest, ARootOnlyInTheSystemBundleFileIsTrusted) {
    const auto ca = testcerts::makeCA("Bundle Only Test CA");
    const std::string bundle = dir + "/bundle.pem";
    std::ofstream(bundle) << ca.pem();
    ::setenv("SSL_CERT_FILE", bundle.c_str(), 1);
    SecTrustedRoots::resetForTesting();  // the stores are built again for the new file
    serve(testcerts::makeServer(ca));
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(hits.load(), 1);
    ::unsetenv("SSL_CERT_FILE");
    SecTrustedRoots::resetForTesting();
    EXPECT_EQ(load(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(hits.load(), 1);
}

TEST_F(TrustedRootsTest, TheEnvironmentsFileIsReadAndAnUnreadableOneAddsNothing) {
    const auto ca = testcerts::makeCA("Owner Test CA");
    serve(testcerts::makeServer(ca));
    const struct {
        const char* name;
        std::string path;
        std::size_t roots;
        int64_t code;
    } cases[] = {
        {"missing file", dir + "/absent.pem", 0, NSURLErrorServerCertificateUntrusted},
        {"not PEM", dir + "/garbage.pem", 0, NSURLErrorServerCertificateUntrusted},
        {"the CA", dir + "/ca.pem", 1, 0},
    };
    std::ofstream(dir + "/garbage.pem") << "not a certificate";
    std::ofstream(dir + "/ca.pem") << ca.pem();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::setenv(SecTrustedRoots::kEnvironmentVariable, c.path.c_str(), 1);
        SecTrustedRoots::resetForTesting();
        EXPECT_EQ(SecTrustedRoots::count(), c.roots);
        EXPECT_EQ(SecTrustedRoots::count(), c.roots);  // read once, not again
        EXPECT_EQ(load(), c.code);
    }
}

TEST_F(TrustedRootsTest, TextWithoutACertificateIsAnErrorAndAddsNothing) {
    EXPECT_NE(SecTrustedRoots::installPEM("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"), nullptr);
    EXPECT_NE(SecTrustedRoots::installPEMFile(dir + "/absent.pem"), nullptr);
    EXPECT_EQ(SecTrustedRoots::count(), 0u);
}

TEST_F(TrustedRootsTest, TheSystemRootsStillCountBesideTheInstalledOnes) {
    // A root of the system store chains to itself.
    std::string systemRoot;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/etc/ssl/certs", ec))
        if (e.path().extension() == ".pem") {
            systemRoot = e.path().string();
            break;
        }
    if (systemRoot.empty()) GTEST_SKIP() << "no system roots on this machine";
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(systemRoot.c_str(), "r"), std::fclose);
    ASSERT_TRUE(file);
    X509* x = PEM_read_X509(file.get(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(x);
    unsigned char* der = nullptr;
    const int length = i2d_X509(x, &der);
    X509_free(x);
    ASSERT_GT(length, 0);
    std::vector<uint8_t> bytes(der, der + length);
    OPENSSL_free(der);

    ASSERT_EQ(SecTrustedRoots::installPEM(testcerts::makeCA("Owner Test CA").pem()), nullptr);
    SecTrustRef trust;
    ASSERT_EQ(SecTrustCreateWithCertificates({SecCertificateCreateWithData(bytes)}, SecPolicyCreateBasicX509(), &trust),
              errSecSuccess);
    NSErrorPtr error;
    EXPECT_TRUE(SecTrustEvaluateWithError(trust, &error)) << systemRoot;
}

}  // namespace
