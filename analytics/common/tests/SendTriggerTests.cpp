// The send trigger against the TLS sinks: readiness starts one upload job for waiting files,
// the limits on waiting files, the background rule, and no self-repeating work when the
// service cannot be reached.

#include <cstdio>

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_uikit/UIApplication.h>

#include "EngineDoubles.h"
#include "SinkTestSupport.h"
#include "ZVCommonLogManagerRecorder.h"

using zvtest::accepted;
using zvtest::sinks;

namespace {

void removeAll(const Value& files) {
    for (const Value& f : files.asArray()) std::remove(f.asStdString().c_str());
}

class SendTrigger : public ::testing::Test {
protected:
    std::shared_ptr<ZVEnvelopeBuild> builder = ZVEnvelopeBuild::sharedInstance();
    static void SetUpTestSuite() { sinks(); }
    void SetUp() override {
        sinks().reset();
        sinks().primary.setDefaultAnswer(accepted());
        removeAll(ZVFileUtility::envelopeFiles());
        removeAll(ZVFileUtility::envelopeFilesWithSubFolder(Value("sessionstart")));
        ZVConfigureCache::sharedInstance()->setENetStatus(1);
        // Only the send step is under test: work events do nothing here.
        ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent&, const auto&) {});
        // The network-idle event the settings cache sends when it is created goes by here.
        zvtest::drainWorkQueue();
        ZuzOzevoInternal::shared()->backstate = 0;
    }
    void TearDown() override {
        waitForJob();
        zvtest::drainWorkQueue();
        ZVWorkDispatch::setCommonEventHandler(nullptr);
    }
    std::string file(const std::string& dir, int64_t ts) {
        const std::string path = dir + "/a==7.3.5&=1.0_" + std::to_string(ts) + ZVFileUtility::kEnvelopeSuffix;
        const Value::Data body{1, 2, 3};
        EXPECT_TRUE(ZVFileUtility::saveData(&body, path));
        return path;
    }
    // Runs the main queue until the send step ran and its job (if any) ended.
    void waitForJob() {
        // The send step is queued behind whatever the main queue holds; one more block after
        // it tells that it ran.
        bool stepped = false;
        dispatch_async(dispatch_get_main_queue(), [&stepped] { stepped = true; });
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return stepped; }, 60));
        builder->networkerQueue()->waitUntilAllOperationsAreFinished();
        EXPECT_FALSE(builder->jobRunning());
    }
    static std::size_t count(const Value& v) { return v.count(); }
};

}  // namespace

TEST_F(SendTrigger, ReadinessStartsOneJobForWaitingFiles) {
    EXPECT_TRUE(builder->isReadyBuild()) << "nothing waits";
    const auto waiting = file(ZVFileUtility::zavezDirectory(), 1);
    ZVCommonLogManager::take();
    EXPECT_FALSE(builder->isReadyBuild());
    EXPECT_EQ(ZVCommonLogManager::count("common_envelope_debug3"), 1u);
    bool stepped = false;
    dispatch_async(dispatch_get_main_queue(), [&stepped] { stepped = true; });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return stepped; }, 60));
    // The job is queued or running now: the next question answers NO without a second job.
    if (builder->jobRunning()) {
        EXPECT_FALSE(builder->isReadyBuild());
        EXPECT_EQ(ZVCommonLogManager::count("common_envelope_debug1"), 1u);
    }
    waitForJob();
    EXPECT_EQ(sinks().primary.requests().size(), 1u);
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(waiting));
    EXPECT_TRUE(builder->isReadyBuild());

    // Without a usable network nothing is assembled (the status of the settings cache
    // counts only while the device reports no access at all).
    if (ZVUtils::accessString().empty()) {
        ZVConfigureCache::sharedInstance()->setENetStatus(0);
        EXPECT_FALSE(builder->isReadyBuild());
        ZVConfigureCache::sharedInstance()->setENetStatus(1);
    }
}

TEST_F(SendTrigger, AtMostOneHundredRootFilesAndTheSubFolderLimits) {
    // A declared sub-folder is trimmed to its count, the oldest first.
    ZVEnvelopeBuild::setEnvelopeSubFolder("sessionstart", 100);
    const auto subDir = [](const char* name) {
        return stringByDeletingLastPathComponent(*ZVFileUtility::generateEnvelopeNamePrefixSubFolder("x", "0", name));
    };
    std::vector<std::string> sessionFiles;
    for (int i = 0; i < 102; ++i) sessionFiles.push_back(file(subDir("sessionstart"), 5000 + i));
    EXPECT_EQ(ZVEnvelopeBuild::envelopeFilesForSubFolders().count(), 100u);
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(sessionFiles[0]));
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(sessionFiles[1]));
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(sessionFiles[2]));
    removeAll(ZVFileUtility::envelopeFilesWithSubFolder(Value("sessionstart")));

    // 101 root files: the send step deletes the oldest and posts the other 100 together with
    // the sub-folder files in one job.
    ZVEnvelopeBuild::setEnvelopeSubFolder("small", 3);
    std::vector<std::string> smallFiles;
    for (int i = 0; i < 5; ++i) smallFiles.push_back(file(subDir("small"), 7000 + i));
    std::vector<std::string> rootFiles;
    for (int i = 0; i < 101; ++i) rootFiles.push_back(file(ZVFileUtility::zavezDirectory(), 1000 + i));
    ZVCommonLogManager::take();
    builder->preparePerformLog();
    waitForJob();
    EXPECT_EQ(ZVCommonLogManager::count("common_envelope_warn1"), 1u);
    EXPECT_EQ(sinks().primary.requests().size(), 103u);
    EXPECT_EQ(ZVFileUtility::envelopeFiles().count(), 0u);
    EXPECT_EQ(ZVFileUtility::envelopeFilesWithSubFolder(Value("small")).count(), 0u);
}

TEST_F(SendTrigger, InTheBackgroundOnlyWhenTheEngineAllowsIt) {
    auto app = UIApplication::sharedApplication();
    app->finishLaunching();
    app->simulateResignActive();
    app->simulateEnterBackground();
    const auto waiting = file(ZVFileUtility::zavezDirectory(), 1);
    ZuzOzevoInternal::shared()->backstate = 1;
    builder->preparePerformLog();
    waitForJob();
    EXPECT_TRUE(sinks().primary.requests().empty());
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(waiting));

    ZuzOzevoInternal::shared()->backstate = 0;
    builder->preparePerformLog();
    waitForJob();
    EXPECT_EQ(sinks().primary.requests().size(), 1u);
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(waiting));
    app->simulateEnterForeground();
}

TEST_F(SendTrigger, AnUnreachableServiceGetsOneJobPerTrigger) {
    // The built-in work events run here: nothing the failed job does may start another.
    ZVWorkDispatch::setCommonEventHandler(nullptr);
    for (bool down : {true, false}) {
        SCOPED_TRACE(down ? "both sinks down" : "both sinks failing");
        sinks().reset();
        sinks().primary.setDown(down);
        sinks().secondary.setDown(down);
        sinks().primary.setDefaultAnswer({500, "application/thrift", "x"});
        sinks().secondary.setDefaultAnswer({500, "application/thrift", "x"});
        const int64_t failedBefore = ZVConfigureCache::objectWithKey("zvFailedRequests").integerValue();
        const auto waiting = file(ZVFileUtility::zavezDirectory(), 1);
        EXPECT_FALSE(builder->isReadyBuild());
        waitForJob();
        // Whatever the job left behind runs, then nothing more happens.
        for (int i = 0; i < 3; ++i) {
            zvtest::drainWorkQueue();
            waitForJob();
        }
        EXPECT_EQ(ZVConfigureCache::objectWithKey("zvFailedRequests").integerValue() - failedBefore, 2);
        EXPECT_EQ(sinks().primary.requests().size() + sinks().secondary.requests().size(), down ? 0u : 2u);
        EXPECT_TRUE(ZVFileUtility::isExistAtPath(waiting));
        std::remove(waiting.c_str());
    }
}
