// A crash while a report is being written: one minimal report on the same path, holding
// the finished sections of the first in "recrash_report".

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace reporttest;

namespace {

struct RecrashCase {
    const char* what;
    const char* scenario;
    std::vector<std::string> options;
    int exitSignal;
    const char* firstType;  // "type" of the first report's error
    size_t reasonLength;    // of the first report, 0 when it has none
};

}  // namespace

TEST(ReportRecrash, FaultInTheUserSectionCallback) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    const RecrashCase cases[] = {
        {"after exception-port capture", "segv-null", {"--callback=fault"}, SIGSEGV, "mach", 0},
        {"after signal capture, same signal", "segv-null", {"--callback=fault", "--mask=02"}, SIGSEGV, "signal", 0},
        {"after SIGABRT", "abort", {"--callback=fault"}, SIGSEGV, "signal", 0},
        {"after SIGABRT, signals only", "abort", {"--callback=fault", "--mask=02"}, SIGSEGV, "signal", 0},
        {"after a user report with a 2 KB reason", "user-terminate", {"--callback=fault", "--reason-size=2048"}, SIGSEGV,
         "user", 2048},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string base = freshBase("recrash");
        ChildResult child = runScenario(c.scenario, base, c.options);
        ASSERT_TRUE(child.finished) << "the child hung";
        EXPECT_EQ(child.exitSignal, c.exitSignal);
        EXPECT_TRUE(filesIn(base + "/Reports", ".old").empty());
        auto reports = reportFiles(base);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_TRUE(pythonReads(reports[0]));
        rapidjson::Document doc;
        ASSERT_TRUE(parse(readFile(reports[0]), doc));
        EXPECT_EQ(keysOf(doc), (std::vector<std::string>{"recrash_report", "report", "crash"}));
        EXPECT_EQ(str(doc["report"], "type"), "minimal");
        EXPECT_EQ(keysOf(doc["crash"]), (std::vector<std::string>{"error", "crashed_thread"}));
        EXPECT_FALSE(doc["crash"]["crashed_thread"].HasMember("notable_addresses"));
        const auto& first = doc["recrash_report"];
        ASSERT_TRUE(first.IsObject());
        EXPECT_EQ(str(first["report"], "type"), "standard");
        EXPECT_EQ(str(first["crash"]["error"], "type"), c.firstType);
        if (c.reasonLength) {
            EXPECT_EQ(str(first["crash"]["error"], "reason").size(), c.reasonLength);
        }
        EXPECT_TRUE(first.HasMember("system"));
        EXPECT_FALSE(fixedUpReport(base).empty());
    }
}
