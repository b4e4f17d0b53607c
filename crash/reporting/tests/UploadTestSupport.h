#pragma once
// Upload tests: collection sinks named by the main bundle's Info keys, stored reports in the
// crash core's store, and the kit configuration reset between tests.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <crash_core/CRReportFixup.h>
#include <crash_core/CRReportStore.h>
#include <crash_reporting/ZUDMobiConfig.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSJSONSerialization.h>

#include "CrashUploadSink.h"
#include "ReportingTestSupport.h"

namespace reporting_test {

inline constexpr char kKeyPrefix[] = "Tst8Pfx1";

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshSandbox();
        static int round = 0;
        ++round;
        bundle_ = freshSandbox() + "/Bundle" + std::to_string(round);
        std::filesystem::create_directories(bundle_);
        writeTemp("Bundle" + std::to_string(round) + "/Info.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>CFBundleShortVersionString</key><string>9.9</string>"
                  "<key>ZUDCrashUploadBaseURL</key><string>" + sink.baseURL() + "</string>"
                  "<key>ZUDCrashUploadIntlBaseURL</key><string>" + intlSink.baseURL() + "</string>"
                  "<key>ZUDUploadKeyPrefix</key><string>" + std::string(kKeyPrefix) + "</string>"
                  "</dict></plist>");
        NSBundle::setMainBundlePathForTesting(bundle_);
        reports_ = bundle_ + "/Reports";
        crcrs_initialize("Demo", reports_.c_str());
        auto config = ZUDMobiConfig::sharedInstance();
        config->setAppName(std::string("Demo"));
        config->setEncryptLog(false);
        config->setIntlDomain(false);
        config->setFilterModules({});
        config->setAppGroupIdentifier(std::nullopt);
        config->setEnableDebugLog(std::getenv("CRASH_REPORTING_DEBUG_LOG") != nullptr);
    }
    void TearDown() override { NSBundle::setMainBundlePathForTesting(std::nullopt); }

    // Stores the fixture as the crash core would and answers it as the front loads it: fixed
    // up, decoded, with its "report_id".
    Value storeFixture(const std::string& name, const std::function<void(Value&)>& edit = nullptr) {
        std::string raw = readFile(std::string(TEST_SOURCE_DIR) + "/fixtures/" + name + ".json");
        Value rawReport = NSJSONSerialization::JSONObjectWithData(raw, NSJSONReadingMutableContainers);
        if (edit) edit(rawReport);
        raw = NSJSONSerialization::stringWithJSONObject(rawReport, 0, nullptr);
        char path[CRCRS_MAX_PATH_LENGTH];
        int64_t id = 0;
        int fd = crcrs_createNextReportFile(path, &id);
        EXPECT_GE(fd, 0);
        (void)!::write(fd, raw.data(), raw.size());
        ::close(fd);
        char* fixed = crcrashreport_fixupReport(raw.c_str());
        Value report = NSJSONSerialization::JSONObjectWithData(std::string_view(fixed), NSJSONReadingMutableContainers);
        std::free(fixed);
        report.setObject(Value(id), Value("report_id"));
        return report;
    }
    static bool stored(const Value& report) {
        int64_t ids[64];
        int n = crcrs_getReportIDs(ids, 64);
        for (int i = 0; i < n; ++i)
            if (ids[i] == report.objectForKey(Value("report_id")).integerValue()) return true;
        return false;
    }

    crashsink::CrashUploadSink sink;
    crashsink::CrashUploadSink intlSink;
    std::string bundle_;
    std::string reports_;
};

}  // namespace reporting_test
