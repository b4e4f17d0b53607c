// The upload sink against the loopback collection sink: file names, the module filter, the
// answer outcomes, encryption, the multipart form and the international host switch. Bodies
// are read by an independent reader (Python's email and gzip, the openssl command).

#include <gtest/gtest.h>

#include <regex>

#include <crash_reporting/ZPKCRHTTPMultipartPostBody.h>
#include <crash_reporting/ZPKCRHTTPRequestSender.h>
#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <crash_reporting/ZUDCrashReportSinkUp4.h>
#include <crash_reporting/ZUDData.h>
#include <crash_reporting/ZUDDeepKeyPath.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSTimeZone.h>

#include "UploadTestSupport.h"

using namespace reporting_test;

namespace {

class Sink : public UploadTest {
protected:
    // Runs the default chain (text, gzip, sink) over the reports; completes at once.
    void deliver(const Value& reports) {
        bool completed = false;
        sinkUnderTest->defaultCrashReportFilterSet()->filterReports(reports, [&](Value, bool c, NSErrorPtr) {
            completed = c;
        });
        EXPECT_TRUE(completed);
    }
    std::string appleText(const Value& report) { return ZUDCrashReportFilterAppleFmt(0).toAppleFormat(report); }

    void SetUp() override {
        UploadTest::SetUp();
        sinkUnderTest = ZUDCrashReportSinkUp4::sink();
    }
    std::shared_ptr<ZUDCrashReportSinkUp4> sinkUnderTest;
};

const std::regex kUUID("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");

TEST_F(Sink, FileNames) {
    NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("Asia/Tokyo"));
    auto sink = ZUDCrashReportSinkUp4::sink();
    NSTimeZone::setDefaultTimeZone(nullptr);
    Value base = NSJSONSerialization::JSONObjectWithData(std::string_view(R"({
        "report": {"timestamp": "2024-03-05T10:20:30.123456Z"},
        "system": {"CFBundleShortVersionString": "9.9"},
        "crash": {"error": {"type": "nsexception"}},
        "user": {"ZUDConfig": {"appName": "Demo", "appVersion": "1.2", "buildDate": "20"}}})"),
                                                         NSJSONReadingMutableContainers);
    NSDateFormatter now;
    now.setDateFormat("yyyyMMddHHmm");
    now.setTimeZone(NSTimeZone::timeZoneWithName("Asia/Tokyo"));
    struct Case {
        const char* title;
        std::function<void(Value&)> edit;
        bool ext;
        std::string prefix;  // before the UUID
        std::string suffix;  // after it
    };
    const Case cases[] = {
        {"crash", nullptr, false, "Demo_1.2_20_", "_20240305192030_0_0.crash.gz"},
        {"block", [](Value& r) { r.setObject(Value::dict({{Value("error"), Value::dict({{Value("type"), Value("user")},
              {Value("user_reported"), Value::dict({{Value("name"), Value("block")}})}})}}), Value("crash")); },
         false, "Demo_1.2_20_", "_20240305192030_0_0.block.gz"},
        {"other user report", [](Value& r) { r.setObject(Value::dict({{Value("error"), Value::dict({{Value("type"), Value("user")},
              {Value("user_reported"), Value::dict({{Value("name"), Value("oops")}})}})}}), Value("crash")); },
         false, "Demo_1.2_20_", "_20240305192030_0_0.exception.gz"},
        {"extension", nullptr, true, "Demo_1.2_20_", "_20240305192030_0_0.extcrash.gz"},
        {"extension names", [](Value& r) {
             r.setObject(Value("2.0"), Value("main_app_version"));
             r.setObject(Value("77"), Value("_zud_build_date"));
         }, true, "Demo_2.0_77_", "_20240305192030_0_0.extcrash.gz"},
        {"bundle version and configured name", [](Value& r) { r.removeObjectForKey(Value("user")); }, false,
         "Demo_9.9__", "_20240305192030_0_0.crash.gz"},
        {"empty app version", [](Value& r) { zud_setObjectForKeyPath(r, Value(""), "user/ZUDConfig/appVersion"); },
         false, "Demo_9.9_20_", "_20240305192030_0_0.crash.gz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        Value report = base.mutableCopy();
        report = NSJSONSerialization::JSONObjectWithData(NSJSONSerialization::stringWithJSONObject(base, 0, nullptr),
                                                         NSJSONReadingMutableContainers);
        if (c.edit) c.edit(report);
        std::string name = sink->getCrashFileName(report, c.ext);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(name, match, kUUID)) << name;
        EXPECT_EQ(match.prefix().str(), c.prefix);
        EXPECT_EQ(match.suffix().str(), c.suffix);
    }
    // A timestamp that is missing, not text or not in the pattern names the current time.
    for (Value timestamp : {Value(), Value(1796946897840665LL), Value("2024-03-05 10:20:30")}) {
        SCOPED_TRACE(timestamp.description());
        Value report = NSJSONSerialization::JSONObjectWithData(NSJSONSerialization::stringWithJSONObject(base, 0, nullptr),
                                                               NSJSONReadingMutableContainers);
        zud_setObjectForKeyPath(report, timestamp, "report/timestamp");
        std::string before = now.stringFromDate(NSDate::date());
        std::string name = sink->getCrashFileName(report, false);
        std::string after = now.stringFromDate(NSDate::date());
        std::smatch match;
        ASSERT_TRUE(std::regex_search(name, match, kUUID));
        std::string time = match.suffix().str().substr(1, 12);
        EXPECT_TRUE(time == before || time == after) << name;
    }
}

TEST_F(Sink, UploadsTheTextAndDeletesAfterSuccess) {
    Value report = storeFixture("mach");
    deliver(Value::array({report}));
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
    ASSERT_EQ(sink.requestCount(), 1u);
    auto request = sink.requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/upload");
    EXPECT_FALSE(request.header("Content-Encoding"));
    EXPECT_TRUE(request.header("Content-Type").value_or("").starts_with("multipart/form-data; boundary="));
    auto upload = crashsink::decodeUpload(request, "");
    ASSERT_TRUE(upload.ok()) << upload.problems[0];
    EXPECT_EQ(upload.partName, "file");
    EXPECT_EQ(upload.contentType, "application/file");
    EXPECT_TRUE(upload.filename.starts_with("Demo_1.2_20_")) << upload.filename;
    EXPECT_TRUE(upload.filename.ends_with("_0_0.crash.gz")) << upload.filename;
    EXPECT_EQ(upload.text, appleText(report));
    EXPECT_EQ(intlSink.requestCount(), 0u);
}

TEST_F(Sink, EncryptedUploadsAreReadWithTheServicesKey) {
    ZUDMobiConfig::sharedInstance()->setEncryptLog(true);
    Value report = storeFixture("nsexception");
    deliver(Value::array({report}));
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
    ASSERT_EQ(sink.requestCount(), 1u);
    std::string key = crashsink::serviceCipherKey(kKeyPrefix, "Demo", "1.2");
    ASSERT_EQ(key.size(), 16u);
    auto upload = crashsink::decodeUpload(sink.requests()[0], key);
    ASSERT_TRUE(upload.ok()) << upload.problems[0];
    EXPECT_TRUE(upload.filename.ends_with(".crash.gz.ec")) << upload.filename;
    EXPECT_EQ(upload.text, appleText(report));
}

TEST_F(Sink, Outcomes) {
    struct Case {
        const char* title;
        crashsink::Outcome outcome;
        bool deleted;
    };
    const Case cases[] = {
        {"200", crashsink::Outcome::answer(200), true},
        {"204", crashsink::Outcome::answer(204), true},
        {"404", crashsink::Outcome::answer(404), false},
        {"500", crashsink::Outcome::answer(500), false},
        {"closed", crashsink::Outcome::closed(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::size_t before = sink.requestCount();
        Value report = storeFixture("cpp");
        sink.queueOutcome(c.outcome);
        // Watch the outcome reach the main queue through a request of our own after it.
        deliver(Value::array({report}));
        ASSERT_TRUE(sink.waitForRequests(before + 1, 10));
        if (c.deleted) {
            EXPECT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
            continue;
        }
        // Kept: the next pass sends it again (the in-flight mark is gone once the failure
        // came back), and a 200 then deletes it.
        ASSERT_TRUE(spinMainRunLoopUntil([&] {
            if (sink.requestCount() < before + 2) deliver(Value::array({report}));
            return sink.requestCount() >= before + 2;
        }, 10));
        EXPECT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
        EXPECT_EQ(sink.requestCount(), before + 2);
    }
}

TEST_F(Sink, APassWhileUploadsAreInFlightDoesNotSendThemAgain) {
    Value report = storeFixture("mach");
    deliver(Value::array({report}));
    deliver(Value::array({report}));  // the first upload's completion has not reached the main queue
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
    EXPECT_EQ(sink.requestCount(), 1u);
}

TEST_F(Sink, ModuleFilter) {
    auto framework = [](Value& r) {
        zud_setObjectForKeyPath(r, Value("MyFramework"), "crash/threads/0/backtrace/contents/1/object_name");
    };
    struct Case {
        const char* title;
        const char* fixture;
        std::function<void(Value&)> edit;
        bool sent;
    };
    const Case cases[] = {
        {"frame of the module", "mach", framework, true},
        {"no frame of the module", "mach", nullptr, false},
        {"module in a thread that did not crash", "mach",
         [](Value& r) { zud_setObjectForKeyPath(r, Value("MyFramework"), "crash/threads/1/backtrace/contents/0/object_name"); },
         false},
        {"recrash judged by the embedded report", "recrash",
         [](Value& r) {
             zud_setObjectForKeyPath(r, Value("MyFramework"),
                                     "recrash_report/crash/threads/0/backtrace/contents/0/object_name");
         },
         true},
        {"recrash without the module", "recrash", nullptr, false},
    };
    ZUDMobiConfig::sharedInstance()->setFilterModules({"MyFramework"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::size_t before = sink.requestCount();
        Value report = storeFixture(c.fixture, c.edit);
        deliver(Value::array({report}));
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
        EXPECT_EQ(sink.requestCount(), before + (c.sent ? 1 : 0));
        if (c.sent) {
            auto upload = crashsink::decodeUpload(sink.requests().back(), "");
            ASSERT_TRUE(upload.ok());
            EXPECT_EQ(upload.text, appleText(report));
        }
    }
}

TEST_F(Sink, MissingPayloadDeletesWithoutARequest) {
    Value report = storeFixture("mach");
    bool completed = false;
    Value items = Value::array({Value::dict({{Value("report"), report}})});
    sinkUnderTest->filterReports(items, [&](Value out, bool c, NSErrorPtr error) {
        completed = c;
        EXPECT_EQ(out, items);
        EXPECT_FALSE(error);
    });
    EXPECT_TRUE(completed);
    EXPECT_FALSE(stored(report));
    EXPECT_EQ(sink.requestCount(), 0u);
}

TEST_F(Sink, IntlNotificationSwitchesTheHost) {
    ZUDMobiConfig::sharedInstance()->setIntlDomain(true);
    NSNotificationCenter::defaultCenter()->postNotificationName(ZUDChangeIntlSetupNotification);
    EXPECT_EQ(sinkUnderTest->uploadURL()->absoluteString(), intlSink.baseURL() + "/upload");
    Value report = storeFixture("mach");
    deliver(Value::array({report}));
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !stored(report); }, 10));
    EXPECT_EQ(intlSink.requestCount(), 1u);
    EXPECT_EQ(sink.requestCount(), 0u);
    ZUDMobiConfig::sharedInstance()->setIntlDomain(false);
    NSNotificationCenter::defaultCenter()->postNotificationName(ZUDChangeIntlSetupNotification);
    EXPECT_EQ(sinkUnderTest->uploadURL()->absoluteString(), sink.baseURL() + "/upload");
}

TEST(MultipartBody, SerialisesPartsWithEscapedNames) {
    ZPKCRHTTPMultipartPostBody body;
    EXPECT_TRUE(std::regex_match(body.boundary(), std::regex("[0-9a-f]{32}")));
    ZPKCRHTTPMultipartPostBody empty;
    EXPECT_NE(empty.boundary(), body.boundary());
    auto emptyData = empty.data();
    EXPECT_EQ(std::string(emptyData.begin(), emptyData.end()), "\r\n--" + empty.boundary() + "--\r\n");

    body.appendData({'x', 'y'}, "fi\"le", std::string("application/file"), std::string("a\"b.gz"));
    body.zud_appendUTF8String(std::string_view("text\0cut", 8), "plain", std::nullopt, std::nullopt);
    auto data = body.data();
    const std::string& b = body.boundary();
    EXPECT_EQ(std::string(data.begin(), data.end()),
              "--" + b + "\r\nContent-Disposition: form-data; name=\"fi\\\"le\"; filename=\"a\\\"b.gz\"\r\n"
              "Content-Type: application/file\r\n\r\nxy\r\n--" + b +
              "\r\nContent-Disposition: form-data; name=\"plain\"\r\n\r\ntext\r\n--" + b + "--\r\n");
    EXPECT_EQ(body.contentType(), "multipart/form-data; boundary=" + b);
    EXPECT_EQ(ZPKCRHTTPMultipartPostBody::toStringWithQuotesEscaped("\"a\"\""), "\\\"a\\\"\\\"");
}

TEST(RequestSender, OutcomesArriveOnTheMainQueue) {
    reporting_test::freshSandbox();
    auto sender = ZPKCRHTTPRequestSender::sender();
    struct Case {
        const char* title;
        NSURLResponsePtr response;
        NSErrorPtr error;
        std::string expected;
    };
    auto url = NSURL::URLWithString("http://127.0.0.2/upload");
    const Case cases[] = {
        {"nil response", nullptr, nullptr, "error: Response was nil"},
        {"not HTTP", std::make_shared<NSURLResponse>(url, "text/plain", 0, std::nullopt), nullptr,
         "error: Response was of type NSURLResponse. Expected NSHTTPURLResponse"},
        {"transport error", nullptr, NSError::errorWithDomain(NSURLErrorDomain, -1004), "error: -1004"},
        {"200", NSHTTPURLResponse::create(url, 200, std::nullopt, {}), nullptr, "success: 200 ok"},
        {"299", NSHTTPURLResponse::create(url, 299, std::nullopt, {}), nullptr, "success: 299 ok"},
        {"300", NSHTTPURLResponse::create(url, 300, std::nullopt, {}), nullptr, "failure: 300 ok"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::string outcome;
        bool onMain = false;
        auto response = [&](const char* kind) {
            return [&, kind](const NSHTTPURLResponsePtr& r, const std::vector<uint8_t>& d) {
                onMain = NSThread::isMainThread();
                outcome = std::string(kind) + ": " + std::to_string(r->statusCode()) + " " + std::string(d.begin(), d.end());
            };
        };
        std::thread([&] {
            sender->handleResponse(c.response, std::vector<uint8_t>{'o', 'k'}, c.error, response("success"),
                                   response("failure"), [&](const NSErrorPtr& e) {
                                       onMain = NSThread::isMainThread();
                                       outcome = "error: " + (e->domain() == NSURLErrorDomain
                                                                  ? std::to_string(e->code())
                                                                  : e->localizedDescription());
                                       if (e->domain() != NSURLErrorDomain)
                                           EXPECT_EQ(e->domain(), "ZPKCRHTTPRequestSender");
                                   });
        }).join();
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return !outcome.empty(); }, 5));
        EXPECT_EQ(outcome, c.expected);
        EXPECT_TRUE(onMain);
    }
    // Blocks that are not given are simply not called.
    sender->handleResponse(nullptr, std::nullopt, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace
