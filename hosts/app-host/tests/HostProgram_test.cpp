// The host program driving a small app of its own (testprogram/): the
// non-interactive mode and its keys, the console, the terminate sequence,
// the interactive mode on a pseudo terminal, and the refusals.

#include "HostTestSupport.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

class HostProgram : public ::testing::Test {
protected:
    ChildProcess::Options env() const {
        ChildProcess::Options o;
        o.environment = {{"APP_BUNDLE_PATH", bundle_}, {"APP_DEVICE_ROOT", folder_.root() + "/device"},
                         {"APP_SANDBOX_ROOT", folder_.sandbox()}};
        o.unset = {"APP_CATALOGUE_BASE_URL", "APP_JAILBREAK_BASE_URL", "APP_NETWORK", "APP_TRUSTED_ROOTS"};
        return o;
    }
    ProgramRun print(std::vector<std::string> args) {
        args.push_back("--print-screen");
        return runProgram(HOST_TEST_PROGRAM, args, env());
    }

    HostFolder folder_;
    std::string bundle_ = folder_.makeBundle();
};

}  // namespace

TEST_F(HostProgram, PrintsTheSettledScreenWithItsStatusLine) {
    ProgramRun r = print({});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Row 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[List]"), std::string::npos);
    EXPECT_NE(r.out.find("active · airplane off"), std::string::npos);
    // The app's own output went to the console log, not to the screen.
    EXPECT_EQ(r.out.find("test delegate"), std::string::npos);
    std::string console = readFile(folder_.system() + "/console.log");
    EXPECT_NE(console.find("test delegate launched"), std::string::npos);
    EXPECT_NE(console.find("test delegate will terminate"), std::string::npos) << "the terminate sequence ran";
}

TEST_F(HostProgram, KeysActOnTheSettledScreenInOrder) {
    struct Case {
        std::string keys;
        std::vector<std::string> shows, hides;
    } cases[] = {
        {"Down Down Enter", {"Opened Row 3", "star off"}, {"Row 4"}},
        {"j j k Enter", {"Opened Row 2"}, {}},
        {"Enter *", {"Opened Row 1", "star on"}, {"star off"}},
        {"Enter * * BSpace", {"Row 1\n", "Row 2\n"}, {"Opened"}},
        {"Enter Escape", {"Row 2\n"}, {"Opened"}},
        {"End Enter", {"Opened Row 60"}, {}},
        {"PageDown PageDown Enter", {"Opened Row"}, {"Opened Row 1\n"}},
        {"2", {"[About]", "no answer", "Ask"}, {"[List]"}},
        {"Tab Tab", {"[Third]"}, {}},
        {"2 Enter", {"Question", "Go on?", "Maybe"}, {"answered"}},
        {"2 Enter Enter", {"answered Yes"}, {"Question"}},
        {"2 Enter 2", {"answered Maybe"}, {"Question"}},
        {"2 Enter Escape", {"answered No"}, {"Question"}},
        {"a", {"airplane on"}, {}},
        {"b", {"background · airplane off"}, {}},
        {"b b", {"active · airplane off"}, {}},
        {"d m", {"active"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        ProgramRun r = print({"--keys", c.keys});
        ASSERT_EQ(r.code, 0) << r.err;
        for (const auto& s : c.shows) EXPECT_NE(r.out.find(s), std::string::npos) << s << "\n" << r.out;
        for (const auto& s : c.hides) EXPECT_EQ(r.out.find(s), std::string::npos) << s << "\n" << r.out;
    }
}

TEST_F(HostProgram, PresentPushesTheNamedScreenOnTheFirstTab) {
    ProgramRun r = print({"--present", "jailbreaks"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Presented by the host"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[List]"), std::string::npos);
}

TEST_F(HostProgram, ABackgroundFetchShowsItsOutcomeAndTheBannerOfItsNotification) {
    ProgramRun r = print({"--keys", "f"});
    ASSERT_EQ(r.code, 0) << r.err;
    // The notification comes a second after the fetch; the host waits for it.
    EXPECT_NE(r.out.find("background · airplane off · fetch: new data · banner: Something changed"), std::string::npos)
        << r.out;
    std::string records = readFile(folder_.system() + "/notifications.jsonl");
    EXPECT_EQ(countLines(records, "\"HostTestNotification\""), 1u) << records;
    EXPECT_EQ(records.find("not shown"), std::string::npos) << records;
}

TEST_F(HostProgram, DeviceSettingsReachThePlatform) {
    ProgramRun denied = print({"--background-refresh", "denied", "--keys", "f"});
    ASSERT_EQ(denied.code, 0) << denied.err;
    EXPECT_EQ(denied.out.find("fetch:"), std::string::npos) << "the delegate is not asked\n" << denied.out;
    ProgramRun offline = print({"--offline"});
    ASSERT_EQ(offline.code, 0);
    EXPECT_NE(offline.out.find("airplane on"), std::string::npos);
    ProgramRun noNotifications = print({"--notifications", "deny", "--keys", "f"});
    ASSERT_EQ(noNotifications.code, 0);
    EXPECT_EQ(noNotifications.out.find("banner:"), std::string::npos);
    EXPECT_NE(readFile(folder_.system() + "/notifications.jsonl").find("not shown"), std::string::npos);
}

TEST_F(HostProgram, UsageErrorsExitTwoAndHelpZero) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    } cases[] = {
        {{"--bogus"}, 2, "unknown argument: --bogus"},
        {{"--sandbox"}, 2, "--sandbox needs a value"},
        {{"--appearance", "purple"}, 2, "--appearance takes light|dark"},
        {{"--keys", "Down Sideways"}, 2, "unknown key name in --keys: Sideways"},
        {{"--catalogue-url", "http://127.0.0.1:1"}, 2, "not an https URL"},
        {{"--jailbreak-url", "https://"}, 2, "https://"},
        {{"--catalogue-url", "not a url at all"}, 2, "not"},
        {{"--present", "settings"}, 2, "--present takes jailbreaks"},
        {{"--help"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        ProgramRun r = runProgram(HOST_TEST_PROGRAM, c.args, env());
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        if (c.code == 2) {
            EXPECT_NE(r.err.find("usage:"), std::string::npos);
        } else {
            EXPECT_NE(r.out.find("usage:"), std::string::npos);
        }
    }
    // The environment's URL is checked like the flag's.
    auto o = env();
    o.environment["APP_CATALOGUE_BASE_URL"] = "ftp://example.invalid";
    ProgramRun fromEnvironment = runProgram(HOST_TEST_PROGRAM, {"--print-screen"}, o);
    EXPECT_EQ(fromEnvironment.code, 2);
}

TEST_F(HostProgram, RefusalsExitOneWithOneLine) {
    std::string file = folder_.root() + "/a-file";
    std::ofstream(file) << "x";
    std::string empty = folder_.root() + "/empty-bundle";
    fs::create_directories(empty);
    std::string broken = folder_.root() + "/broken-catalogue";
    fs::create_directories(broken);
    std::ofstream(broken + "/jailbreaks.json") << "{";
    struct Case {
        std::string name;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        std::string says;
    } cases[] = {
        {"sandbox under a file", {"--sandbox", file + "/sandbox"}, {}, "sandbox not writable"},
        {"no bundle", {}, {{"APP_BUNDLE_PATH", empty}}, "app bundle not found"},
        {"broken catalogue", {"--catalogue-root", broken}, {}, broken + "/jailbreaks.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = env();
        for (const auto& [k, v] : c.env) o.environment[k] = v;
        auto args = c.args;
        args.push_back("--print-screen");
        ProgramRun r = runProgram(HOST_TEST_PROGRAM, args, o);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(countLines(r.err, ""), 1u) << r.err;
    }
}

TEST_F(HostProgram, InteractiveModeDrawsTakesKeysAndRestoresTheTerminal) {
    auto o = env().environment;
    o["TERM"] = "xterm";
    PtyProcess p({HOST_TEST_PROGRAM}, o, 100, 40);
    ASSERT_TRUE(p.waitFor("Row 1")) << p.screen.text();
    EXPECT_TRUE(p.waitFor("active · airplane off")) << p.screen.text();
    p.type("jj\r");
    EXPECT_TRUE(p.waitFor("Opened Row 3")) << p.screen.text();
    EXPECT_TRUE(p.waitFor("star off")) << p.screen.text();
    p.type("*");
    EXPECT_TRUE(p.waitFor("star on")) << p.screen.text();
    p.type("?");
    EXPECT_TRUE(p.waitFor("this list")) << p.screen.text();
    p.type("x");  // closes the list
    EXPECT_TRUE(p.waitForGone("this list")) << p.screen.text();
    EXPECT_TRUE(p.screen.shows("star on")) << p.screen.text();
    // Typed at once: the star waits for the push the Enter started, as a finger would.
    p.type("\x7f");
    EXPECT_TRUE(p.waitForGone("Opened Row 3")) << p.screen.text();
    p.type("j\r*");
    EXPECT_TRUE(p.waitFor("Opened Row 4")) << p.screen.text();
    EXPECT_TRUE(p.waitFor("star on")) << p.screen.text();
    p.type("q");
    EXPECT_EQ(p.wait(), 0);
    EXPECT_NE(p.output.find("\x1b[?1049l"), std::string::npos) << "the alternate screen was left";
    EXPECT_FALSE(p.screen.shows("Row")) << "the shell's screen is back\n" << p.screen.text();
    EXPECT_NE(readFile(folder_.system() + "/console.log").find("test delegate will terminate"), std::string::npos);
}

TEST_F(HostProgram, SignalsRunTheTerminateSequence) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        fs::remove(folder_.system() + "/console.log");
        auto o = env().environment;
        o["TERM"] = "xterm";
        PtyProcess p({HOST_TEST_PROGRAM}, o, 100, 40);
        ASSERT_TRUE(p.waitFor("Row 1")) << p.screen.text();
        p.signal(sig);
        EXPECT_EQ(p.wait(), 0);
        EXPECT_NE(p.output.find("\x1b[?1049l"), std::string::npos);
        EXPECT_NE(readFile(folder_.system() + "/console.log").find("test delegate will terminate"), std::string::npos);
    }
}

TEST_F(HostProgram, ASmallTerminalShowsThePartThatFitsAndSaysSo) {
    auto o = env().environment;
    o["TERM"] = "xterm";
    PtyProcess p({HOST_TEST_PROGRAM}, o, 40, 12);
    ASSERT_TRUE(p.waitFor("top-left part of 75x38")) << p.screen.text();
    EXPECT_TRUE(p.waitFor("Row 1")) << p.screen.text();
    EXPECT_FALSE(p.screen.shows("[List]")) << "the tab bar is below the part shown\n" << p.screen.text();
    p.resize(100, 40);
    EXPECT_TRUE(p.waitFor("[List]")) << "the tab bar fits once the terminal grew\n" << p.screen.text();
    EXPECT_TRUE(p.waitForGone("top-left part")) << p.screen.text();
    p.type("q");
    EXPECT_EQ(p.wait(), 0);
}
