// The crash core's C layer and registry as a process sees them: installation,
// notifications before install, the previous console log, the monitor mask under a
// tracer and after an async-safe notice, liveness against a foreign handler, and the
// system facts of a report.

#include "CrashTestSupport.h"
#include "ReportTestSupport.h"

#include <crash_core/CRMonitor.h>
#include <crash_core/CRMonitorSystem.h>

#include <platform_kernel/SignalStage.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/ptrace.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>

using namespace reporttest;

TEST(CrashInstall, CreatesItsFilesOnceAndReplaysTheLastNotification) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("install");
    ChildResult child = runScenario("install-twice", base, {"--background-before-install"});
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0);
    for (const char* path : {"/Reports", "/Data", "/Data/CrashState.json", "/Data/ConsoleLog.txt"}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(std::filesystem::exists(base + path));
    }
    // The second install changed nothing and answered the requested mask.
    EXPECT_EQ(outputValue(child.output, "installed"), "ef");
    EXPECT_EQ(outputValue(child.output, "second"), "42");
    EXPECT_FALSE(std::filesystem::exists(base + "/other"));

    // The notification sent before install (entered background) was replayed.
    std::string snapshot = freshBase("replay");
    child = runScenario("user-snapshot", snapshot, {"--background-before-install"});
    ASSERT_TRUE(child.finished);
    auto reports = reportFiles(snapshot);
    ASSERT_EQ(reports.size(), 1u);
    rapidjson::Document doc;
    ASSERT_TRUE(parse(readFile(reports[0]), doc));
    EXPECT_FALSE(doc["system"]["application_stats"]["application_in_foreground"].GetBool());
}

TEST(CrashInstall, PrintsThePreviousLog) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("previous-log");
    ChildResult first = runScenario("installed", base, {"--console"});
    ASSERT_TRUE(first.finished);
    ChildResult second = runScenario("installed", base, {"--print-previous-log"});
    ASSERT_TRUE(second.finished);
    auto header = second.output.find("vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv Previous Log vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv");
    ASSERT_NE(header, std::string::npos);
    auto line = second.output.find("first console line", header);
    EXPECT_NE(line, std::string::npos);
    EXPECT_NE(second.output.find(std::string(84, '^'), line), std::string::npos);
    // The log was truncated for the new launch.
    EXPECT_EQ(readFile(base + "/Data/ConsoleLog.txt").find("first console line"), std::string::npos);
}

TEST(CrashInstall, TracedProcessGetsNoCaptureMonitors) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("traced");
    bool seized = false;
    ChildResult child = runScenario("installed", base, {"--wait-stdin"}, {}, [&](pid_t pid) {
        seized = ptrace(PTRACE_SEIZE, pid, nullptr, nullptr) == 0;
    });
    if (!seized) GTEST_SKIP() << "PTRACE_SEIZE refused here: " << std::strerror(errno);
    ASSERT_TRUE(child.finished);
    uint32_t mask = uint32_t(std::stoul(outputValue(child.output, "installed"), nullptr, 16));
    EXPECT_EQ(mask & ~0xE0u, 0u) << std::hex << mask;
    EXPECT_EQ(mask, 0xE0u);
}

TEST(CrashInstall, ForeignHandlerIsFoundAndChainedTo) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* what;
        std::vector<std::string> options;
        const char* foreign;  // how the foreign handler was reached
    } cases[] = {
        {"call original", {"--foreign-handler", "--reactivate"}, "foreign handler fault"},
        {"signals only", {"--foreign-handler", "--reactivate", "--mask=02"}, "foreign handler fault"},
        // Raised again, the signal meets the handler that was in force before.
        {"call original off", {"--foreign-handler", "--reactivate", "--no-call-original"}, "foreign handler raised"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string base = freshBase("foreign");
        ChildResult child = runScenario("segv-null", base, c.options);
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(outputValue(child.output, "active"), "0 inactive 2");
        EXPECT_EQ(outputValue(child.output, "active again"), "1");
        EXPECT_EQ(child.exitCode, 42);
        EXPECT_NE(child.output.find(c.foreign), std::string::npos) << child.output;
        auto reports = reportFiles(base);
        ASSERT_EQ(reports.size(), 1u) << "the report comes before the foreign handler";
        rapidjson::Document doc;
        ASSERT_TRUE(parse(readFile(reports[0]), doc));
        EXPECT_EQ(str(doc["crash"]["error"], "type"), "signal");
    }
}

// In this process: the registry's masks after an async-safe notice and when capture
// monitors are switched off.
TEST(CrashRegistry, MasksAndLiveness) {
    struct sigaction before {};
    kern_sigaction(SIGSEGV, nullptr, &before);
    crcm_resetForTesting();
    crcm_setMonitorCheckInterval(0);
    EXPECT_FALSE(crcm_notifyFatalExceptionCaptured(true));
    crcm_setActiveMonitors(0xEF);
    EXPECT_EQ(crcm_getActiveMonitors() & ~0x03u, 0u);
    crcm_setActiveMonitors(0);
    crcm_resetForTesting();

    static uint32_t inactive = 0;
    crcm_setMonitorInactiveCallback([](uint32_t type) { inactive = type; });
    crcm_setActiveMonitors(0xC2);
    EXPECT_EQ(crcm_getActiveMonitors(), 0xC2u);
    EXPECT_TRUE(crcm_checkMonitorsActive());
    crcm_disableCaptureMonitors();
    EXPECT_EQ(crcm_getActiveMonitors(), 0xC2u);
    EXPECT_FALSE(crcm_checkMonitorsActive());
    EXPECT_EQ(inactive, 0x02u);
    EXPECT_TRUE(crcm_system_getAPI()->isEnabled());
    crcm_reactivateMonitors();
    EXPECT_TRUE(crcm_checkMonitorsActive());
    crcm_setActiveMonitors(0);
    crcm_setMonitorInactiveCallback(nullptr);
    // The handlers in force before are back (behind the exception port's first chance).
    struct sigaction current {};
    kern_sigaction(SIGSEGV, nullptr, &current);
    EXPECT_EQ(current.sa_handler, before.sa_handler);
}

TEST(CrashSystemFacts, AgainstTheMachine) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("facts");
    ChildResult child = runScenario("user-snapshot", base);
    ASSERT_TRUE(child.finished);
    auto reports = reportFiles(base);
    ASSERT_EQ(reports.size(), 1u);
    rapidjson::Document doc;
    ASSERT_TRUE(parse(readFile(reports[0]), doc));
    const auto& s = doc["system"];
    struct utsname u {};
    uname(&u);
    EXPECT_EQ(str(s, "system_name"), "iOS");
    EXPECT_EQ(str(s, "machine"), u.machine);
    EXPECT_EQ(str(s, "os_version"), u.version);
    EXPECT_EQ(str(s, "kernel_version"), std::string(u.sysname) + " " + u.release + " " + u.version);
    EXPECT_EQ(str(s, "cpu_arch"), "x86_64");
    EXPECT_EQ(num(s, "cpu_type"), 16777223u);
    EXPECT_EQ(num(s, "binary_cpu_type"), 16777223u);
    EXPECT_EQ(str(s, "CFBundleExecutablePath"), CRASH_CHILD);
    EXPECT_EQ(str(s, "CFBundleExecutable"), "crash_child");
    EXPECT_EQ(str(s, "process_name"), "crash_child");
    EXPECT_EQ(num(s, "process_id"), uint64_t(child.pid));
    EXPECT_EQ(num(s, "parent_process_id"), uint64_t(getpid()));
    // The executable's image id.
    for (const auto& image : doc["binary_images"].GetArray())
        if (str(image, "name") == CRASH_CHILD) EXPECT_EQ(str(s, "app_uuid"), str(image, "uuid"));

    // Boot time against /proc/stat's btime.
    std::ifstream stat("/proc/stat");
    std::string key;
    long long btime = 0;
    while (stat >> key)
        if (key == "btime" && (stat >> btime)) break;
    char text[32];
    for (long long delta : {-1LL, 0LL, 1LL}) {
        time_t t = time_t(btime + delta);
        struct tm tm {};
        gmtime_r(&t, &tm);
        strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
        if (str(s, "boot_time") == text) break;
        text[0] = '\0';
    }
    EXPECT_NE(text[0], '\0') << str(s, "boot_time") << " vs btime " << btime;

    // Memory and storage.
    EXPECT_EQ(num(s["memory"], "size"), uint64_t(sysconf(_SC_PHYS_PAGES)) * uint64_t(sysconf(_SC_PAGESIZE)));
    EXPECT_GT(num(s["memory"], "free"), 0u);
    EXPECT_GE(num(s["memory"], "usable"), num(s["memory"], "free"));
    EXPECT_LE(num(s["memory"], "usable"), num(s["memory"], "size"));
    struct statvfs vfs {};
    ASSERT_EQ(statvfs(outputValue(child.output, "home").c_str(), &vfs), 0);
    EXPECT_EQ(num(s, "storage"), uint64_t(vfs.f_blocks) * vfs.f_frsize);
    EXPECT_GT(num(s, "free_storage"), 0u);

    // The device hash: SHA-1 of the vendor id (else the interface address), machine,
    // model, architecture and bundle id, as Python's hashlib makes it.
    std::string vendor = outputValue(child.output, "vendor");
    std::string first = vendor != "none" ? "uuid.UUID(sys.argv[1]).bytes" : "bytes.fromhex(sys.argv[2])";
    std::string bundle = s["CFBundleIdentifier"].IsString() ? s["CFBundleIdentifier"].GetString() : "";
    std::string command = "python3 -c 'import hashlib,sys,uuid; print(hashlib.sha1(" + first +
                          " + \"\".join(sys.argv[3:]).encode()).hexdigest())' '" + vendor + "' '" +
                          outputValue(child.output, "mac") + "' '" + str(s, "machine") + "' '" + str(s, "model") +
                          "' '" + str(s, "cpu_arch") + "' '" + bundle + "'";
    std::string expected = crashtest::commandOutput(command);
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    EXPECT_EQ(str(s, "device_app_hash"), expected);
    EXPECT_EQ(str(s, "build_type"), "unknown");
}
