// The main of every test executable. After the tests it stops the dispatch workers (when the
// executable has them), so that a block still at work cannot touch static objects that the
// process's exit is destroying.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern "C" void dispatch_stop_workers_for_exit(long timeoutMs) __attribute__((weak));

namespace {
// Long enough for any block that is not stuck; a stuck one must not hold up the exit.
constexpr long kWorkerStopTimeoutMs = 5000;
}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (dispatch_stop_workers_for_exit) dispatch_stop_workers_for_exit(kWorkerStopTimeoutMs);
    return result;
}
