// The report store: ids, listing, pruning, reading and deleting; two processes crashing
// in the same second.

#include "ReportTestSupport.h"

#include <crash_core/CRReportStore.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

using namespace reporttest;

namespace {

std::string reportName(const std::string& dir, const std::string& app, uint64_t id, const char* kind = "report",
                       const char* ext = "json") {
    char name[600];
    std::snprintf(name, sizeof name, "%s/%s-%s-%016llx.%s", dir.c_str(), app.c_str(), kind,
                  static_cast<unsigned long long>(id), ext);
    return name;
}

void touch(const std::string& path, const std::string& text = "{}") { std::ofstream(path) << text; }

class ReportStore : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = freshBase("store") + "/Reports";
        crcrs_setMaxReportCount(5);
    }
    std::vector<int64_t> ids() {
        int64_t out[64];
        int n = crcrs_getReportIDs(out, 64);
        return std::vector<int64_t>(out, out + n);
    }
    std::string dir_;
};

}  // namespace

TEST_F(ReportStore, IdsFollowOneAnotherAndNameTheirFiles) {
    crcrs_initialize("App", dir_.c_str());
    EXPECT_TRUE(std::filesystem::is_directory(dir_));
    char first[CRCRS_MAX_PATH_LENGTH], second[CRCRS_MAX_PATH_LENGTH];
    int64_t a = crcrs_nextReportPath(first);
    int64_t b = crcrs_nextReportPath(second);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(first, reportName(dir_, "App", uint64_t(a)));
    char* ext = crcrs_getReportExtFilePath(a);
    EXPECT_EQ(std::string(ext), reportName(dir_, "App", uint64_t(a), "ext", "txt"));
    std::free(ext);
    // The id's high half is the time's, shifted: later seconds give larger ids.
    EXPECT_GT(a, int64_t(1) << 40);
}

TEST_F(ReportStore, ListsOnlyReportsOfTheAppAscending) {
    std::filesystem::create_directories(dir_);
    for (uint64_t id : {0x30ull, 0x10ull, 0x20ull}) touch(reportName(dir_, "App", id));
    touch(reportName(dir_, "App", 0));                       // id 0: not a report
    touch(reportName(dir_, "Other", 0x40));                  // another app
    touch(reportName(dir_, "App", 0x50, "ext", "txt"));      // side file
    touch(dir_ + "/App-report-0000000000000060.old");        // moved aside
    touch(dir_ + "/notes.txt");
    crcrs_initialize("App", dir_.c_str());
    EXPECT_EQ(ids(), (std::vector<int64_t>{0x10, 0x20, 0x30}));
    EXPECT_EQ(crcrs_getReportCount(), 3);
    int64_t two[2];
    EXPECT_EQ(crcrs_getReportIDs(two, 2), 2);
}

TEST_F(ReportStore, PrunesTheOldestBeyondTheMaximum) {
    std::filesystem::create_directories(dir_);
    for (uint64_t id = 1; id <= 7; ++id) {
        touch(reportName(dir_, "App", id));
        touch(reportName(dir_, "App", id, "ext", "txt"));
    }
    crcrs_initialize("App", dir_.c_str());
    EXPECT_EQ(ids(), (std::vector<int64_t>{3, 4, 5, 6, 7}));
    EXPECT_FALSE(std::filesystem::exists(reportName(dir_, "App", 1, "ext", "txt")));
    EXPECT_FALSE(std::filesystem::exists(reportName(dir_, "App", 2, "ext", "txt")));
    EXPECT_TRUE(std::filesystem::exists(reportName(dir_, "App", 3, "ext", "txt")));
}

TEST_F(ReportStore, ReadsWholeAndDeletes) {
    crcrs_initialize("App", dir_.c_str());
    std::string big(3'000'000, 'x');
    touch(reportName(dir_, "App", 9), "\"" + big + "\"");
    char* text = crcrs_readReport(9);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text), big.size() + 2);
    std::free(text);
    EXPECT_EQ(crcrs_readReport(10), nullptr);
    touch(reportName(dir_, "App", 9, "ext", "txt"));
    crcrs_deleteReportWithID(9);
    EXPECT_FALSE(std::filesystem::exists(reportName(dir_, "App", 9)));
    EXPECT_FALSE(std::filesystem::exists(reportName(dir_, "App", 9, "ext", "txt")));
    crcrs_deleteReportWithID(9);  // missing: no error
    touch(reportName(dir_, "App", 11));
    std::filesystem::create_directories(dir_ + "/sub");
    touch(dir_ + "/sub/file");
    crcrs_deleteAllReports();
    EXPECT_TRUE(std::filesystem::is_directory(dir_));
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

// A taken path (another process of the same second) moves the new report to the next id.
TEST_F(ReportStore, ExclusiveCreateTakesTheNextFreeId) {
    crcrs_initialize("App", dir_.c_str());
    char path[CRCRS_MAX_PATH_LENGTH];
    int64_t next = crcrs_nextReportPath(path);
    touch(reportName(dir_, "App", uint64_t(next + 1)), "taken");
    touch(reportName(dir_, "App", uint64_t(next + 2)), "taken");
    int64_t id = 0;
    int fd = crcrs_createNextReportFile(path, &id);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(id, next + 3);
    EXPECT_EQ(path, reportName(dir_, "App", uint64_t(id)));
    EXPECT_EQ(readFile(reportName(dir_, "App", uint64_t(next + 1))), "taken");
}

TEST(ReportStoreChildren, TwoCrashesInOneSecondGiveTwoReports) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("same-second");
    ChildResult a, b;
    std::thread first([&] { a = runScenario("segv-null", base, {"--mask=02"}); });
    std::thread second([&] { b = runScenario("segv-null", base, {"--mask=02"}); });
    first.join();
    second.join();
    ASSERT_TRUE(a.finished && b.finished);
    EXPECT_EQ(a.exitSignal, SIGSEGV);
    EXPECT_EQ(b.exitSignal, SIGSEGV);
    auto reports = reportFiles(base);
    ASSERT_EQ(reports.size(), 2u);
    for (const auto& r : reports) EXPECT_TRUE(pythonReads(r));
}
