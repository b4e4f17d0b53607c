// Uncaught NSExceptions in crash children: the exception's own call stack as the
// backtrace, its name, reason and user info; snapshots that let the process go on; a
// foreign uncaught-exception handler found, chained to, or not called.

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace reporttest;

namespace {

std::vector<rapidjson::Document> reportsOf(const std::string& base) {
    std::vector<rapidjson::Document> out;
    for (const auto& path : reportFiles(base)) {
        EXPECT_TRUE(pythonReads(path));
        out.emplace_back();
        EXPECT_TRUE(parse(readFile(path), out.back()));
    }
    return out;
}

}  // namespace

TEST(NSExceptionMonitor, UncaughtException) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("ns-raise");
    ChildResult child = runScenario("ns-raise", base);
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitSignal, SIGABRT);
    auto reports = reportsOf(base);
    ASSERT_EQ(reports.size(), 1u) << "not also as a C++ exception";
    const auto& error = reports[0]["crash"]["error"];
    EXPECT_EQ(str(error, "type"), "nsexception");
    EXPECT_EQ(str(error, "reason"), "ns reason");
    EXPECT_EQ(str(error["nsexception"], "name"), "ScenarioException");
    EXPECT_NE(str(error["nsexception"], "userInfo").find("value"), std::string::npos);
    EXPECT_EQ(str(error["signal"], "name"), "SIGABRT");
    const rapidjson::Value* crashed = crashedThread(reports[0]);
    ASSERT_NE(crashed, nullptr);
    auto symbols = frameSymbols(*crashed);
    // The exception's return addresses: the raise, then the function that raised.
    auto site = std::find(symbols.begin(), symbols.end(), "scenario_raiseNSException");
    ASSERT_NE(site, symbols.end());
    EXPECT_LE(site - symbols.begin(), 1);
}

TEST(NSExceptionMonitor, SnapshotThenUncaught) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("ns-snapshot");
    ChildResult child = runScenario("ns-snapshot", base);
    ASSERT_TRUE(child.finished);
    EXPECT_NE(child.output.find("continued"), std::string::npos);
    EXPECT_EQ(child.exitSignal, SIGABRT);
    auto reports = reportsOf(base);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(str(reports[0]["crash"]["error"]["nsexception"], "name"), "SnapshotException");
    EXPECT_EQ(str(reports[0]["crash"]["error"]["nsexception"], "userInfo"), "(null)");
    EXPECT_EQ(str(reports[1]["crash"]["error"]["nsexception"], "name"), "ScenarioException");
}

TEST(NSExceptionMonitor, ForeignHandler) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* what;
        std::vector<std::string> options;
        bool foreignCalled;
    } cases[] = {
        {"call original", {}, true},
        {"call original off", {"--no-call-original"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string base = freshBase("ns-foreign");
        ChildResult child = runScenario("ns-foreign", base, c.options);
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(outputValue(child.output, "active"), "0 inactive 8");
        EXPECT_EQ(child.output.find("foreign ns handler") != std::string::npos, c.foreignCalled) << child.output;
        auto reports = reportsOf(base);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(str(reports[0]["crash"]["error"], "type"), "nsexception");
    }
}
