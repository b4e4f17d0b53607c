// The crash-core front in child processes: defaults and installation, user info, loading
// with the diagnosis, sending with each delete behaviour, user and exception reports,
// the life-cycle notifications.

#include <crash_reporting/ZPKCRJSONCodec.h>

#include "../../tests/ReportTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace reporttest;

// An app bundle whose Info.plist names the app (or none at all).
std::string bundleWithName(const std::string& base, const char* name) {
    std::string dir = base + "/bundle";
    std::filesystem::create_directories(dir);
    if (name) {
        std::ofstream(dir + "/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleName</key><string>"
            << name << "</string><key>CFBundleIdentifier</key><string>com.example.front</string></dict></plist>\n";
    }
    return dir;
}

std::vector<std::string> envFor(const std::string& base, const char* bundleName = "FrontApp") {
    return {"APP_BUNDLE_PATH=" + bundleWithName(base, bundleName), "APP_SANDBOX_ROOT=" + base + "/sandbox"};
}

Value decoded(const std::string& json) { return ZPKCRJSONCodec::decode(json, 0); }

// The reports a load child printed, by id.
std::map<std::string, Value> loadedReports(const std::string& output) {
    std::map<std::string, Value> out;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("report ", 0) != 0) continue;
        auto space = line.find(' ', 7);
        out[line.substr(7, space - 7)] = decoded(line.substr(space + 1));
    }
    return out;
}

Value path(const Value& v, std::initializer_list<const char*> keys) {
    Value at = v;
    for (const char* k : keys) at = at.objectForKey(k);
    return at;
}

// A stored report written by hand: a deadlock whose crash happened while another was
// handled, so it carries a recrash report.
std::string handMadeReport(const std::string& id) {
    return R"({"report":{"version":"3.3.0","id":")" + id +
           R"(","process_name":"crash_front_child","timestamp":1700000000000000,"type":"standard"},)"
           R"("system":{"cpu_arch":"x86_64","process_name":"crash_front_child"},)"
           R"("crash":{"error":{"type":"deadlock"},"threads":[{"crashed":true,"backtrace":{"contents":[)"
           R"({"object_name":"crash_front_child","symbol_name":"waitForever"}]}}]},)"
           R"("recrash_report":{"report":{"version":"3.3.0","id":"inner","process_name":"crash_front_child"},)"
           R"("crash":{"error":{"type":"signal","signal":{"name":"SIGSEGV"},"address":0}}}})";
}

void storeReports(const std::string& base, const char* bundleName, int count, bool withGarbage = false) {
    std::string dir = base + "/Reports";
    std::filesystem::create_directories(dir);
    for (int i = 1; i <= count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/%s-report-%016x.json", bundleName, 0x100 + i);
        std::ofstream(dir + name) << handMadeReport("hand-" + std::to_string(i));
    }
    if (withGarbage) std::ofstream(dir + "/" + bundleName + "-report-00000000000001ff.json") << "{\"report\": [1, 2";
}

TEST(CrashFront, SharedInstanceOnTheCachesDirectoryAndInstallation) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("front-defaults");
    auto result = runScenario("second-install", "default", {"--background-before-install"}, envFor(base));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(outputValue(result.output, "bundle"), "FrontApp");
    std::string basePath = outputValue(result.output, "base");
    EXPECT_EQ(basePath.rfind(base + "/sandbox", 0), 0u) << basePath;
    EXPECT_EQ(basePath.substr(basePath.size() - std::strlen("/Library/Caches/ZUDMobi/FrontApp")),
              "/Library/Caches/ZUDMobi/FrontApp");
    EXPECT_EQ(outputValue(result.output, "requested"), "ef");
    EXPECT_EQ(outputValue(result.output, "installed").substr(0, 2), "1 ");
    EXPECT_TRUE(std::filesystem::is_directory(basePath + "/Reports"));
    EXPECT_TRUE(std::filesystem::is_regular_file(basePath + "/Data/CrashState.json"));
    // A second install changes nothing and answers the requested mask.
    EXPECT_EQ(outputValue(result.output, "second"), "1 42");
    // The notification sent before install was replayed at install.
    EXPECT_EQ(outputValue(result.output, "foreground"), "0");
    EXPECT_EQ(outputValue(result.output, "zombies"), "1 142");

    Value system = decoded(outputValue(result.output, "system"));
    EXPECT_EQ(system.objectForKey("processName").asString(), "crash_front_child");
    EXPECT_EQ(system.objectForKey("executableName").asString(), "crash_front_child");
    EXPECT_EQ(system.objectForKey("cpuArchitecture").asString(), "x86_64");
    EXPECT_EQ(system.objectForKey("bundleName").asString(), "FrontApp");
    EXPECT_EQ(system.objectForKey("processID").asInt(), result.pid);
    EXPECT_EQ(system.objectForKey("parentProcessID").asInt(), getpid());
    EXPECT_GT(system.objectForKey("memorySize").asInt(), 0);
    for (const char* key : {"systemName", "systemVersion", "machine", "kernelVersion", "osVersion", "bootTime",
                            "appStartTime", "executablePath", "bundleID", "cpuType", "cpuSubType", "binaryCPUType",
                            "binaryCPUSubType", "timezone", "deviceAppHash", "buildType", "storageSize", "freeMemory",
                            "usableMemory"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(system.objectForKey(key).isNull());
    }
}

TEST(CrashFront, WithoutABundleNameFilesBeginWithUnknown) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("front-unknown");
    auto result = runScenario("crash", base, {}, envFor(base, nullptr));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitSignal, SIGSEGV) << result.output;
    EXPECT_EQ(outputValue(result.output, "bundle"), "Unknown");
    auto files = reportFiles(base);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(std::filesystem::path(files[0]).filename().string().rfind("Unknown-report-", 0), 0u) << files[0];
}

TEST(CrashFront, ACrashCarriesTheUserInfoAndLoadsWithItsDiagnosis) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("front-crash");
    auto env = envFor(base);
    auto crashed = runScenario("crash", base, {"--user-info", "--console", "--no-introspection"}, env);
    ASSERT_TRUE(crashed.finished);
    EXPECT_EQ(crashed.exitSignal, SIGSEGV) << crashed.output;
    // The set was refused; the dictionary before it stays.
    EXPECT_EQ(outputValue(crashed.output, "user info"), R"({"build":"b1","nested":{"a":true,"z":1}})");
    auto files = reportFiles(base);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(pythonReads(files[0]));

    auto loaded = runScenario("load", base, {}, env);
    ASSERT_TRUE(loaded.finished);
    EXPECT_EQ(loaded.exitCode, 0) << loaded.output;
    EXPECT_EQ(outputValue(loaded.output, "count"), "1");
    EXPECT_EQ(outputValue(loaded.output, "all"), "1");
    EXPECT_EQ(outputValue(loaded.output, "missing"), "1");
    auto reports = loadedReports(loaded.output);
    ASSERT_EQ(reports.size(), 1u);
    const auto& [id, report] = *reports.begin();
    EXPECT_EQ(report.objectForKey("report_id").stringValue(), id);
    EXPECT_EQ(report.objectForKey("user"), Value::dict({{"build", "b1"}, {"nested", Value::dict({{"z", 1}, {"a", true}})}}));
    std::string diagnosis = path(report, {"crash", "diagnosis"}).asStdString();
    EXPECT_EQ(diagnosis.rfind("Attempted to dereference null pointer.\nOriginated at or in a subcall of ", 0), 0u)
        << diagnosis;
    EXPECT_NE(diagnosis.find("frontScenario_nullWrite"), std::string::npos) << diagnosis;
    // Settings reached the core: the console log is in the report, no memory was introspected.
    Value console = path(report, {"debug", "console_log"});
    ASSERT_TRUE(console.isArray()) << report.description();
    EXPECT_TRUE(console.containsObject("front console line"));
    for (const Value& thread : path(report, {"crash", "threads"}).asArray()) {
        if (!thread.objectForKey("crashed").boolValue()) continue;
        EXPECT_TRUE(thread.objectForKey("notable_addresses").isNull());
    }
}

TEST(CrashFront, LoadingSkipsUnreadableReportsAndDiagnosesRecrashes) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("front-load");
    storeReports(base, "FrontApp", 2, true);
    auto loaded = runScenario("load", base, {"--print-previous-log"}, envFor(base));
    ASSERT_TRUE(loaded.finished);
    EXPECT_EQ(loaded.exitCode, 0) << loaded.output;
    EXPECT_EQ(outputValue(loaded.output, "ids"), "[257,258,511]");
    EXPECT_EQ(outputValue(loaded.output, "all"), "2");
    auto reports = loadedReports(loaded.output);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_TRUE(reports["511"].isNull());
    for (const char* id : {"257", "258"}) {
        SCOPED_TRACE(id);
        const Value& report = reports[id];
        EXPECT_EQ(report.objectForKey("report_id").asInt(), std::stoll(id));
        EXPECT_EQ(path(report, {"report", "timestamp"}).asString(), "2023-11-14T22:13:20.000000Z");
        EXPECT_EQ(path(report, {"crash", "diagnosis"}).asStdString(), "Main thread deadlocked in waitForever");
        EXPECT_EQ(path(report, {"recrash_report", "crash", "diagnosis"}).asStdString(),
                  "Main thread deadlocked in waitForever");
    }
}

TEST(CrashFront, SendAllReportsDeletesByBehaviour) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* sink;
        int behaviour;
        int stored;
        std::string completion;
        std::string remaining;
    } cases[] = {
        {"ok", 0, 2, "2 1 -", "2"},
        {"ok", 1, 2, "2 1 -", "0"},
        {"ok", 2, 2, "2 1 -", "0"},
        {"later", 1, 2, "2 1 -", "0"},
        {"fail", 1, 2, "2 0 TestSink/refused", "2"},
        {"fail", 2, 2, "2 0 TestSink/refused", "0"},
        {"none", 1, 2, "2 0 ZPKCRCrash/No sink set. Crash reports not sent.", "2"},
        {"none", 2, 2, "2 0 ZPKCRCrash/No sink set. Crash reports not sent.", "0"},
        {"ok", 1, 0, "0 1 -", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sink) + " behaviour " + std::to_string(c.behaviour) + " stored " +
                     std::to_string(c.stored));
        std::string base = freshBase("front-send");
        storeReports(base, "FrontApp", c.stored);
        auto result = runScenario("send", base, {std::string("--sink=") + c.sink, "--behaviour=" + std::to_string(c.behaviour)},
                                  envFor(base));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(outputValue(result.output, "completion"), c.completion);
        EXPECT_EQ(outputValue(result.output, "remaining"), c.remaining);
        // The sink sees the reports only when there are some.
        EXPECT_EQ(outputValue(result.output, "sink got"),
                  c.stored == 0 || std::string(c.sink) == "none" ? "" : std::to_string(c.stored));
    }
}

TEST(CrashFront, UserExceptionsAndExceptionSnapshots) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("front-user");
    auto env = envFor(base);
    auto user = runScenario("user", base, {}, env);
    ASSERT_TRUE(user.finished);
    EXPECT_EQ(user.exitCode, 0) << user.output;
    EXPECT_NE(user.output.find("continued"), std::string::npos);

    auto snapshot = runScenario("ns-snapshot", base, {}, env);
    ASSERT_TRUE(snapshot.finished);
    EXPECT_EQ(snapshot.exitSignal, SIGABRT) << snapshot.output;
    EXPECT_EQ(outputValue(snapshot.output, "handlers"), "11");
    EXPECT_EQ(outputValue(snapshot.output, "continued"), "2");

    auto loaded = runScenario("load", base, {}, env);
    ASSERT_TRUE(loaded.finished);
    auto reports = loadedReports(loaded.output);
    ASSERT_EQ(reports.size(), 3u) << loaded.output;
    auto it = reports.begin();
    const Value& userReport = (it++)->second;
    EXPECT_EQ(path(userReport, {"crash", "error", "type"}).asString(), "user");
    EXPECT_EQ(path(userReport, {"crash", "error", "user_reported", "name"}).asString(), "FrontUserException");
    EXPECT_EQ(path(userReport, {"crash", "error", "user_reported", "backtrace"}), Value::array({"frame one", "frame two"}));
    EXPECT_EQ(path(userReport, {"crash", "error", "reason"}).asString(), "front reason");
    const Value& snapshotReport = (it++)->second;
    EXPECT_EQ(path(snapshotReport, {"crash", "error", "nsexception", "name"}).asString(), "SnapshotException");
    const Value& uncaught = it->second;
    EXPECT_EQ(path(uncaught, {"crash", "error", "nsexception", "name"}).asString(), "FrontException");
    std::string diagnosis = path(uncaught, {"crash", "diagnosis"}).asStdString();
    EXPECT_EQ(diagnosis.rfind("Application threw exception FrontException: raised after a snapshot", 0), 0u) << diagnosis;
}

TEST(CrashFront, LifeCycleNotificationsReachTheTracker) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("front-notifications");
    auto result = runScenario("notifications", base, {}, envFor(base));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::vector<std::string> lines;
    std::istringstream in(result.output);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("active ", 0) == 0 || line.rfind("foreground ", 0) == 0) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"active 0", "foreground 0", "foreground 1", "active 1"}));
    EXPECT_EQ(outputValue(result.output, "sessions"), "2");
}

}  // namespace
