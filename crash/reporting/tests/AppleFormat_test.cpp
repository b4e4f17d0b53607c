// The platform-style crash text: a small report written out in full, the absent report,
// register and backtrace layouts, and real reports of the crash core (signal, Mach,
// exceptions, user reports, deadlock, zombie, recrash, extension) with their binary-image
// and backtrace lines recomputed by an independent script.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <crash_core/CRReportFixup.h>
#include <crash_core/CRReportStore.h>
#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSTimeZone.h>

#include "ReportingTestSupport.h"

using namespace reporting_test;

namespace {

class AppleFormat : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        freshSandbox();
        // The display formatter takes the device's zone once.
        NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(0));
    }
    ZUDCrashReportFilterAppleFmt fmt{0};
};

Value json(std::string_view text) { return NSJSONSerialization::JSONObjectWithData(text, NSJSONReadingMutableContainers); }

// A stored report as the crash core wrote it, after the load-time fix-up.
Value fixture(const std::string& name) {
    std::string raw = readFile(std::string(TEST_SOURCE_DIR) + "/fixtures/" + name + ".json");
    char* fixed = crcrashreport_fixupReport(raw.c_str());
    EXPECT_TRUE(fixed) << name;
    Value report = json(fixed ? fixed : "");
    std::free(fixed);
    return report;
}

std::string hex18(const std::string& digits) { return std::string(18 - digits.size(), ' ') + digits; }

const char* kCompact = R"({
 "report": {"version": "3.3.0", "id": "ID-1", "process_name": "Demo", "timestamp": "2024-03-05T10:20:30.123456Z"},
 "system": {"device_app_hash": "hash", "machine": "x86_64", "process_name": "Demo", "process_id": 42,
            "CFBundleExecutablePath": "/app/Demo", "CFBundleIdentifier": "com.example.demo",
            "CFBundleShortVersionString": "9.9", "CFBundleVersion": "20", "cpu_arch": "x86_64",
            "parent_process_id": 1, "system_name": "iOS", "system_version": "15.0", "os_version": "19A",
            "binary_cpu_type": 16777223, "binary_cpu_subtype": 3, "storage": 1000, "free_storage": 400,
            "memory": {"size": 10, "free": 4, "usable": 6}},
 "binary_images": [
   {"image_addr": 8192, "image_size": 4096, "name": "/lib/libfoo.dylib", "uuid": "AB-CD", "cpu_type": 16777223, "cpu_subtype": 3},
   {"image_addr": 4096, "image_size": 4096, "name": "/app/Demo", "uuid": "12-34", "cpu_type": 16777223, "cpu_subtype": 3},
   {"image_addr": 0, "image_size": 16, "name": "/zero", "uuid": "00", "cpu_type": 12, "cpu_subtype": 9}],
 "crash": {
   "error": {"mach": {"exception_name": "EXC_BAD_ACCESS", "code_name": "KERN_INVALID_ADDRESS"},
             "signal": {"signal": 11, "name": "SIGSEGV"}, "address": 16, "type": "mach"},
   "threads": [
     {"index": 0, "crashed": true, "name": "main",
      "backtrace": {"contents": [{"object_name": "/lib/libfoo.dylib", "object_addr": 2048, "instruction_addr": 4096,
                                  "symbol_name": "foo", "symbol_addr": 4000}]},
      "registers": {"basic": {"rax": 1, "rbx": 2, "rcx": 3, "rdx": 4, "rdi": 5, "rsi": 6, "rbp": 7, "rsp": 8,
                              "r8": 9, "r9": 10, "r10": 11, "r11": 12, "r12": 13, "r13": 14, "r14": 15,
                              "r15": 16, "rip": 17, "rflags": 18, "cs": 19, "fs": 20, "gs": 21}}},
     {"index": 1, "crashed": false, "dispatch_queue": "q", "backtrace": {"contents": []}}],
   "diagnosis": "Attempted to dereference garbage pointer 0x10."},
 "user": {"ZUDConfig": {"appVersion": "1.2", "k_crash_ver": "1.3.5", "deviceUDID": "U", "ZC_UserAction": "tap"},
          "CustomUserInfo": {"b": 1, "a": "x"}}
})";

TEST_F(AppleFormat, SmallReportInFull) {
    Value report = json(kCompact);
    std::string registers;
    const char* names[] = {"rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp", "rsp", "r8", "r9", "r10",
                           "r11", "r12", "r13", "r14", "r15", "rip", "rflags", "cs", "fs", "gs"};
    for (int i = 0; i < 21; ++i) {
        char cell[64];
        std::snprintf(cell, sizeof cell, "%6s: 0x%016x ", names[i], i + 1);
        registers += cell;
        if (i % 4 == 3 || i == 20) registers += "\n";
    }
    std::string expected =
        "Incident Identifier: ID-1\n"
        "CrashReporter Key:   hash\n"
        "Hardware Model:      x86_64\n"
        "Process:         Demo [42]\n"
        "Path:            /app/Demo\n"
        "Identifier:      com.example.demo\n"
        "Version:         1.2\n"
        "BundleVersion:    20\n"
        "k_crash_ver:    1.3.5\n"
        "UDID:      U\n"
        "Code Type:       X86_64\n"
        "Parent Process:  ? [1]\n"
        "\n"
        "Date/Time:       2024-03-05 10:20:30.123 +0000\n"
        "OS Version:      iOS 15.0 (19A)\n"
        "Report Version:  104\n"
        "\n"
        "Exception Category: mach\n"
        "Exception Type:  EXC_BAD_ACCESS (SIGSEGV)\n"
        "Exception Codes: KERN_INVALID_ADDRESS at 0x0000000000000010\n"
        "Crashed Thread:  0\n"
        "\nThread 0 name:  main\nThread 0 Crashed:\n"
        "0   libfoo.dylib" + std::string(23, ' ') + " 0x0000000000001000 0x800 + 2048\n"
        "\nThread 1 name:  Dispatch queue: q\nThread 1:\n"
        "\nThread 0 crashed with X86_64 Thread State:\n" + registers +
        "\nBinary Images:\n" +
        hex18("0") + " - " + hex18("0xf") + "  zero armv7  <00> /zero\n" +
        hex18("0x1000") + " - " + hex18("0x1fff") + " +Demo x86_64  <1234> /app/Demo\n" +
        hex18("0x2000") + " - " + hex18("0x2fff") + "  libfoo.dylib x86_64  <abcd> /lib/libfoo.dylib\n" +
        "\nMemory Status(bytes):\nsize: 10\nfree: 4\nusable: 6\n"
        "\nStorage Status(bytes):\nsize: 1000\nfree: 400\n"
        "\nExtra Information:\n"
        "\nCrash Diagnosis: Attempted to dereference garbage pointer 0x10.\n"
        "\nUser Action:       \ntap\n"
        "\nUser Info:       \n" +
        ZUDCrashReportFilterAppleFmt::JSONForObject(json(R"({"a": "x", "b": 1})")) + "\n";
    EXPECT_EQ(fmt.toAppleFormat(report), expected);
    // Sorted keys, pretty printed.
    std::string info = ZUDCrashReportFilterAppleFmt::JSONForObject(json(R"({"b": 1, "a": "x"})"));
    EXPECT_LT(info.find("\"a\""), info.find("\"b\""));
    EXPECT_NE(info.find('\n'), std::string::npos);
}

TEST_F(AppleFormat, AbsentReport) {
    std::string expected =
        "Incident Identifier: (null)\n"
        "CrashReporter Key:   (null)\n"
        "Hardware Model:      (null)\n"
        "Process:         (null) [(null)]\n"
        "Path:            (null)\n"
        "Identifier:      (null)\n"
        "Version:         (null)\n"
        "BundleVersion:    (null)\n"
        "Code Type:       ARM-64\n"
        "Parent Process:  ? [(null)]\n"
        "\n"
        "Date/Time:       (null)\n"
        "OS Version:      (null) (null) ((null))\n"
        "Report Version:  104\n"
        "\n"
        "Exception Type:  0 ((null))\n"
        "Exception Codes: 0x00000000 at 0x0000000000000000\n"
        "Crashed Thread:  0\n"
        "\nStorage Status(bytes):\nsize: (null)\nfree: (null)\n"
        "\nExtra Information:\n";
    EXPECT_EQ(fmt.toAppleFormat(Value()), expected);
}

TEST_F(AppleFormat, Arm64RegistersSortByName) {
    Value registers = Value::mutableDictionary();
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i) names.push_back("x" + std::to_string(i));
    for (const char* n : {"fp", "lr", "sp", "pc", "cpsr"}) names.push_back(n);
    for (const auto& n : names) registers.setObject(Value(1), Value(n));
    Value report = Value::dict({{Value("crash"),
                                 Value::dict({{Value("threads"),
                                               Value::array({Value::dict({{Value("index"), Value(3)},
                                                                          {Value("crashed"), Value(true)},
                                                                          {Value("registers"),
                                                                           Value::dict({{Value("basic"), registers}})}})})}})}});
    std::string text = fmt.crashedThreadCPUStateStringForReport(report, "arm64");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Thread 3 crashed with ARM-64 Thread State:");
    EXPECT_EQ(lines[2], "  cpsr: 0x0000000000000001     fp: 0x0000000000000001     lr: 0x0000000000000001     pc: "
                        "0x0000000000000001 ");
    EXPECT_EQ(lines[3].substr(0, 41), "    sp: 0x0000000000000001     x0: 0x0000");
    EXPECT_NE(lines[3].find("x1: "), std::string::npos);
    EXPECT_NE(lines[3].find("x10: "), std::string::npos);
    EXPECT_EQ(lines[10].size(), 3u * 27u);
    // A register the order table names but the thread lacks prints as 0.
    std::string x86 = fmt.crashedThreadCPUStateStringForReport(report, "x86_64");
    EXPECT_NE(x86.find("   rax: 0x0000000000000000 "), std::string::npos);
}

TEST_F(AppleFormat, BacktraceStyles) {
    Value backtrace = json(R"({"contents": [
        {"object_name": "/app/Demo", "object_addr": 4096, "instruction_addr": 4196, "symbol_name": "main", "symbol_addr": 4100},
        {"object_name": "/lib/libz.so", "object_addr": 8192, "instruction_addr": 8200, "symbol_name": "<redacted>", "symbol_addr": 8192},
        {"object_name": "/lib/libq.so", "object_addr": 8192, "instruction_addr": 8200},
        {"instruction_addr": 16}]})");
    std::string pad = [] { return std::string(); }();
    auto line = [](int n, const std::string& image, const char* pc, const std::string& tail) {
        std::size_t units = image.size();
        return std::to_string(n) + std::string(4 - std::to_string(n).size(), ' ') + image +
               std::string(units < 35 ? 35 - units : 0, ' ') + " " + pc + " " + tail + "\n";
    };
    std::string plain0 = line(0, "Demo", "0x0000000000001064", "0x1000 + 100");
    std::string plain1 = line(1, "libz.so", "0x0000000000002008", "0x2000 + 8");
    std::string plain2 = line(2, "libq.so", "0x0000000000002008", "0x2000 + 8");
    std::string plain3 = line(3, "(null)", "0x0000000000000010", "0x0 + 16");
    struct Case {
        int style;
        std::string expected;
    };
    const Case cases[] = {
        {0, plain0 + plain1 + plain2 + plain3},
        {1, plain0 + line(1, "libz.so", "0x0000000000002008", "0x2000 + 8") + plain2 + plain3},
        {2, line(0, "Demo", "0x0000000000001064", "0x1000 + 100 (main + 96)") +
                line(1, "libz.so", "0x0000000000002008", "0x2000 + 8 (<redacted> + 8)") + plain2 + plain3},
        {3, line(0, "Demo", "0x0000000000001064", "main + 96") + plain1 + plain2 + plain3},
        {7, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(fmt.backtraceString(backtrace, c.style, Value("Demo")), c.expected);
    }
    // Style 1 symbolicates what is not the main executable.
    Value other = json(R"({"contents": [{"object_name": "/lib/libz.so", "object_addr": 8192, "instruction_addr": 8200,
                                         "symbol_name": "zfn", "symbol_addr": 8196}]})");
    EXPECT_EQ(fmt.backtraceString(other, 1, Value("Demo")), line(0, "libz.so", "0x0000000000002008", "zfn + 4"));
    // A name longer than the column is not cut; padding counts UTF-16 units.
    std::string longName(40, 'L');
    Value longFrame = Value::dict({{Value("contents"), Value::array({Value::dict({{Value("object_name"), Value(longName)}})})}});
    EXPECT_EQ(fmt.backtraceString(longFrame, 0, Value()), "0   " + longName + " 0x0000000000000000 0x0 + 0\n");
    // Names and symbols longer than a line usually is.
    std::string veryLong(300, 'V');
    Value veryLongFrame = Value::dict({{Value("contents"), Value::array({Value::dict(
        {{Value("object_name"), Value("/lib/" + veryLong)}, {Value("symbol_name"), Value(veryLong + "s")},
         {Value("instruction_addr"), Value(16)}, {Value("symbol_addr"), Value(8)}})})}});
    EXPECT_EQ(fmt.backtraceString(veryLongFrame, 3, Value()),
              "0   " + veryLong + " 0x0000000000000010 " + veryLong + "s + 8\n");
    EXPECT_EQ(fmt.backtraceString(veryLongFrame, 2, Value()),
              "0   " + veryLong + " 0x0000000000000010 0x0 + 16 (" + veryLong + "s + 8)\n");
    Value wide = Value::dict({{Value("contents"), Value::array({Value::dict({{Value("object_name"), Value("\xF0\x9F\x98\x80")}})})}});
    EXPECT_EQ(fmt.backtraceString(wide, 0, Value()),
              "0   \xF0\x9F\x98\x80" + std::string(33, ' ') + " 0x0000000000000000 0x0 + 0\n");
}

TEST_F(AppleFormat, Helpers) {
    const std::pair<Value, const char*> types[] = {{Value("arm64e"), "ARM-64"}, {Value("armv7"), "ARM"},
                                                   {Value("x86"), "X86"},       {Value("x86_64"), "X86_64"},
                                                   {Value("i386"), "Unknown"},  {Value(), "ARM-64"}};
    for (const auto& [arch, name] : types) EXPECT_EQ(ZUDCrashReportFilterAppleFmt::CPUType(arch), name);
    struct Arch {
        int32_t type, subtype;
        const char* name;
    };
    const Arch archs[] = {{7, 3, "i386"},          {12, 6, "armv6"},         {12, 9, "armv7"},
                          {12, 10, "armv7f"},      {12, 11, "armv7s"},       {12, 12, "armv7k"},
                          {12, 1, "arm"},          {16777223, 3, "x86_64"},  {16777228, 2, "arm64e"},
                          {16777228, 0, "arm64"},  {99, -1, "unknown(99,-1)"}};
    for (const auto& a : archs) EXPECT_EQ(ZUDCrashReportFilterAppleFmt::CPUArchForMajor(a.type, a.subtype), a.name);
    EXPECT_EQ(ZUDCrashReportFilterAppleFmt::toCompactUUID(Value("3E30D372-4DE9-2FD7")), "3e30d3724de92fd7");
    EXPECT_EQ(ZUDCrashReportFilterAppleFmt::majorVersion(json(R"({"report": {"version": "3.3.0"}})")), 3);
    EXPECT_EQ(ZUDCrashReportFilterAppleFmt::majorVersion(json(R"({"report": {"version": {"major": 2}}})")), 2);
    EXPECT_EQ(ZUDCrashReportFilterAppleFmt::majorVersion(json(R"({"report": {}})")), 0);
    EXPECT_FALSE(ZUDCrashReportFilterAppleFmt::dateFromTimestamp(Value("2024-03-05T10:20:30Z")));
    EXPECT_FALSE(ZUDCrashReportFilterAppleFmt::dateFromTimestamp(Value(1796946897840665LL)));
}

TEST_F(AppleFormat, FilterKeepsVersionThreeOnly) {
    Value reports = Value::array({fixture("mach"), fixture("version2"), json(R"({"report": {}})")});
    Value out;
    bool completed = false;
    fmt.filterReports(reports, [&](Value r, bool c, NSErrorPtr) {
        out = r;
        completed = c;
    });
    EXPECT_TRUE(completed);
    ASSERT_EQ(out.count(), 1u);
    EXPECT_EQ(out[0].objectForKey(Value("report")), reports[0]);
    EXPECT_EQ(out[0].objectForKey(Value("appleReport")), Value(fmt.toAppleFormat(reports[0])));
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(AppleFormat, FixtureReports) {
    struct Case {
        const char* name;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"signal",
         {"Exception Category: signal\nException Type:  0 (SIGSEGV)\nException Codes: 0x00000000 at 0x0000000000000000\n",
          "Version:         (null)\n", "Crashed Thread:  0\n", "Thread 0 Crashed:\n", "\nBinary Images:\n",
          "Thread 0 crashed with X86_64 Thread State:\n", "\nStack Dump (0x", "\nNotable Addresses:\n",
          "\nApplication Stats:\n", "\nUser Info:       \n"},
         {"ExtraInfo:", "Application Specific Information"}},
        {"mach",
         {"ExtraInfo:           {\"subVer\":\"beta\"}\nIncident Identifier: ", "Version:         1.2\n",
          "Exception Type:  EXC_BAD_ACCESS (SIGSEGV)\nException Codes: KERN_INVALID_ADDRESS at 0x0000000000000000\n",
          "UDID:      UDID-1\n", "Date/Time:       20"},
         {"Date/Time:       (null)", "k_ct:"}},
        {"nsexception",
         {"Exception Category: nsexception\n",
          "\nApplication Specific Information:\n*** Terminating app due to uncaught exception 'ScenarioException', "
          "reason: 'ns reason'\n"},
         {}},
        {"cpp",
         {"*** Terminating app due to uncaught exception 'std::runtime_error', reason: 'boom'\n"}, {}},
        {"user-exception",
         {"k_ct:    exception\nk_ac:    ScenarioException\n",
          "Exception Type:  ZCFakeCrash\nException Codes: ZC_CUSTOM at 0x0\n",
          "\nApplication Specific Information:\n*** uncaught exception 'ScenarioException', reason: 'scenario reason'\n"
          "\nCustom Backtrace:\nLine: ReportScenarios.cpp:1\nframe one\nframe two\n\n"},
         {"Binary Images:", "Terminating app"}},
        {"user-block",
         {"k_ct:    block\nk_ac:    block\n",
          "*** Terminating app due to uncaught exception 'block', reason: 'scenario reason'\n"},
         {"Custom Backtrace"}},
        {"deadlock",
         {"Thread 0 name:  Dispatch queue: com.apple.main-thread\nThread 0 Crashed:\n",
          "Crashed Thread:  0\n\nApplication main thread deadlocked\n",
          "\nCrash Diagnosis: Main thread deadlocked in (null)\n"},
         {}},
        {"zombie",
         {"\nApplication Specific Information:\n*** Terminating app due to uncaught exception 'ZombieException', "
          "reason: 'gone'\nNOTE: This exception has been deallocated! Stack trace is crash from attempting to access "
          "this zombie exception.\n",
          "\nLast deallocated NSException (0x", "): ZombieException: gone\nReferenced object:\n"},
         {}},
        {"extension",
         {"App Extension Version:         1.0\nApp Extension BundleVersion:    5\n",
          "\nThread 0 Crashed:\nWidget ran out of memory\n"},
         {"Thread 0 crashed with"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = fmt.toAppleFormat(fixture(c.name));
        for (const auto& part : c.present) EXPECT_TRUE(contains(text, part)) << part << "\n---\n" << text;
        for (const auto& part : c.absent) EXPECT_FALSE(contains(text, part)) << part;
    }
}

TEST_F(AppleFormat, RecrashShowsTheEmbeddedReportThenTheHandlerCrash) {
    Value report = fixture("recrash");
    std::string text = fmt.toAppleFormat(report);
    std::string embedded = fmt.crashReportString(report.objectForKey(Value("recrash_report")));
    ASSERT_EQ(text.substr(0, embedded.size()), embedded);
    std::string rest = text.substr(embedded.size());
    EXPECT_EQ(rest.substr(0, 34), "\nHandler crashed while reporting:\n");
    EXPECT_TRUE(contains(rest, "Exception Type:  EXC_BAD_ACCESS (SIGSEGV)\n"
                               "Exception Codes: KERN_INVALID_ADDRESS at 0x0000000000000008\nCrashed Thread:  0\n"));
    EXPECT_TRUE(contains(rest, "Thread 0 Crashed:\n0   crash_child"));
    EXPECT_TRUE(contains(rest, "Thread 0 crashed with X86_64 Thread State:\n"));
    EXPECT_TRUE(rest.ends_with("\nRecrash Diagnosis: Attempted to dereference garbage pointer 0x8."));
}

TEST_F(AppleFormat, SideFileIsAppended) {
    std::string reports = freshSandbox() + "/SideReports";
    std::filesystem::create_directories(reports);
    crcrs_initialize("Demo", reports.c_str());
    Value report = json(kCompact);
    report.setObject(Value(int64_t(0x1234)), Value("report_id"));
    std::string plain = fmt.toAppleFormat(report);
    char* path = crcrs_getReportExtFilePath(0x1234);
    ASSERT_TRUE(path);
    EXPECT_EQ(fmt.toAppleFormat(report), plain);
    FILE* f = std::fopen(path, "wb");
    std::fputs("abc", f);
    std::fclose(f);
    EXPECT_EQ(fmt.toAppleFormat(report), plain + "\nExt User Info:\nabc");
    std::free(path);
}

TEST_F(AppleFormat, ImageAndBacktraceLinesAgreeWithAnIndependentScript) {
    for (const char* name : {"mach", "nsexception", "cpp"}) {
        SCOPED_TRACE(name);
        Value report = fixture(name);
        std::string path =
            writeTemp(std::string(name) + "-fixed.json",
                      NSJSONSerialization::stringWithJSONObject(report, 0, nullptr));
        auto lines = run("/usr/bin/python3 " + std::string(TEST_SOURCE_DIR) + "/apple_lines.py " + path);
        ASSERT_TRUE(lines);
        std::string text = fmt.toAppleFormat(report);
        std::size_t count = 0, at = 0, start = 0;
        for (std::size_t nl; (nl = lines->find('\n', start)) != std::string::npos; start = nl + 1, ++count) {
            std::string line = lines->substr(start, nl - start + 1);
            if (line.find(" - ") != std::string::npos && line.find("0x") != 18) {
                // Image lines come sorted, one after another.
                std::size_t found = text.find(line, at);
                EXPECT_NE(found, std::string::npos) << line;
                if (found != std::string::npos) at = found;
            } else {
                EXPECT_TRUE(contains(text, line)) << line;
            }
        }
        EXPECT_GT(count, 5u);
    }
}

}  // namespace
