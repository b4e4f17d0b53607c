// Uncaught C++ exceptions in crash children: the description of each kind, the throw
// site as the first frame, throws from a loaded library through the exported hook and
// through rebinding (a lazily bound slot among them), and disabling.

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace reporttest;

namespace {

struct Report {
    ChildResult child;
    rapidjson::Document raw;
    rapidjson::Document fixed;
    size_t count = 0;
};

void run(Report& r, const std::string& scenario, const std::vector<std::string>& options) {
    std::string base = freshBase(scenario);
    r.child = runScenario(scenario, base, options);
    ASSERT_TRUE(r.child.finished);
    auto reports = reportFiles(base);
    r.count = reports.size();
    if (reports.empty()) return;
    ASSERT_TRUE(pythonReads(reports[0]));
    ASSERT_TRUE(parse(readFile(reports[0]), r.raw));
    ASSERT_TRUE(parse(fixedUpReport(base), r.fixed));
}

}  // namespace

TEST(CPPException, KindsOfExceptions) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* scenario;
        const char* rawName;    // type_info::name() as stored, "<absent>" for none
        const char* fixedName;  // after the load fix-up
        const char* reason;     // "<absent>" for none
    } cases[] = {
        {"cpp-runtime-error", "St13runtime_error", "std::runtime_error", "boom"},
        {"cpp-int", "i", "int", "42"},
        {"cpp-cstring", "PKc", "char const*", "x"},
        {"cpp-ull", "y", "unsigned long long", "18446744073709551615"},
        {"cpp-double", "d", "double", "1.500000"},
        {"cpp-long-double", "e", "long double", "2.250000"},
        {"cpp-struct", "19ScenarioPlainStruct", "ScenarioPlainStruct", "<absent>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        Report r;
        run(r, c.scenario, {});
        EXPECT_EQ(r.child.exitSignal, SIGABRT);
        ASSERT_EQ(r.count, 1u);
        const auto& error = r.raw["crash"]["error"];
        EXPECT_EQ(str(error, "type"), "cpp_exception");
        EXPECT_EQ(str(error["cpp_exception"], "name"), c.rawName);
        EXPECT_EQ(str(r.fixed["crash"]["error"]["cpp_exception"], "name"), c.fixedName);
        EXPECT_EQ(str(error, "reason"), c.reason);
        EXPECT_EQ(str(error["signal"], "name"), "SIGABRT");
        EXPECT_EQ(str(error["mach"], "exception_name"), "EXC_CRASH");
    }
}

TEST(CPPException, ThrowSiteIsTheFirstFrame) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Report r;
    run(r, "cpp-runtime-error", {});
    ASSERT_EQ(r.count, 1u);
    const rapidjson::Value* crashed = crashedThread(r.raw);
    ASSERT_NE(crashed, nullptr);
    EXPECT_EQ(frameSymbols(*crashed)[0], "scenario_throwRuntimeError");
    EXPECT_TRUE((*crashed)["current_thread"].GetBool());
}

TEST(CPPException, TerminateAloneAndCaughtExceptions) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Report alone;
    run(alone, "cpp-terminate", {});
    EXPECT_EQ(alone.child.exitSignal, SIGABRT);
    ASSERT_EQ(alone.count, 1u);
    const auto& error = alone.raw["crash"]["error"];
    EXPECT_EQ(str(error, "type"), "cpp_exception");
    EXPECT_FALSE(error.HasMember("reason"));
    EXPECT_TRUE(error["cpp_exception"]["name"].IsNull());

    Report caught;
    run(caught, "cpp-caught", {});
    EXPECT_EQ(caught.child.exitCode, 0);
    EXPECT_NE(caught.child.output.find("continued"), std::string::npos);
    EXPECT_EQ(caught.count, 0u);
}

// The throw site stays the first frame through the exported hook and through rebinding,
// for the program's own throws and a loaded library's (a lazily bound slot among them).
TEST(CPPException, ThrowsThroughHookAndRebinding) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    const std::string fixture = std::string("--fixture=") + CRASH_THROW_FIXTURE_LIB;
    struct Case {
        const char* what;
        const char* scenario;
        std::vector<std::string> options;
        const char* reason;
        const char* firstFrame;
    } cases[] = {
        {"library, exported hook", "cpp-fixture", {fixture}, "fixture boom", "fixture_throwRuntimeError"},
        {"library, rebinding (lazy slot)", "cpp-fixture", {fixture, "--rebind"}, "fixture boom",
         "fixture_throwRuntimeError"},
        {"program, rebinding", "cpp-runtime-error", {"--rebind"}, "boom", "scenario_throwRuntimeError"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Report r;
        run(r, c.scenario, c.options);
        if (std::string(c.scenario) == "cpp-fixture") EXPECT_EQ(outputValue(r.child.output, "caught"), "7");
        EXPECT_EQ(r.child.exitSignal, SIGABRT);
        ASSERT_EQ(r.count, 1u) << "recorded once";
        EXPECT_EQ(str(r.raw["crash"]["error"], "reason"), c.reason);
        const rapidjson::Value* crashed = crashedThread(r.raw);
        ASSERT_NE(crashed, nullptr);
        EXPECT_EQ(frameSymbols(*crashed)[0], c.firstFrame);
    }
}

TEST(CPPException, DisablingRestoresThePreviousTerminateHandler) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Report r;
    run(r, "cpp-disable", {});
    EXPECT_EQ(outputValue(r.child.output, "restored"), "1");
}
