// User-reported exceptions: a snapshot without threads, one with all threads (the
// process goes on), a terminating one, and one dropped while the monitor is off.

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace reporttest;

using Keys = std::vector<std::string>;

TEST(ReportUser, Kinds) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* scenario;
        std::vector<std::string> options;
        bool continues;
        int exitSignal;
        bool withThreads;
        bool terminate;
    } cases[] = {
        {"user-snapshot", {}, true, 0, false, false},
        {"user-all-threads", {}, true, 0, true, false},
        {"user-terminate", {}, false, SIGABRT, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        std::string base = freshBase(c.scenario);
        ChildResult child = runScenario(c.scenario, base, c.options);
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.output.find("continued") != std::string::npos, c.continues);
        EXPECT_EQ(child.exitSignal, c.exitSignal);
        auto reports = reportFiles(base);
        ASSERT_EQ(reports.size(), 1u) << "exactly one report, also when the process aborts afterwards";
        EXPECT_TRUE(pythonReads(reports[0]));
        rapidjson::Document doc;
        ASSERT_TRUE(parse(readFile(reports[0]), doc));
        if (c.withThreads)
            EXPECT_EQ(keysOf(doc), (Keys{"report", "binary_images", "process", "system", "crash", "user", "debug"}));
        else
            EXPECT_EQ(keysOf(doc), (Keys{"report", "system", "crash", "user", "debug"}));
        EXPECT_EQ(doc["crash"].HasMember("threads"), c.withThreads);
        const auto& error = doc["crash"]["error"];
        EXPECT_EQ(str(error, "type"), "user");
        EXPECT_EQ(str(error, "reason"), "scenario reason");
        EXPECT_EQ(str(error["signal"], "name"), "SIGABRT");
        EXPECT_EQ(str(error["mach"], "exception_name"), "EXC_CRASH");
        const auto& user = error["user_reported"];
        EXPECT_EQ(keysOf(user), (Keys{"name", "language", "line_of_code", "backtrace", "terminate_programe"}));
        EXPECT_EQ(str(user, "name"), "ScenarioException");
        ASSERT_TRUE(user["backtrace"].IsArray());
        EXPECT_STREQ(user["backtrace"][1].GetString(), "frame two");
        EXPECT_EQ(user["terminate_programe"].GetBool(), c.terminate);
        if (c.withThreads) {
            const rapidjson::Value* crashed = crashedThread(doc);
            ASSERT_NE(crashed, nullptr);
            EXPECT_TRUE((*crashed)["current_thread"].GetBool());
            EXPECT_FALSE(crashed->HasMember("registers"));
            auto symbols = frameSymbols(*crashed);
            EXPECT_NE(std::find(symbols.begin(), symbols.end(), "_Z11runScenarioiPPc"), symbols.end());
        }
        // A user report counts as a crash for the next launch.
        rapidjson::Document state;
        ASSERT_TRUE(parse(readFile(base + "/Data/CrashState.json"), state));
        EXPECT_TRUE(state["crashedLastLaunch"].GetBool());
    }
}

TEST(ReportUser, DroppedWhileTheMonitorIsOff) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("user-off");
    ChildResult child = runScenario("user-all-threads", base, {"--mask=02"});
    ASSERT_TRUE(child.finished);
    EXPECT_NE(child.output.find("continued"), std::string::npos);
    EXPECT_TRUE(reportFiles(base).empty());
}
