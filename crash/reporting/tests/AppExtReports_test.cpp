// App-extension reports in the app group's "_zpkcrash" folder, uploaded as "extcrash"
// through the loopback collection sink.

#include <gtest/gtest.h>

#include <crash_reporting/ZUDAppExtCrashReportManager.h>
#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/Sandbox.h>

#include "UploadTestSupport.h"

using namespace reporting_test;

namespace {

class AppExtReports : public UploadTest {
protected:
    void SetUp() override {
        UploadTest::SetUp();
        static int round = 0;
        group_ = "group.demo." + std::to_string(++round);
    }
    std::string folder() { return *NSSandbox::containerPathForApplicationGroupIdentifier(group_) + "/_zpkcrash"; }
    // Writes a fixed-up fixture (as an extension leaves it) into the folder.
    std::string leave(const std::string& name, const std::string& file,
                      const std::function<void(Value&)>& edit = nullptr) {
        std::string raw = readFile(std::string(TEST_SOURCE_DIR) + "/fixtures/" + name + ".json");
        char* fixed = crcrashreport_fixupReport(raw.c_str());
        Value report = NSJSONSerialization::JSONObjectWithData(std::string_view(fixed), NSJSONReadingMutableContainers);
        std::free(fixed);
        if (edit) edit(report);
        std::filesystem::create_directories(folder());
        std::string path = folder() + "/" + file;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::string text = NSJSONSerialization::stringWithJSONObject(report, 0, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return path;
    }
    std::size_t filesLeft() {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder())) ++n;
        return n;
    }
    std::string group_;
};

TEST_F(AppExtReports, NoGroupOrNoFolderSendsNothing) {
    ZUDAppExtCrashReportManager manager;
    EXPECT_FALSE(manager.getGroupDirPath());
    manager.sendAllAppExtCrash();
    ZUDMobiConfig::sharedInstance()->setAppGroupIdentifier(group_);
    ASSERT_TRUE(manager.getGroupDirPath());
    EXPECT_EQ(manager.getGroupDirPath()->path(), folder());
    EXPECT_FALSE(std::filesystem::exists(folder()));
    manager.sendAllAppExtCrash();
    // A stored report of the main app goes out after these calls and arrives first.
    Value report = storeFixture("mach");
    ZUDCrashReportSinkUp4::sink()->defaultCrashReportFilterSet()->filterReports(Value::array({report}), nullptr);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
    EXPECT_EQ(sink.requestCount(), 1u);
}

TEST_F(AppExtReports, TwoFilesTwoUploadsThenAnEmptyFolder) {
    ZUDMobiConfig::sharedInstance()->setAppGroupIdentifier(group_);
    leave("mach", "one.json");
    leave("extension", "two.json", [](Value& r) { r.setObject(Value("2.0"), Value("main_app_version")); });
    ZUDAppExtCrashReportManager manager;
    manager.sendAllAppExtCrash();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return filesLeft() == 0; }, 10));
    ASSERT_EQ(sink.requestCount(), 2u);
    std::vector<std::string> names;
    for (const auto& request : sink.requests()) {
        auto upload = crashsink::decodeUpload(request, "");
        ASSERT_TRUE(upload.ok()) << upload.problems[0];
        EXPECT_TRUE(upload.filename.ends_with(".extcrash.gz")) << upload.filename;
        names.push_back(upload.filename);
        if (upload.text.find("Widget ran out of memory") != std::string::npos) {
            EXPECT_TRUE(upload.filename.starts_with("Demo_2.0_20_")) << upload.filename;
        } else {
            EXPECT_TRUE(upload.filename.starts_with("Demo_1.2_20_")) << upload.filename;
        }
    }
    EXPECT_EQ(names.size(), 2u);
}

TEST_F(AppExtReports, AFailedUploadKeepsItsFileForTheNextStart) {
    ZUDMobiConfig::sharedInstance()->setAppGroupIdentifier(group_);
    std::string path = leave("nsexception", "kept.json");
    sink.queueOutcome(crashsink::Outcome::answer(500));
    ZUDAppExtCrashReportManager manager;
    manager.sendAllAppExtCrash();
    ASSERT_TRUE(sink.waitForRequests(1, 10));
    // The failure comes back on the main queue; the next start sends the file again.
    ASSERT_TRUE(spinMainRunLoopUntil([&] {
        if (sink.requestCount() < 2) manager.sendAllAppExtCrash();
        return sink.requestCount() >= 2;
    }, 10));
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return !std::filesystem::exists(path); }, 10));
}

TEST_F(AppExtReports, UnreadableAndNonObjectFiles) {
    ZUDMobiConfig::sharedInstance()->setAppGroupIdentifier(group_);
    std::filesystem::create_directories(folder() + "/a-directory");
    std::string junk = folder() + "/junk.json";
    FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("[1, 2]", f);
    std::fclose(f);
    ZUDAppExtCrashReportManager manager;
    manager.sendAllAppExtCrash();
    // Not an object: sent as an absent report, then removed; the directory stays.
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !std::filesystem::exists(junk); }, 10));
    ASSERT_EQ(sink.requestCount(), 1u);
    auto upload = crashsink::decodeUpload(sink.requests()[0], "");
    ASSERT_TRUE(upload.ok());
    EXPECT_EQ(upload.text, ZUDCrashReportFilterAppleFmt(0).toAppleFormat(Value()));
    EXPECT_TRUE(std::filesystem::exists(folder() + "/a-directory"));
}

}  // namespace
