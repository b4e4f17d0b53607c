// The background fetch driver on the manual clock: when the delegate is asked,
// how its completion counts, the 30 s limit and the records the host reads.

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIResponder.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_foundation/Sandbox.h>
#include <platform_foundation/SystemRecords.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include <unistd.h>

namespace {

class PlainDelegate : public UIResponder, public UIApplicationDelegate {
    NS_CLASS(PlainDelegate, UIResponder)
};

// Keeps the completion so a test answers when it likes.
class FetchDelegate : public UIResponder, public UIApplicationDelegate {
    NS_CLASS(FetchDelegate, UIResponder)
public:
    int calls = 0;
    UIApplicationState stateWhenAsked = UIApplicationStateActive;
    std::function<void(UIBackgroundFetchResult)> completion;
    void applicationPerformFetch(UIApplication& app, std::function<void(UIBackgroundFetchResult)> done) override {
        ++calls;
        stateWhenAsked = app.applicationState();
        completion = std::move(done);
    }
};

class BackgroundFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("uikit-fetch-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root_);
        NSSandbox::resetForTesting(root_.string());
        ManualClock::install();
        app->resetForTesting();
    }
    void TearDown() override {
        app->resetForTesting();
        // Let any fetch left open expire here rather than in the next test.
        ManualClock::advance(UIApplication::kBackgroundFetchTimeLimit + 1);
        ManualClock::uninstall();
        NSSandbox::resetForTesting();
        std::filesystem::remove_all(root_);
    }
    std::vector<Value> records() { return SystemRecords::read(UIApplication::kBackgroundFetchRecordsFile); }
    std::shared_ptr<FetchDelegate> launchWithFetchDelegate() {
        auto delegate = std::make_shared<FetchDelegate>();
        app->setDelegate(delegate);
        app->finishLaunching();
        app->setMinimumBackgroundFetchInterval(UIApplicationBackgroundFetchIntervalMinimum);
        return delegate;
    }

    std::filesystem::path root_;
    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
};

TEST_F(BackgroundFetchTest, TheDelegateIsAskedOnlyWithAnIntervalAnAvailableStatusAndTheMethod) {
    const double never = UIApplicationBackgroundFetchIntervalNever, minimum = UIApplicationBackgroundFetchIntervalMinimum;
    for (double interval : {never, minimum}) {
        for (auto status : {UIBackgroundRefreshStatusAvailable, UIBackgroundRefreshStatusDenied,
                            UIBackgroundRefreshStatusRestricted}) {
            for (bool implements : {true, false}) {
                SCOPED_TRACE(std::string(interval == never ? "never" : "minimum") + " status=" +
                             std::to_string(status) + (implements ? " with" : " without") + " the method");
                app->resetForTesting();
                auto fetching = std::make_shared<FetchDelegate>();
                if (implements)
                    app->setDelegate(fetching);
                else
                    app->setDelegate(std::make_shared<PlainDelegate>());
                app->finishLaunching();
                ASSERT_EQ(app->applicationState(), UIApplicationStateActive);
                app->setMinimumBackgroundFetchInterval(interval);
                app->setBackgroundRefreshStatus(status);

                const bool expected = interval != never && status == UIBackgroundRefreshStatusAvailable && implements;
                EXPECT_EQ(app->simulateBackgroundFetch(), expected);
                EXPECT_EQ(fetching->calls, expected ? 1 : 0);
                if (expected) EXPECT_EQ(fetching->stateWhenAsked, UIApplicationStateBackground);
                // The app is sent to the background whether it is asked or not.
                EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
                // A fetch that was not asked for never expires.
                ManualClock::advance(UIApplication::kBackgroundFetchTimeLimit + 1);
                EXPECT_EQ(app->lastBackgroundFetchOutcome(), expected ? "expired" : "");
            }
        }
    }
}

TEST_F(BackgroundFetchTest, TheCompletionCountsOnceAndSilenceExpiresAfterThirtySeconds) {
    using R = UIBackgroundFetchResult;
    struct Case {
        const char* name;
        double answerAfter;  // seconds on the manual clock; < 0: never
        std::vector<R> answers;
        std::optional<R> last;
        const char* outcome;
    };
    const Case cases[] = {
        {"new data at once", 0, {UIBackgroundFetchResultNewData}, UIBackgroundFetchResultNewData, "new data"},
        {"no data, then failed: the second is ignored", 0,
         {UIBackgroundFetchResultNoData, UIBackgroundFetchResultFailed}, UIBackgroundFetchResultNoData, "no data"},
        {"failed just inside the limit", 29.5, {UIBackgroundFetchResultFailed}, UIBackgroundFetchResultFailed,
         "failed"},
        {"never answered", -1, {}, std::nullopt, "expired"},
        {"answered after the limit: ignored", 31, {UIBackgroundFetchResultNewData}, std::nullopt, "expired"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app->resetForTesting();
        std::filesystem::remove(SystemRecords::path(UIApplication::kBackgroundFetchRecordsFile));
        auto delegate = launchWithFetchDelegate();
        const double asked = NSDate::date().timeIntervalSince1970();
        ASSERT_TRUE(app->simulateBackgroundFetch());
        if (c.answerAfter >= 0) {
            ManualClock::advance(c.answerAfter);
            for (auto answer : c.answers) delegate->completion(answer);
        }
        // Not expired a moment before the limit, whatever happened.
        ManualClock::advance(UIApplication::kBackgroundFetchTimeLimit - 0.01 - std::max(c.answerAfter, 0.0));
        if (c.answerAfter < 0) EXPECT_EQ(app->lastBackgroundFetchOutcome(), "");
        ManualClock::advance(1);
        EXPECT_EQ(app->lastBackgroundFetchResult(), c.last);
        EXPECT_EQ(app->lastBackgroundFetchOutcome(), c.outcome);

        auto lines = records();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].objectForKey("outcome").stringValue(), c.outcome);
        EXPECT_EQ(lines[0].objectForKey("result").isNull(), !c.last.has_value());
        if (c.last) EXPECT_EQ(lines[0].objectForKey("result").integerValue(), *c.last);
        EXPECT_NEAR(lines[0].objectForKey("asked").doubleValue(), asked, 0.01);
        const double took = c.last ? c.answerAfter : UIApplication::kBackgroundFetchTimeLimit;
        EXPECT_NEAR(lines[0].objectForKey("ended").doubleValue() - asked, took, 0.01);
    }
}

TEST_F(BackgroundFetchTest, AnAnswerFromAnotherThreadIsRecordedOnTheMainQueue) {
    auto delegate = launchWithFetchDelegate();
    ASSERT_TRUE(app->simulateBackgroundFetch());
    std::thread([&] { delegate->completion(UIBackgroundFetchResultNoData); }).join();
    EXPECT_EQ(app->lastBackgroundFetchOutcome(), "");
    ManualClock::advance(0);
    EXPECT_EQ(app->lastBackgroundFetchOutcome(), "no data");
    ManualClock::advance(UIApplication::kBackgroundFetchTimeLimit);
    EXPECT_EQ(app->lastBackgroundFetchOutcome(), "no data");
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(BackgroundFetchTest, AnOlderFetchThatExpiresLeavesTheNewerOutcomeAlone) {
    auto delegate = launchWithFetchDelegate();
    ASSERT_TRUE(app->simulateBackgroundFetch());
    ManualClock::advance(10);
    ASSERT_TRUE(app->simulateBackgroundFetch());
    delegate->completion(UIBackgroundFetchResultNewData);
    ManualClock::advance(25);  // the first one's limit passes
    EXPECT_EQ(app->lastBackgroundFetchOutcome(), "new data");
    auto lines = records();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].objectForKey("outcome").stringValue(), "new data");
    EXPECT_EQ(lines[1].objectForKey("outcome").stringValue(), "expired");
}

TEST_F(BackgroundFetchTest, TheStatusComesFromTheDeviceSetting) {
    const struct {
        const char* value;
        UIBackgroundRefreshStatus status;
    } cases[] = {
        {nullptr, UIBackgroundRefreshStatusAvailable},      {"available", UIBackgroundRefreshStatusAvailable},
        {"denied", UIBackgroundRefreshStatusDenied},         {"restricted", UIBackgroundRefreshStatusRestricted},
        {"sometimes", UIBackgroundRefreshStatusAvailable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "unset");
        if (c.value)
            ::setenv(UIApplication::kBackgroundRefreshEnvironmentVariable, c.value, 1);
        else
            ::unsetenv(UIApplication::kBackgroundRefreshEnvironmentVariable);
        app->resetForTesting();
        EXPECT_EQ(app->backgroundRefreshStatus(), c.status);
    }
    ::unsetenv(UIApplication::kBackgroundRefreshEnvironmentVariable);
    app->resetForTesting();
}

}  // namespace
