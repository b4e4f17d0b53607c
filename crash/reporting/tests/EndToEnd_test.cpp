// A crash child leaves a report; this process (the next launch) loads it from the store as the
// front does and sends it through the default chain to the loopback collection sink.

#include <gtest/gtest.h>

#include <crash_core/CRCrashC.h>
#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <crash_reporting/ZUDCrashReportSinkUp4.h>
#include <platform_dispatch/RunLoopSpin.h>

#include "UploadTestSupport.h"

using namespace reporting_test;

namespace {

class EndToEnd : public UploadTest {
protected:
    // The stored reports of the crash child's store, loaded: fixed up, decoded, with ids.
    Value loadReports() {
        Value reports = Value::mutableArray();
        int64_t ids[16];
        int n = crcrs_getReportIDs(ids, 16);
        for (int i = 0; i < n; ++i) {
            char* raw = crcrs_readReport(ids[i]);
            if (!raw) continue;
            char* fixed = crcrashreport_fixupReport(raw);
            std::free(raw);
            Value report = NSJSONSerialization::JSONObjectWithData(std::string_view(fixed), NSJSONReadingMutableContainers);
            std::free(fixed);
            report.setObject(Value(ids[i]), Value("report_id"));
            reports.addObject(report);
        }
        return reports;
    }
    void send(const Value& reports) {
        ZUDCrashReportSinkUp4::sink()->defaultCrashReportFilterSet()->filterReports(reports, nullptr);
    }
};

TEST_F(EndToEnd, ACrashIsDeliveredOnceAndDeleted_OrKeptWhileTheSinkIsDown) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's runtime owns the crash child's fault signal, so no report is written";
#endif
    std::string base = bundle_ + "/child";
    auto out = run("APP_SANDBOX_ROOT=" + freshSandbox() + " " + CRASH_CHILD + " scenario segv-null " + base +
                   " >/dev/null 2>&1; true");
    ASSERT_TRUE(out);
    crcrs_initialize("crash_child", (base + "/Reports").c_str());
    ASSERT_EQ(crcrs_getReportCount(), 1);

    // The sink is down: the report stays.
    sink.setDefaultOutcome(crashsink::Outcome::closed());
    Value reports = loadReports();
    ASSERT_EQ(reports.count(), 1u);
    send(reports);
    ASSERT_TRUE(sink.waitForRequests(1, 10));
    // Once the failure is back on the main queue the next pass sends it again.
    sink.setDefaultOutcome(crashsink::Outcome::answer(200));
    ASSERT_TRUE(spinMainRunLoopUntil([&] {
        if (crcrs_getReportCount() == 1 && sink.requestCount() < 2) send(loadReports());
        return crcrs_getReportCount() == 0;
    }, 10));
    ASSERT_EQ(sink.requestCount(), 2u);
    auto upload = crashsink::decodeUpload(sink.requests()[1], "");
    ASSERT_TRUE(upload.ok()) << upload.problems[0];
    EXPECT_EQ(upload.text, ZUDCrashReportFilterAppleFmt(0).toAppleFormat(reports[0]));
    EXPECT_NE(upload.text.find("Exception Type:  EXC_BAD_ACCESS (SIGSEGV)"), std::string::npos);
    EXPECT_TRUE(upload.filename.ends_with(".crash.gz"));
    // Nothing is left to send.
    send(loadReports());
    EXPECT_EQ(loadReports().count(), 0u);
    EXPECT_EQ(sink.requestCount(), 2u);
}

}  // namespace
