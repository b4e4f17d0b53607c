#pragma once
// Test helper: a loopback HTTPS server standing in for the catalogue services. Its certificate
// (127.0.0.1 and localhost) is issued by a test CA that is installed once per process as a
// root the device owner trusts, so the app's real trust evaluation accepts it. Routes are
// added before start(); serveFolder() answers GETs with the files below a folder, uncompressed.

#include "../../platform/net/tests/LoopbackServer.h"
#include "../../platform/net/tests/TestCertificates.h"
// A system resolver header defines DELETE, which would rename the manager's verb.
#ifdef DELETE
#undef DELETE
#endif

#include <gtest/gtest.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>
#include <platform_net/SecTrustedRoots.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace apptest {

// A fresh temporary folder, removed with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string& stem = "apptest") {
        std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// One fresh sandbox for a whole test program (shared instances such as the favourite store are
// made once per process and keep the suite they opened); optionally the repository's
// resources as the main bundle.
class SandboxEnvironment : public ::testing::Environment {
public:
    explicit SandboxEnvironment(bool repositoryBundle = false) : repositoryBundle_(repositoryBundle) {}
    void SetUp() override {
        folder_ = std::make_unique<TempFolder>("appsandbox");
        NSSandbox::resetForTesting(folder_->path());
        NSUserDefaults::resetStandardUserDefaults();
        if (repositoryBundle_) NSBundle::setMainBundlePathForTesting(std::string(PROJECT_SOURCE_DIR) + "/resources");
    }
    void TearDown() override {
        NSUserDefaults::resetStandardUserDefaults();
        if (repositoryBundle_) NSBundle::setMainBundlePathForTesting(std::nullopt);
        NSSandbox::resetForTesting();
        folder_.reset();
    }

private:
    bool repositoryBundle_;
    std::unique_ptr<TempFolder> folder_;
};

// The process's test CA, installed as a trusted root on first use.
inline const testcerts::Certificate& testCA() {
    static const testcerts::Certificate ca = [] {
        auto made = testcerts::makeCA("App Test CA");
        if (SecTrustedRoots::installPEM(made.pem())) std::abort();
        return made;
    }();
    return ca;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class CatalogueServer {
public:
    // certificate: the server's own; by default one the test CA issued for 127.0.0.1.
    explicit CatalogueServer(const testcerts::Certificate* certificate = nullptr) {
        const auto& ca = testCA();
        auto cert = certificate ? *certificate : testcerts::makeServer(ca);
        auto [certPath, keyPath] = cert.writePEM(folder_.path(), "server");
        server_ = std::make_unique<LoopbackServer>(certPath, keyPath);
        // The app's client is shared by the whole process and keeps its connections: an idle
        // one is dropped after a second, so stopping the server waits at most that long. (The
        // server library also applies this wait before a connection's first request: with no
        // wait at all, a request that came a few milliseconds late under load was cut off.)
        server_->routes().set_keep_alive_timeout(1);
    }

    httplib::Server& routes() { return server_->routes(); }
    // GET /<path> answers the file <root>/<path>(.json when that exists) as JSON; 404 otherwise.
    void serveFolder(const std::string& root) {
        routes().Get(R"(/(.+))", [root](const httplib::Request& req, httplib::Response& res) {
            namespace fs = std::filesystem;
            fs::path file = fs::path(root) / req.matches[1].str();
            if (!fs::is_regular_file(file)) file += ".json";
            if (req.matches[1].str().find("..") != std::string::npos || !fs::is_regular_file(file)) {
                res.status = 404;
                res.set_content("{\"error\":\"not found\"}", "application/json");
                return;
            }
            // Sent as stored: the server library compresses bare "application/json" (brotli at
            // its slowest level when the client offers it), which costs it far more than the
            // client spends; with a charset parameter it leaves the body alone.
            res.set_content(readFile(file.string()), "application/json; charset=utf-8");
        });
    }
    void start() { server_->start(); }
    void stop() { server_->stop(); }
    int port() const { return server_->port(); }
    // "https://127.0.0.1:<port>" (no trailing slash): a base URL as the configuration takes it.
    std::string base() const {
        std::string u = server_->url("/");
        return u.substr(0, u.size() - 1);
    }
    std::string url(const std::string& path) const { return server_->url(path); }
    LoopbackServer& loopback() { return *server_; }

private:
    TempFolder folder_{"appcert"};
    std::unique_ptr<LoopbackServer> server_;
};

}  // namespace apptest
