// The catalogue-server program as other clients meet it: its one line, an
// independent client (curl) trusting the CA it wrote, its exit codes.

#include "ChildProcess.h"

#include <gtest/gtest.h>

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

std::string findProgram(const char* name) {
    for (const char* dir : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        std::string path = std::string(dir) + "/" + name;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

struct Served {
    std::unique_ptr<ChildProcess> process;
    std::string url, ca;
};

Served startServer(std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{CATALOGUE_SERVER_PROGRAM};
    argv.insert(argv.end(), extra.begin(), extra.end());
    Served s;
    s.process = std::make_unique<ChildProcess>(argv);
    auto line = s.process->readLine(20);
    if (!line) return s;
    auto space = line->find(" ca=");
    if (space == std::string::npos) return s;
    s.url = line->substr(0, space);
    s.ca = line->substr(space + 4);
    return s;
}

}  // namespace

TEST(CatalogueProgram, CurlTrustingItsCAFetchesEveryPathByteForByte) {
    std::string curl = findProgram("curl");
    if (curl.empty()) GTEST_SKIP() << "curl is not installed";
    Served s = startServer();
    ASSERT_FALSE(s.url.empty()) << s.process->err;
    EXPECT_EQ(s.url.rfind("https://127.0.0.1:", 0), 0u);
    ASSERT_TRUE(fs::exists(s.ca));

    std::vector<std::pair<std::string, fs::path>> paths{{"/jailbreaks.json", "jailbreaks.json"},
                                                        {"/api/ios/v4/releases", "api/ios/v4/releases.json"}};
    for (const char* version : {"v3", "v4"})
        for (const auto& e : fs::directory_iterator(fs::path(kBundled) / "api/ios" / version / "device"))
            paths.push_back({std::string("/api/ios/") + version + "/device/" + e.path().stem().string(),
                             fs::relative(e.path(), kBundled)});
    for (const auto& [path, file] : paths) {
        SCOPED_TRACE(path);
        ChildProcess fetch({curl, "-sS", "--fail", "--cacert", s.ca, "-D", "/dev/stderr", s.url + path});
        ASSERT_EQ(fetch.wait(), 0) << fetch.err;
        EXPECT_EQ(fetch.out, readFile(fs::path(kBundled) / file));
        EXPECT_NE(fetch.err.find("Content-Type: application/json; charset=utf-8"), std::string::npos) << fetch.err;
    }

    // Without the CA the system's roots do not vouch for it.
    ChildProcess untrusting({curl, "-sS", s.url + "/jailbreaks.json"});
    EXPECT_NE(untrusting.wait(), 0);
    EXPECT_TRUE(untrusting.out.empty());

    s.process->signal(SIGTERM);
    EXPECT_EQ(s.process->wait(), 0);
    EXPECT_FALSE(fs::exists(fs::path(s.ca).parent_path())) << "its own run folder is removed at exit";
}

TEST(CatalogueProgram, SIGINTEndsItCleanlyAndAGivenRunFolderStays) {
    std::string dir = fs::temp_directory_path().string() + "/catalogue-run-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir.data()));
    Served s = startServer({"--run-dir", dir + "/r"});
    ASSERT_FALSE(s.url.empty()) << s.process->err;
    EXPECT_EQ(s.ca, dir + "/r/ca.pem");
    s.process->signal(SIGINT);
    EXPECT_EQ(s.process->wait(), 0);
    EXPECT_TRUE(fs::exists(s.ca));
    fs::remove_all(dir);
}

TEST(CatalogueProgram, RefusalsAndUsage) {
    std::string dir = fs::temp_directory_path().string() + "/catalogue-bad-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir.data()));
    std::ofstream(dir + "/jailbreaks.json") << "not json";
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    } cases[] = {
        {{"--root", dir}, 1, dir + "/jailbreaks.json"},
        {{"--port"}, 2, "--port needs a value"},
        {{"--port", "http"}, 2, "not a port"},
        {{"--bogus"}, 2, "unknown argument: --bogus"},
        {{"--help"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> argv{CATALOGUE_SERVER_PROGRAM};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ChildProcess p(argv);
        EXPECT_EQ(p.wait(), c.code);
        EXPECT_NE(p.err.find(c.says), std::string::npos) << p.err;
        if (c.code == 0) {
            EXPECT_NE(p.out.find("usage:"), std::string::npos);
        }
        if (c.code == 1) {
            EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << "one clear line";
        }
    }
    fs::remove_all(dir);
}
