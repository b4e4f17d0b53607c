// The main-thread deadlock monitor in crash children (seconds-long waits: slow).

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace reporttest;

TEST(Deadlock, BlockedMainThread) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* what;
        std::vector<std::string> options;
        bool deadlock;
    } cases[] = {
        {"interval 1, blocked 4 s", {"--mask=FF", "--interval=1", "--block=4"}, true},
        {"interval 1, blocked 0.5 s", {"--mask=FF", "--interval=1", "--block=0.5"}, false},
        {"interval 0 never pulses", {"--mask=FF", "--interval=0", "--block=6"}, false},
        {"0, then 1 after the 5 s pause", {"--mask=FF", "--interval=0", "--interval-later=1", "--block=9"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string base = freshBase("deadlock");
        ChildResult child = runScenario("deadlock", base, c.options);
        ASSERT_TRUE(child.finished);
        auto reports = reportFiles(base);
        if (!c.deadlock) {
            EXPECT_EQ(child.exitCode, 0);
            EXPECT_TRUE(reports.empty());
            continue;
        }
        EXPECT_EQ(child.exitSignal, SIGABRT);
        ASSERT_EQ(reports.size(), 1u);
        rapidjson::Document doc;
        ASSERT_TRUE(parse(readFile(reports[0]), doc));
        EXPECT_EQ(str(doc["crash"]["error"], "type"), "deadlock");
        const rapidjson::Value* crashed = crashedThread(doc);
        ASSERT_NE(crashed, nullptr);
        EXPECT_EQ(num(*crashed, "index"), 0u) << "the main thread";
        auto symbols = frameSymbols(*crashed);
        EXPECT_NE(std::find(symbols.begin(), symbols.end(), "scenario_blockMainThread"), symbols.end());
    }
}
