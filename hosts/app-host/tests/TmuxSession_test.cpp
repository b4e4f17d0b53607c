// The host in a real terminal: a 100×40 tmux session on a socket of the
// test's own, a shell in the pane starting the program, keys sent with
// send-keys, the screen read with capture-pane until a deadline.

#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace hosttest;

namespace {

std::string tmuxPath() {
    for (const char* p : {"/usr/bin/tmux", "/bin/tmux", "/usr/local/bin/tmux"})
        if (access(p, X_OK) == 0) return p;
    return {};
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

class Tmux {
public:
    explicit Tmux(const std::string& workdir) : tmux_(tmuxPath()) {
        static std::atomic<int> counter{0};
        socket_ = "fbhost-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        config_ = workdir + "/tmux.conf";
        std::ofstream(config_) << "set -g default-terminal xterm-256color\nset -g status off\n";
    }
    ~Tmux() {
        if (started_) run({"kill-server"});
    }
    bool start(const std::map<std::string, std::string>& env) {
        std::vector<std::string> args{"new-session", "-d", "-x", "100", "-y", "40", "-s", "main"};
        for (const auto& [k, v] : env) {
            args.push_back("-e");
            args.push_back(k + "=" + v);
        }
        args.push_back("/bin/sh");
        started_ = run(args) == 0;
        return started_;
    }
    int run(std::vector<std::string> args, std::string* out = nullptr) {
        std::vector<std::string> argv{tmux_, "-L", socket_, "-f", config_};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess p(argv);
        auto code = p.wait(10);
        if (out) *out = p.out;
        return code.value_or(-1);
    }
    void keys(std::vector<std::string> names) {
        std::vector<std::string> args{"send-keys", "-t", "main"};
        args.insert(args.end(), names.begin(), names.end());
        run(args);
    }
    void type(const std::string& text) { run({"send-keys", "-t", "main", "-l", text}); }
    std::string capture() {
        std::string out;
        run({"capture-pane", "-p", "-t", "main"}, &out);
        return out;
    }
    // Captures until the pane shows `text`; false at the deadline.
    bool waitFor(const std::string& text, double seconds = 30) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        while (std::chrono::steady_clock::now() < deadline) {
            last = capture();
            if (last.find(text) != std::string::npos) return true;
        }
        return false;
    }
    std::string last;

private:
    std::string tmux_, socket_, config_;
    bool started_ = false;
};

}  // namespace

TEST(TmuxSession, TheHostRunsInAPaneAndLeavesTheShellAsItWas) {
    if (tmuxPath().empty()) GTEST_SKIP() << "tmux is not installed";
    HostFolder folder;
    std::string bundle = folder.makeBundle();
    Tmux tmux(folder.root());
    ASSERT_TRUE(tmux.start({{"APP_BUNDLE_PATH", bundle}, {"APP_DEVICE_ROOT", folder.root() + "/device"}}));
    tmux.type("echo before-the-app");
    tmux.keys({"Enter"});
    ASSERT_TRUE(tmux.waitFor("before-the-app\n")) << tmux.last;
    tmux.type(std::string(HOST_TEST_PROGRAM) + " --sandbox " + quote(folder.sandbox()) + "; echo exit-status=$?");
    tmux.keys({"Enter"});
    ASSERT_TRUE(tmux.waitFor("Row 1")) << tmux.last;
    tmux.keys({"Down", "Enter"});
    ASSERT_TRUE(tmux.waitFor("Opened Row 2")) << tmux.last;
    tmux.keys({"*"});
    ASSERT_TRUE(tmux.waitFor("star on")) << tmux.last;
    tmux.keys({"2"});
    ASSERT_TRUE(tmux.waitFor("[About]")) << tmux.last;
    tmux.keys({"q"});
    ASSERT_TRUE(tmux.waitFor("exit-status=0")) << tmux.last;
    EXPECT_NE(tmux.last.find("before-the-app"), std::string::npos) << "the alternate screen was left\n" << tmux.last;
    EXPECT_EQ(tmux.last.find("[About]"), std::string::npos) << tmux.last;
}

TEST(TmuxSession, TheReadmeCommandsProgramOnAFreshSandbox) {
    if (tmuxPath().empty()) GTEST_SKIP() << "tmux is not installed";
    HostFolder folder;
    {
        // Skipped, not passed, when the app is not linked into this build.
        ChildProcess::Options o;
        o.environment = {{"APP_SANDBOX_ROOT", folder.sandbox()}, {"APP_DEVICE_ROOT", folder.root() + "/device"}};
        ProgramRun probe = runProgram(FIRMWARE_BROWSER_PROGRAM, {"--print-screen"}, o, 60);
        if (probe.code == 1 && (probe.err.find("no application delegate named AppDelegate") != std::string::npos ||
                                probe.err.find("app bundle not found") != std::string::npos))
            GTEST_SKIP() << "the app is not linked into this build";
        fs::remove_all(folder.sandbox());
    }
    Tmux tmux(folder.root());
    ASSERT_TRUE(tmux.start({{"APP_DEVICE_ROOT", folder.root() + "/device"}}));
    tmux.type("echo before-the-app");
    tmux.keys({"Enter"});
    ASSERT_TRUE(tmux.waitFor("before-the-app\n")) << tmux.last;
    tmux.type(std::string(FIRMWARE_BROWSER_PROGRAM) + " --sandbox " + quote(folder.sandbox()) + "; echo exit-status=$?");
    tmux.keys({"Enter"});
    ASSERT_TRUE(tmux.waitFor("iPhone 1  (iPhone1,1)")) << tmux.last;
    tmux.keys({"Down", "Enter"});
    ASSERT_TRUE(tmux.waitFor("(iPhone1,2)") || tmux.waitFor("iPhone 3G")) << tmux.last;
    std::string before = tmux.last;
    ASSERT_TRUE(tmux.waitFor("  (")) << tmux.last;
    tmux.keys({"*"});
    ASSERT_TRUE(tmux.waitFor("StarOn")) << tmux.last;
    tmux.keys({"2"});
    ASSERT_TRUE(tmux.waitFor("[" )) << tmux.last;
    tmux.keys({"q"});
    ASSERT_TRUE(tmux.waitFor("exit-status=0")) << tmux.last;
    EXPECT_NE(tmux.last.find("before-the-app"), std::string::npos) << tmux.last;
}
