// The catalogue server in-process: what each path answers, what it refuses,
// and what stops it from starting.

#include <catalogue_server/CatalogueIndex.h>
#include <catalogue_server/CatalogueServer.h>

#include <gtest/gtest.h>

#include <chrono>

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string kBundled = PROJECT_SOURCE_DIR "/resources/catalogue";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempDir {
public:
    TempDir() {
        std::string pattern = fs::temp_directory_path().string() + "/catalogue-test.XXXXXX";
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    void write(const std::string& relative, const std::string& text) const {
        fs::create_directories((fs::path(path_) / relative).parent_path());
        std::ofstream(fs::path(path_) / relative, std::ios::binary) << text;
    }

private:
    std::string path_;
};

class CatalogueServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CatalogueServer::Options options;
        options.root = kBundled;
        options.runDirectory = run_.path() + "/run";
        std::string error;
        server_ = CatalogueServer::start(options, &error);
        ASSERT_TRUE(server_) << error;
    }

    std::unique_ptr<httplib::SSLClient> client(bool withCA = true) {
        auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", server_->port());
        if (withCA) c->set_ca_cert_path(server_->caPath().c_str());
        c->enable_server_certificate_verification(true);
        c->set_connection_timeout(5);
        c->set_read_timeout(5);
        return c;
    }

    TempDir run_;
    std::unique_ptr<CatalogueServer> server_;
};

// path on the wire -> file of the bundled catalogue
std::vector<std::pair<std::string, std::string>> bundledPaths() {
    std::vector<std::pair<std::string, std::string>> out;
    out.push_back({"/jailbreaks.json", "jailbreaks.json"});
    out.push_back({"/api/ios/v4/releases", "api/ios/v4/releases.json"});
    for (const char* version : {"v3", "v4"}) {
        fs::path dir = fs::path(kBundled) / "api/ios" / version / "device";
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::string id = entry.path().stem().string();
            out.push_back({std::string("/api/ios/") + version + "/device/" + id,
                           std::string("api/ios/") + version + "/device/" + entry.path().filename().string()});
        }
    }
    return out;
}

}  // namespace

TEST_F(CatalogueServerTest, EveryBundledPathAnswersTheFilesExactBytes) {
    auto c = client();
    auto paths = bundledPaths();
    ASSERT_GE(paths.size(), 4u);
    for (const auto& [path, file] : paths) {
        SCOPED_TRACE(path);
        auto res = c->Get(path);  // one kept-alive connection for all of them
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/json; charset=utf-8");
        EXPECT_EQ(res->body, readFile(fs::path(kBundled) / file));
    }
    EXPECT_EQ(server_->index().documents().size(), paths.size());
}

TEST_F(CatalogueServerTest, HeadAnswersTheLengthWithoutTheBody) {
    auto c = client();
    auto res = c->Head("/api/ios/v4/releases");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Length"),
              std::to_string(readFile(fs::path(kBundled) / "api/ios/v4/releases.json").size()));
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/json; charset=utf-8");
    EXPECT_TRUE(res->body.empty());
}

TEST_F(CatalogueServerTest, UnknownPathsAndEscapesAnswerNotFoundWithJSON) {
    auto c = client();
    for (const char* path : {"/api/ios/v4/device/iPhone99,9", "/api/ios/v5/releases", "/", "/jailbreaks",
                             "/api/ios/v4/releases.json", "/api/ios/v4/device/../releases",
                             "/api/ios/v4/device/..%2Freleases", "/api/ios/v4%2Freleases",
                             "/api/ios/v4/device/%2E%2E/releases", "/../resources/catalogue/jailbreaks.json",
                             "/api/ios/v4/device/iPhone12,1%00", "/api/ios/v4/device/%zz"}) {
        SCOPED_TRACE(path);
        auto res = c->Get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 404);
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/json; charset=utf-8");
        EXPECT_NE(res->body.find("\"not found\""), std::string::npos);
    }
    // An encoded ordinary character is the character itself.
    auto res = c->Get("/api/ios/v4/device/iPhone12%2C1");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

TEST_F(CatalogueServerTest, OtherMethodsAreNotAllowed) {
    auto c = client();
    std::vector<std::pair<std::string, httplib::Result>> results;
    results.push_back({"POST", c->Post("/jailbreaks.json", "x", "text/plain")});
    results.push_back({"PUT", c->Put("/jailbreaks.json", "x", "text/plain")});
    results.push_back({"DELETE", c->Delete("/api/ios/v4/releases")});
    results.push_back({"OPTIONS", c->Options("/jailbreaks.json")});
    results.push_back({"PATCH", c->Patch("/nothing", "x", "text/plain")});
    for (auto& [method, res] : results) {
        SCOPED_TRACE(method);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 405);
        EXPECT_EQ(res->get_header_value("Allow"), "GET, HEAD");
    }
}

TEST_F(CatalogueServerTest, ItsCAIsWrittenAndOnlyClientsTrustingItConnect) {
    EXPECT_EQ(server_->caPath(), run_.path() + "/run/ca.pem");
    EXPECT_EQ(readFile(server_->caPath()), server_->caPEM());
    EXPECT_EQ((fs::status(run_.path() + "/run").permissions() & fs::perms::others_all), fs::perms::none);
    EXPECT_EQ(server_->url(), "https://127.0.0.1:" + std::to_string(server_->port()));

    auto untrusting = client(false);
    untrusting->set_ca_cert_path(PROJECT_SOURCE_DIR "/resources/catalogue/jailbreaks.json");  // no roots at all
    auto res = untrusting->Get("/jailbreaks.json");
    EXPECT_FALSE(res);

    // The leaf names "localhost" too.
    httplib::SSLClient byName("localhost", server_->port());
    byName.set_ca_cert_path(server_->caPath().c_str());
    byName.enable_server_certificate_verification(true);
    auto named = byName.Get("/jailbreaks.json");
    ASSERT_TRUE(named) << httplib::to_string(named.error());
    EXPECT_EQ(named->status, 200);
}

TEST_F(CatalogueServerTest, PlainHTTPGetsNoAnswer) {
    httplib::Client plain("127.0.0.1", server_->port());
    plain.set_read_timeout(5);
    auto res = plain.Get("/jailbreaks.json");
    EXPECT_TRUE(!res || res->status != 200);
}

TEST_F(CatalogueServerTest, StopEndsServingAndIsIdempotent) {
    int port = server_->port();
    server_->stop();
    server_->stop();
    httplib::SSLClient c("127.0.0.1", port);
    c.enable_server_certificate_verification(false);
    c.set_connection_timeout(2);
    EXPECT_FALSE(c.Get("/jailbreaks.json"));
}

// A client that keeps its connection open after a request does not hold the stop for the
// server's keep-alive time (a second): the host exits right after its app's last request.
TEST_F(CatalogueServerTest, StopDoesNotWaitForAnIdleKeptAliveConnection) {
    auto c = client();
    c->set_keep_alive(true);
    auto first = c->Get("/jailbreaks.json");
    ASSERT_TRUE(first);
    ASSERT_EQ(first->status, 200);
    auto started = std::chrono::steady_clock::now();
    server_->stop();
    auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(took, 0.5);
}

TEST(CatalogueServerStart, RefusesWhatCannotBeServed) {
    TempDir broken;
    broken.write("jailbreaks.json", "{\"jailbreaks\": [}");
    broken.write("api/ios/v4/releases.json", "{\"releases\": []}");
    TempDir empty;
    empty.write("notes.txt", "nothing here");
    TempDir scalar;
    scalar.write("api/ios/v4/device/X1,1.json", "42");
    TempDir deep;
    deep.write("jailbreaks.json", std::string(600, '[') + std::string(600, ']'));
    TempDir badText;
    badText.write("jailbreaks.json", "{\"name\": \"\xC3\x28\"}");
    TempDir twoDocuments;
    twoDocuments.write("jailbreaks.json", "{} {}");
    TempDir nulAfter;
    nulAfter.write("jailbreaks.json", std::string("{}\0{}", 5));
    TempDir controlInString;
    controlInString.write("jailbreaks.json", "{\"name\": \"a\tb\"}");
    // Enough documents that they are read by several threads; one of them is cut short.
    TempDir many;
    for (int i = 0; i < 200; ++i)
        many.write("api/ios/v4/device/M" + std::to_string(i) + ",1.json", i == 137 ? "{\"firmwares\": [" : "{\"firmwares\": []}");

    struct Case {
        std::string name, root, expected;
    } cases[] = {
        {"broken document", broken.path(), broken.path() + "/jailbreaks.json"},
        {"no documents", empty.path(), "no catalogue documents"},
        {"missing folder", broken.path() + "/absent", "not found"},
        {"a number is not a document", scalar.path(), "X1,1.json"},
        {"one broken among many", many.path(), "M137,1.json: not a JSON document"},
        {"nested deeper than the app reads", deep.path(), "nested too deeply"},
        {"text that is not UTF-8", badText.path(), "jailbreaks.json: not a JSON document"},
        {"two documents in one file", twoDocuments.path(), "jailbreaks.json: not a JSON document"},
        {"a NUL byte after the document", nulAfter.path(), "jailbreaks.json: not a JSON document"},
        {"a raw control character in a string", controlInString.path(), "jailbreaks.json: not a JSON document"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CatalogueServer::Options options;
        options.root = c.root;
        std::string error;
        EXPECT_FALSE(CatalogueServer::start(options, &error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(CatalogueServerStart, StrictDocumentsAreKeptAsStoredWhateverTheirText) {
    // Plain ASCII, text beyond ASCII, escapes, and lengths around the reader's 16-byte scans.
    const std::vector<std::string> documents = {
        "{}",
        "[1, 2.5, -3e2, true, false, null]",
        "{\"name\": \"caf\xC3\xA9 \xE2\x9C\x85\"}",
        "{\"escaped\": \"\\u00e9\\n\\\"\"}",
        "{\"k\": \"" + std::string(15, 'x') + "\"}",
        "{\"k\": \"" + std::string(16, 'x') + "\"}",
        "  {\"k\": \"" + std::string(31, 'x') + "\"}  \n",
    };
    for (const auto& document : documents) {
        SCOPED_TRACE(document);
        TempDir root;
        root.write("jailbreaks.json", document);
        CatalogueServer::Options options;
        options.root = root.path();
        std::string error;
        auto server = CatalogueServer::start(options, &error);
        ASSERT_TRUE(server) << error;
        const std::string* stored = server->index().documentForPath("/jailbreaks.json");
        ASSERT_TRUE(stored);
        EXPECT_EQ(*stored, document);
    }
}

TEST(CatalogueServerStart, ATakenPortIsRefusedNamingIt) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    int port = ntohs(addr.sin_port);

    CatalogueServer::Options options;
    options.root = kBundled;
    options.port = port;
    std::string error;
    EXPECT_FALSE(CatalogueServer::start(options, &error));
    EXPECT_NE(error.find("127.0.0.1:" + std::to_string(port)), std::string::npos) << error;
    close(fd);
}

TEST(CatalogueServerStart, AGivenPortIsUsed) {
    // Find a free port, then ask for it.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    int port = ntohs(addr.sin_port);
    close(fd);

    CatalogueServer::Options options;
    options.root = kBundled;
    options.port = port;
    std::string error;
    auto server = CatalogueServer::start(options, &error);
    ASSERT_TRUE(server) << error;
    EXPECT_EQ(server->port(), port);
    EXPECT_TRUE(server->caPath().empty());
}
