// Crashes in child processes and the reports they leave.

#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace reporttest;

namespace {

enum class Address { Zero, Target, PC, Any };

struct CaptureCase {
    const char* scenario;
    std::vector<std::string> options;
    int exitSignal;
    const char* signalName;
    const char* codeName;  // "<absent>" when the code has none
    const char* machName;  // "<absent>" when no exception type is named
    const char* machCodeName;
    const char* firstAppFrame;
    Address address;
    bool overflow;
};

uint64_t targetOf(const std::string& output) {
    auto at = output.find("target ");
    return at == std::string::npos ? 0 : std::stoull(output.substr(at + 7), nullptr, 16);
}

void checkCapture(const CaptureCase& c) {
    std::string base = freshBase(c.scenario);
    ChildResult child = runScenario(c.scenario, base, c.options);
    ASSERT_TRUE(child.finished) << "the child hung";
    EXPECT_EQ(child.exitSignal, c.exitSignal) << child.output;
    auto reports = reportFiles(base);
    ASSERT_EQ(reports.size(), 1u) << child.output;
    EXPECT_TRUE(pythonReads(reports[0]));
    rapidjson::Document doc;
    ASSERT_TRUE(parse(readFile(reports[0]), doc));
    const auto& error = doc["crash"]["error"];
    EXPECT_EQ(str(error["signal"], "name"), c.signalName);
    EXPECT_EQ(str(error["signal"], "code_name"), c.codeName);
    EXPECT_EQ(str(error["mach"], "exception_name"), c.machName);
    EXPECT_EQ(str(error["mach"], "code_name"), c.machCodeName);
    const rapidjson::Value* crashed = crashedThread(doc);
    ASSERT_NE(crashed, nullptr);
    auto symbols = frameSymbols(*crashed);
    ASSERT_FALSE(symbols.empty());
    switch (c.address) {
    case Address::Zero: EXPECT_EQ(num(error, "address"), 0u); break;
    case Address::Target: EXPECT_EQ(num(error, "address"), targetOf(child.output)); break;
    case Address::PC:
        EXPECT_EQ(num(error, "address"), num((*crashed)["backtrace"]["contents"][0], "instruction_addr"));
        break;
    case Address::Any: break;
    }
    // The first frames may be the C library's (abort); the scenario's function follows.
    auto first = std::find(symbols.begin(), symbols.end(), c.firstAppFrame);
    ASSERT_NE(first, symbols.end()) << symbols[0];
    EXPECT_LE(first - symbols.begin(), 4);
    EXPECT_EQ((*crashed)["stack"]["overflow"].GetBool(), c.overflow);
}

template <size_t N>
void checkAll(const CaptureCase (&cases)[N]) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        checkCapture(c);
    }
}

}  // namespace

TEST(ReportCapture, SignalsOnly) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::vector<std::string> mask = {"--mask=02"};
    const CaptureCase cases[] = {
        {"segv-null", mask, SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "<absent>", "<absent>", "scenario_nullWrite", Address::Zero, false},
        {"segv-readonly", mask, SIGSEGV, "SIGSEGV", "SEGV_ACCERR", "<absent>", "<absent>", "scenario_readOnlyWrite", Address::Target, false},
        {"bus", mask, SIGBUS, "SIGBUS", "BUS_ADRERR", "<absent>", "<absent>", "scenario_busError", Address::Target, false},
        {"abort", mask, SIGABRT, "SIGABRT", "<absent>", "<absent>", "<absent>", "scenario_abort", Address::Zero, false},
        {"fpe", mask, SIGFPE, "SIGFPE", "FPE_INTDIV", "<absent>", "<absent>", "scenario_divideByZero", Address::PC, false},
        {"ill", mask, SIGILL, "SIGILL", "ILL_ILLOPN", "<absent>", "<absent>", "scenario_illegalInstruction", Address::PC, false},
        {"trap", mask, SIGTRAP, "SIGTRAP", "<absent>", "<absent>", "<absent>", "scenario_breakpoint", Address::Zero, false},
        {"overflow-main", mask, SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "<absent>", "<absent>", "scenario_recurse", Address::Any, true},
        {"overflow-thread", mask, SIGSEGV, "SIGSEGV", "SEGV_ACCERR", "<absent>", "<absent>", "scenario_recurse", Address::Any, true},
    };
    checkAll(cases);
}

// With the exception port the faults are captured there first (type "mach"); SIGABRT
// reaches only the signal monitor and is named EXC_CRASH.
TEST(ReportCapture, DefaultMask) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::vector<std::string> none;
    const CaptureCase cases[] = {
        {"segv-null", none, SIGSEGV, "SIGSEGV", "SEGV_NOOP", "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS", "scenario_nullWrite", Address::Zero, false},
        {"segv-readonly", none, SIGSEGV, "SIGSEGV", "SEGV_NOOP", "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS", "scenario_readOnlyWrite", Address::Target, false},
        {"bus", none, SIGBUS, "SIGBUS", "BUS_NOOP", "EXC_BAD_ACCESS", "KERN_MEMORY_ERROR", "scenario_busError", Address::Target, false},
        {"abort", none, SIGABRT, "SIGABRT", "<absent>", "EXC_CRASH", "<absent>", "scenario_abort", Address::Zero, false},
        {"fpe", none, SIGFPE, "SIGFPE", "FPE_NOOP", "EXC_ARITHMETIC", "KERN_INVALID_ADDRESS", "scenario_divideByZero", Address::PC, false},
        {"ill", none, SIGILL, "SIGILL", "ILL_NOOP", "EXC_BAD_INSTRUCTION", "KERN_PROTECTION_FAILURE", "scenario_illegalInstruction", Address::PC, false},
        {"trap", none, SIGTRAP, "SIGTRAP", "0", "EXC_BREAKPOINT", "<absent>", "scenario_breakpoint", Address::PC, false},
        {"overflow-main", none, SIGSEGV, "SIGSEGV", "SEGV_NOOP", "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS", "scenario_recurse", Address::Any, true},
        {"overflow-thread", none, SIGSEGV, "SIGSEGV", "SEGV_NOOP", "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS", "scenario_recurse", Address::Any, true},
    };
    checkAll(cases);
}

TEST(ReportCapture, BrokenPipe) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    {
        SCOPED_TRACE("ignored: no report, the process goes on");
        std::string base = freshBase("pipe-ignored");
        ChildResult child = runScenario("pipe", base, {"--ignore-pipe"});
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.exitCode, 0);
        EXPECT_NE(child.output.find("continued"), std::string::npos);
        EXPECT_TRUE(reportFiles(base).empty());
    }
    {
        SCOPED_TRACE("recorded");
        std::string base = freshBase("pipe");
        ChildResult child = runScenario("pipe", base);
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.exitSignal, SIGPIPE);
        auto reports = reportFiles(base);
        ASSERT_EQ(reports.size(), 1u);
        rapidjson::Document doc;
        ASSERT_TRUE(parse(readFile(reports[0]), doc));
        EXPECT_EQ(str(doc["crash"]["error"]["signal"], "name"), "SIGPIPE");
        EXPECT_EQ(num(doc["crash"]["error"]["mach"], "exception"), 0x10001u);
    }
}

// A crash on a secondary thread: its thread is the crashed one; the others are listed
// with their names and queue labels.
TEST(ReportCapture, SecondaryThread) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    std::string base = freshBase("thread-crash");
    ChildResult child = runScenario("thread-crash", base, {"--queue-names"});
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitSignal, SIGSEGV);
    auto reports = reportFiles(base);
    ASSERT_EQ(reports.size(), 1u);
    rapidjson::Document doc;
    ASSERT_TRUE(parse(readFile(reports[0]), doc));
    const auto& threads = doc["crash"]["threads"];
    ASSERT_GE(threads.Size(), 4u);
    int crashedCount = 0;
    bool sawNamed = false, sawQueue = false, mainListed = false;
    for (rapidjson::SizeType i = 0; i < threads.Size(); ++i) {
        const auto& t = threads[i];
        EXPECT_EQ(num(t, "index"), i);
        if (t["crashed"].GetBool()) {
            ++crashedCount;
            EXPECT_NE(i, 0u) << "the main thread did not crash";
            EXPECT_EQ(frameSymbols(t)[0], "scenario_nullWrite");
            EXPECT_TRUE(t.HasMember("stack"));
        } else {
            EXPECT_FALSE(t.HasMember("stack"));
            EXPECT_FALSE(t.HasMember("notable_addresses"));
        }
        sawNamed |= str(t, "name") == "scenario-named-thread";
        sawQueue |= str(t, "dispatch_queue") == "com.scenario.blocked-queue";
        mainListed |= i == 0 && !frameSymbols(t).empty();
    }
    EXPECT_EQ(crashedCount, 1);
    EXPECT_TRUE(sawNamed);
    EXPECT_TRUE(sawQueue);
    EXPECT_TRUE(mainListed);
}
