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

}  // namespace

TEST(ReportCapture, SignalsOnly) {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        checkCapture(c);
    }
}
