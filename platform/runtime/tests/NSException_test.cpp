#include <platform_runtime/NSException.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

TEST(NSException, CarriesNameReasonAndUserInfo) {
    try {
        NSException::raise(NSRangeException, "index 5 beyond bounds [0 .. 2]", {{"index", 5}});
        FAIL() << "raise returned";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "index 5 beyond bounds [0 .. 2]");
        const auto* ns = dynamic_cast<const NSException*>(&e);
        ASSERT_NE(ns, nullptr);
        EXPECT_EQ(ns->name(), "NSRangeException");
        EXPECT_EQ(ns->reason(), "index 5 beyond bounds [0 .. 2]");
        EXPECT_EQ(ns->userInfo().at(Value("index")), Value(5));
        EXPECT_EQ(ns->description(), "NSRangeException: index 5 beyond bounds [0 .. 2]");
    }
    EXPECT_STREQ(NSUndefinedKeyException, "NSUnknownKeyException");
}

__attribute__((noinline)) NSException makeException() { return NSException(NSGenericException, "r"); }

TEST(NSException, CapturesTheCallStackAtConstruction) {
    const NSException e = makeException();
    const auto& stack = e.callStackReturnAddresses();
    ASSERT_GE(stack.size(), 2u);
    for (uintptr_t address : stack) EXPECT_NE(address, 0u);
    // Copies keep the stack of the original throw site.
    const NSException copy = e;
    EXPECT_EQ(copy.callStackReturnAddresses(), stack);
}

// Reporting from the handler goes to stderr, which the death tests match.
void reportingHandler(const NSException& e) {
    std::fprintf(stderr, "handled %s: %s (%zu frames)\n", e.name().c_str(), e.reason().c_str(),
                 e.callStackReturnAddresses().size());
}

void previousTerminate() {
    std::fputs("previous terminate ran\n", stderr);
    std::abort();
}

void throwUncaught() noexcept {
    NSException::raise(NSInternalInconsistencyException, "state broken");
}

[[noreturn]] __attribute__((noinline)) void throwInt() { throw 42; }

void throwForeign() noexcept { throwInt(); }

class NSExceptionUncaught : public testing::Test {
protected:
    // Each death test re-runs the binary, so the once-per-process hook starts fresh there.
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(NSExceptionUncaught, HandlerSeesTheExceptionThenThePreviousTerminateRuns) {
    EXPECT_DEATH(
        {
            std::set_terminate(previousTerminate);
            NSSetUncaughtExceptionHandler(reportingHandler);
            throwUncaught();
        },
        "handled NSInternalInconsistencyException: state broken \\([1-9][0-9]* frames\\)\n"
        "previous terminate ran");
}

TEST_F(NSExceptionUncaught, ForeignExceptionsSkipTheHandler) {
    EXPECT_DEATH(
        {
            std::set_terminate(previousTerminate);
            NSSetUncaughtExceptionHandler(reportingHandler);
            throwForeign();
        },
        "^previous terminate ran");
}

TEST_F(NSExceptionUncaught, SetAndGetHandler) {
    EXPECT_EQ(NSGetUncaughtExceptionHandler(), nullptr);
    NSSetUncaughtExceptionHandler(reportingHandler);
    EXPECT_EQ(NSGetUncaughtExceptionHandler(), &reportingHandler);
    NSSetUncaughtExceptionHandler(nullptr);
    EXPECT_EQ(NSGetUncaughtExceptionHandler(), nullptr);
}

}  // namespace
