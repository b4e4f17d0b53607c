// The load-time pass: dates, demangled names, everything else unchanged.

#include "ReportTestSupport.h"

#include <crash_core/CRReportFixup.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace reporttest;

namespace {

std::string fixup(const std::string& text) {
    char* fixed = crcrashreport_fixupReport(text.c_str());
    std::string out = fixed ? fixed : "<NULL>";
    std::free(fixed);
    return out;
}

std::string reportWith(const std::string& version, int64_t timestamp, const std::string& crash,
                       const std::string& rest = "") {
    return "{\"report\":{\"version\":\"" + version + "\",\"timestamp\":" + std::to_string(timestamp) +
           ",\"type\":\"standard\"},\"crash\":" + crash + rest + "}";
}

std::string threadWithSymbol(const std::string& symbol) {
    return "{\"threads\":[{\"backtrace\":{\"contents\":[{\"symbol_name\":\"" + symbol + "\",\"symbol_addr\":1}]}}]}";
}

}  // namespace

TEST(ReportFixup, DatesAndNames) {
    // 2026-12-10T20:42:11Z
    const int64_t seconds = 1796935331;
    struct Case {
        const char* what;
        std::string input;
        const char* path;  // of the value checked: "a/b/0/c"
        std::string expected;
    } cases[] = {
        {"3.3.0: microseconds", reportWith("3.3.0", seconds * 1000000 + 123456, "{}"), "report/timestamp",
         "2026-12-10T20:42:11.123456Z"},
        {"3.2.0: seconds", reportWith("3.2.0", seconds, "{}"), "report/timestamp", "2026-12-10T20:42:11Z"},
        {"a C++ symbol", reportWith("3.3.0", 0, threadWithSymbol("_ZN3foo3barEv")),
         "crash/threads/0/backtrace/contents/0/symbol_name", "foo::bar()"},
        {"a C function stays as it is", reportWith("3.3.0", 0, threadWithSymbol("f")),
         "crash/threads/0/backtrace/contents/0/symbol_name", "f"},
        {"a Swift symbol", reportWith("3.3.0", 0, threadWithSymbol("_TF1M3fooFSiSi")),
         "crash/threads/0/backtrace/contents/0/symbol_name", "foo(Int) -> Int"},
        {"an unknown name", reportWith("3.3.0", 0, threadWithSymbol("_Znot a name")),
         "crash/threads/0/backtrace/contents/0/symbol_name", "_Znot a name"},
        {"an exception type name", reportWith("3.3.0", 0, "{\"error\":{\"cpp_exception\":{\"name\":\"St13runtime_error\"}}}"),
         "crash/error/cpp_exception/name", "std::runtime_error"},
        {"the embedded report keeps its own version",
         "{\"recrash_report\":{\"report\":{\"version\":\"3.2.0\",\"timestamp\":" + std::to_string(seconds) +
             "}},\"report\":{\"version\":\"3.3.0\",\"timestamp\":0}}",
         "recrash_report/report/timestamp", "2026-12-10T20:42:11Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        rapidjson::Document doc;
        ASSERT_TRUE(parse(fixup(c.input), doc));
        const rapidjson::Value* v = &doc;
        std::string path = c.path;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find('/', start);
            std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (v->IsArray())
                v = &(*v)[rapidjson::SizeType(std::stoi(part))];
            else
                v = &(*v)[part.c_str()];
            if (end == std::string::npos) break;
            start = end + 1;
        }
        ASSERT_TRUE(v->IsString());
        EXPECT_EQ(v->GetString(), c.expected);
    }
}

TEST(ReportFixup, OtherValuesPassUnchanged) {
    std::string input = reportWith("3.3.0", 5, "{\"error\":{\"address\":18446744073709551615}}",
                                   ",\"user\":{\"timestamp\":42,\"b\":true,\"n\":null,\"f\":1.5,\"s\":\"\\u00e9\"}");
    rapidjson::Document doc;
    ASSERT_TRUE(parse(fixup(input), doc));
    EXPECT_EQ(doc["user"]["timestamp"].GetInt64(), 42);
    EXPECT_TRUE(doc["user"]["b"].GetBool());
    EXPECT_TRUE(doc["user"]["n"].IsNull());
    EXPECT_EQ(doc["user"]["f"].GetDouble(), 1.5);
    EXPECT_STREQ(doc["user"]["s"].GetString(), "\xc3\xa9");
    EXPECT_EQ(doc["crash"]["error"]["address"].GetUint64(), 18446744073709551615ull);
    EXPECT_EQ(keysOf(doc), (std::vector<std::string>{"report", "crash", "user"}));
}

TEST(ReportFixup, RefusesWhatIsNotAReport) {
    EXPECT_EQ(crcrashreport_fixupReport(nullptr), nullptr);
    EXPECT_EQ(fixup("{\"report\":"), "<NULL>");
    EXPECT_EQ(fixup("not json"), "<NULL>");
    std::string deep;
    for (int i = 0; i < 101; ++i) deep += "{\"a\":";
    deep += "1";
    for (int i = 0; i < 101; ++i) deep += "}";
    EXPECT_EQ(fixup(deep), "<NULL>");
}

// Long names and texts and large reports load: the buffers follow the input.
TEST(ReportFixup, LongStringsAndLargeReportsLoad) {
    std::string reason(20000, 'r');
    std::string longName = "_ZN" + std::string("3foo") + "3barEv";
    rapidjson::Document doc;
    ASSERT_TRUE(parse(fixup(reportWith("3.3.0", 0, "{\"error\":{\"reason\":\"" + reason + "\"}}")), doc));
    EXPECT_EQ(std::string(doc["crash"]["error"]["reason"].GetString()), reason);

    std::string base = freshBase("fixup-large");
    std::string dir = base + "/Reports";
    std::filesystem::create_directories(dir);
    std::string frames;
    for (int i = 0; i < 45000; ++i) {
        if (i) frames += ",";
        frames += "{\"symbol_name\":\"_ZN3foo3barEv\",\"instruction_addr\":" + std::to_string(i) + "}";
    }
    std::string big = reportWith("3.3.0", 0, "{\"threads\":[{\"backtrace\":{\"contents\":[" + frames + "]}}]}");
    ASSERT_GT(big.size(), 2'000'000u);
    std::ofstream(dir + "/crash_child-report-0000000000000001.json") << big;
    std::string fixed = fixedUpReport(base);
    ASSERT_TRUE(parse(fixed, doc));
    EXPECT_EQ(doc["crash"]["threads"][0]["backtrace"]["contents"].Size(), 45000u);
    EXPECT_STREQ(doc["crash"]["threads"][0]["backtrace"]["contents"][44999]["symbol_name"].GetString(), "foo::bar()");
    EXPECT_EQ(crcrash_readReport(0), nullptr);
}

TEST(ReportFixup, DateTexts) {
    char text[32];
    crdate_utcStringFromTimestamp(0, text);
    EXPECT_STREQ(text, "1970-01-01T00:00:00Z");
    crdate_utcStringFromTimestamp(951782400, text);  // a leap day
    EXPECT_STREQ(text, "2000-02-29T00:00:00Z");
    crdate_utcStringFromMicroseconds(1000001, text);
    EXPECT_STREQ(text, "1970-01-01T00:00:01.000001Z");
}
