// The application-state tracker across launch sequences, with an injected clock;
// CrashState.json is read back by Python.

#include "CrashTestSupport.h"
#include "ReportTestSupport.h"

#include <crash_core/CRAppState.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace reporttest;

namespace {

double gNow = 1000.0;
double testClock() { return gNow; }

// One launch of the process: class load, state file, monitor enabled.
void launch(const std::string& path) {
    crcm_appstate_getAPI()->setEnabled(false);
    crcrashstate_notifyObjCLoad();
    crcrashstate_initialize(path.c_str());
    crcm_appstate_getAPI()->setEnabled(true);
}

// The state file as Python's json reads it: "key=value" per member, in file order.
std::string pythonView(const std::string& path) {
    return crashtest::commandOutput(
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "print(\",\".join(\"%s=%s\" % (k, json.dumps(v)) for k, v in d.items()))' '" + path + "'");
}

class AppState : public ::testing::Test {
protected:
    void SetUp() override {
        crcrashstate_setClockForTesting(testClock);
        gNow = 1000.0;
        path_ = freshBase("appstate") + "/CrashState.json";
    }
    void TearDown() override {
        crcm_appstate_getAPI()->setEnabled(false);
        crcrashstate_setClockForTesting(nullptr);
    }
    const CRAppState& state() { return *crcrashstate_currentState(); }
    std::string path_;
};

}  // namespace

TEST_F(AppState, LaunchSequences) {
    launch(path_);
    EXPECT_EQ(state().launchesSinceLastCrash, 1);
    EXPECT_EQ(state().sessionsSinceLastCrash, 1);
    EXPECT_FALSE(state().crashedLastLaunch);
    EXPECT_EQ(pythonView(path_),
              "version=1,crashedLastLaunch=false,activeDurationSinceLastCrash=0,"
              "backgroundDurationSinceLastCrash=0,launchesSinceLastCrash=1,sessionsSinceLastCrash=1\n");

    // A clean second launch counts on.
    crcrashstate_notifyAppTerminate();
    launch(path_);
    EXPECT_EQ(state().launchesSinceLastCrash, 2);
    EXPECT_EQ(state().sessionsSinceLastCrash, 2);

    // Active for 10 s, then a crash: the next launch starts over.
    crcrashstate_notifyAppActive(true);
    gNow += 10;
    crcrashstate_notifyAppCrash();
    EXPECT_DOUBLE_EQ(state().activeDurationSinceLaunch, 10.0);
    EXPECT_NE(pythonView(path_).find("crashedLastLaunch=true"), std::string::npos);
    launch(path_);
    EXPECT_TRUE(state().crashedLastLaunch);
    EXPECT_EQ(state().launchesSinceLastCrash, 1);
    EXPECT_EQ(state().sessionsSinceLastCrash, 1);
    EXPECT_EQ(state().activeDurationSinceLastCrash, 0.0);

    // And the launch after that one no longer sees a crash.
    launch(path_);
    EXPECT_FALSE(state().crashedLastLaunch);
    EXPECT_EQ(state().launchesSinceLastCrash, 2);
}

TEST_F(AppState, DurationsFollowTheNotifications) {
    launch(path_);
    crcrashstate_notifyAppActive(true);
    gNow += 10;
    crcrashstate_notifyAppActive(false);
    EXPECT_DOUBLE_EQ(state().activeDurationSinceLastCrash, 10.0);
    crcrashstate_notifyAppInForeground(false);  // saves
    EXPECT_NE(pythonView(path_).find("activeDurationSinceLastCrash=10,"), std::string::npos);
    gNow += 5;
    crcrashstate_notifyAppInForeground(true);
    EXPECT_DOUBLE_EQ(state().backgroundDurationSinceLastCrash, 5.0);
    EXPECT_EQ(state().sessionsSinceLaunch, 2);
    EXPECT_EQ(state().sessionsSinceLastCrash, 2);
    // Inactive in the foreground, then terminated: the time goes to neither duration.
    gNow += 7;
    crcrashstate_notifyAppTerminate();
    EXPECT_DOUBLE_EQ(state().activeDurationSinceLastCrash, 10.0);
    EXPECT_DOUBLE_EQ(state().backgroundDurationSinceLastCrash, 5.0);
    CRCrashEventContext event{};
    crcm_appstate_getAPI()->addContextualInfoToEvent(&event);
    EXPECT_DOUBLE_EQ(event.AppState.activeDurationSinceLastCrash, 10.0);
    EXPECT_EQ(event.AppState.sessionsSinceLaunch, 2);
    EXPECT_TRUE(event.AppState.applicationIsInForeground);
}

TEST_F(AppState, FilesOfOtherVersionsOrBrokenFilesStartClean) {
    struct Case {
        const char* what;
        const char* text;
        int launches;  // after the launch that reads the file
    } cases[] = {
        {"version 2", "{\"version\":2,\"launchesSinceLastCrash\":7,\"sessionsSinceLastCrash\":7}", 1},
        {"version 1, integer durations", "{\"version\":1,\"activeDurationSinceLastCrash\":3,\"launchesSinceLastCrash\":7}", 8},
        {"counts before a bad version stay", "{\"launchesSinceLastCrash\":4,\"version\":9,\"sessionsSinceLastCrash\":7}", 5},
        {"not JSON", "garbage", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path_) << c.text;
        launch(path_);
        EXPECT_EQ(state().launchesSinceLastCrash, c.launches);
    }
}

TEST_F(AppState, DisabledTrackerIgnoresNotifications) {
    launch(path_);
    crcm_appstate_getAPI()->setEnabled(false);
    int sessions = state().sessionsSinceLaunch;
    crcrashstate_notifyAppInForeground(true);
    EXPECT_EQ(state().sessionsSinceLaunch, sessions);
}
