// The rating prompt: counting per version, the conditions, the choices,
// the review request and review page, the network probe against a loopback
// server, resigning active, and the stored keys as another reader sees them.

#include "WidgetTestSupport.h"

#include <ui_widgets/RatePrompt.h>

#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLSessionTask.h>
#include <platform_net/SCNetworkReachability.h>
#include <platform_system/SKStoreReviewController.h>
#include <platform_uikit/SKStoreProductViewController.h>
#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIButton.h>

#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace widgets_test;

namespace {

constexpr double kDay = 86400;

struct Recorder : RatePromptDelegate {
    std::vector<std::string> calls;
    bool allow = true;
    bool ratePromptShouldDisplayAlert(RatePrompt&) override { calls.push_back("should"); return allow; }
    void ratePromptDidDisplayAlert(RatePrompt&) override { calls.push_back("displayed"); }
    void ratePromptDidDeclineToRate(RatePrompt&) override { calls.push_back("declined"); }
    void ratePromptDidOptToRate(RatePrompt&) override { calls.push_back("rate"); }
    void ratePromptDidOptToRemindLater(RatePrompt&) override { calls.push_back("later"); }
    void ratePromptWillPresentModalView(RatePrompt&, bool animated) override {
        calls.push_back(std::string("willPresent ") + (animated ? "1" : "0"));
    }
    void ratePromptDidDismissModalView(RatePrompt&, bool animated) override {
        calls.push_back(std::string("didDismiss ") + (animated ? "1" : "0"));
    }
};

class RatePromptTest : public WidgetTest {
public:
    void SetUp() override {
        WidgetTest::SetUp();
        writeBundle("1.0");
        clearDefaults();  // the bundle's identifier names another defaults file
        clock = 1000 * kDay;
        NSDate::setClockForTesting([this] { return clock.load() - NSTimeIntervalSince1970; });
        RatePrompt::setReachabilityFlagsReaderForTesting(
            [] { return std::optional<uint32_t>(kSCNetworkReachabilityFlagsReachable); });
        ::setenv(RatePrompt::kProbeURLVariable, "http://127.0.0.1:9/", 1);
        // The app's settings.
        RatePrompt::setAppId("1234567");
        RatePrompt::setDaysUntilPrompt(1.0);
        RatePrompt::setUsesUntilPrompt(0);
        RatePrompt::setSignificantEventsUntilPrompt(-1);
        RatePrompt::setTimeBeforeReminding(2.0);
        RatePrompt::setDebug(false);
        RatePrompt::setDelegate(recorder);
        RatePrompt::sharedInstance()->setAlertVisibleForTesting(false);
        RatePrompt::clearLoggedLines();
        SKStoreReviewController::resetRequestCountForTesting();
    }
    void TearDown() override {
        // A probe still loading when the process ends would leave its task, loader and
        // session holding each other: each test waits for its probe to end.
        if (auto probe = RatePrompt::sharedInstance()->lastProbeTask())
            EXPECT_TRUE(spinMainRunLoopUntil([&] { return probe->state() == NSURLSessionTaskStateCompleted; }, 30));
        RatePrompt::setReachabilityFlagsReaderForTesting(nullptr);
        NSDate::resetClockForTesting();
        NSBundle::setMainBundlePathForTesting(std::nullopt);
        WidgetTest::TearDown();
    }
    // A main bundle with an Info.plist of the given version, and the prompt's texts.
    void writeBundle(const std::string& version) {
        std::string dir = NSSandbox::rootPath() + "/Bundle-" + version;
        std::filesystem::create_directories(dir);
        std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                            "<key>CFBundleVersion</key><string>" + version + "</string>"
                            "<key>CFBundleDisplayName</key><string>Firmwares</string>"
                            "<key>CFBundleIdentifier</key><string>com.example.firmwares</string></dict></plist>\n";
        ASSERT_TRUE(NSDataFile::writeStringToFile(plist, dir + "/Info.plist", true));
        std::error_code ignored;
        std::filesystem::create_directory_symlink(std::string(PROJECT_SOURCE_DIR) + "/resources/RatePrompt.bundle",
                                                  dir + "/RatePrompt.bundle", ignored);
        NSBundle::setMainBundlePathForTesting(dir);
    }
    std::shared_ptr<NSUserDefaults> defaults() { return NSUserDefaults::standardUserDefaults(); }
    RatePrompt& prompt() { return *RatePrompt::sharedInstance(); }
    // Waits for the background and event queues to have counted `uses`.
    void waitForUses(int64_t uses) {
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return defaults()->integerForKey(kRatePromptUseCount) >= uses; }, 10));
        ManualClock::advance(0);
    }

    std::atomic<double> clock{0};
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(RatePromptTest, FirstLaunchCountsAndWaitsADay) {
    RatePrompt::appLaunched(true);
    RatePrompt::waitForLaunchWorkForTesting();
    ManualClock::advance(0);
    EXPECT_TRUE(recorder->calls.empty());
    EXPECT_EQ(defaults()->stringForKey(kRatePromptCurrentVersion), "1.0");
    EXPECT_EQ(defaults()->doubleForKey(kRatePromptFirstUseDate), clock.load());
    EXPECT_EQ(defaults()->integerForKey(kRatePromptUseCount), 1);
    EXPECT_FALSE(prompt().ratingConditionsHaveBeenMet());
}

TEST_F(RatePromptTest, ForegroundADayLaterPromptsOncePerVersion) {
    RatePrompt::appEnteredForeground(true);
    prompt().eventQueue()->waitUntilAllOperationsAreFinished();
    ManualClock::advance(0);
    EXPECT_TRUE(recorder->calls.empty());
    clock = clock + kDay;
    RatePrompt::appEnteredForeground(true);
    prompt().eventQueue()->waitUntilAllOperationsAreFinished();
    ManualClock::advance(0);
    EXPECT_EQ(defaults()->integerForKey(kRatePromptUseCount), 2);
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"should", "displayed"}));
    if (SKStoreReviewController::isAvailable()) {
        // The review request marks the version as rated: no second prompt in this version.
        EXPECT_EQ(SKStoreReviewController::requestCount(), 1u);
        EXPECT_TRUE(defaults()->boolForKey(kRatePromptRatedCurrentVersion));
        RatePrompt::appEnteredForeground(true);
        prompt().eventQueue()->waitUntilAllOperationsAreFinished();
        ManualClock::advance(0);
        EXPECT_EQ(SKStoreReviewController::requestCount(), 1u);
        EXPECT_EQ(recorder->calls.size(), 2u);
    }
    // A delegate that says no stops the prompt before anything shows.
    recorder->calls.clear();
    recorder->allow = false;
    prompt().showRatingAlert(true);
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"should"}));
}

TEST_F(RatePromptTest, Conditions) {
    struct Case {
        const char* name;
        std::function<void(RatePromptTest&)> arrange;
        bool met, appropriate;
    };
    const Case cases[] = {
        {"a day and a use", [](RatePromptTest&) {}, true, true},
        {"less than a day", [](RatePromptTest& t) { t.defaults()->setDouble(t.clock - kDay + 1, kRatePromptFirstUseDate); }, false, true},
        {"too few uses", [](RatePromptTest&) { RatePrompt::setUsesUntilPrompt(5); }, false, true},
        {"too few events", [](RatePromptTest&) { RatePrompt::setSignificantEventsUntilPrompt(2); }, false, true},
        {"reminded a day ago", [](RatePromptTest& t) { t.defaults()->setDouble(t.clock - kDay, kRatePromptReminderRequestDate); }, false, true},
        {"reminded two days ago", [](RatePromptTest& t) { t.defaults()->setDouble(t.clock - 2 * kDay, kRatePromptReminderRequestDate); }, true, true},
        {"debug", [](RatePromptTest& t) { RatePrompt::setDebug(true); RatePrompt::setUsesUntilPrompt(99); (void)t; }, true, true},
        {"declined", [](RatePromptTest& t) { t.defaults()->setBool(true, kRatePromptDeclinedToRate); }, true, false},
        {"rated", [](RatePromptTest& t) { t.defaults()->setBool(true, kRatePromptRatedCurrentVersion); }, true, false},
        {"alert up", [](RatePromptTest& t) { t.prompt().setAlertVisibleForTesting(true); }, true, false},
        {"no network", [](RatePromptTest&) { RatePrompt::setReachabilityFlagsReaderForTesting([] { return std::optional<uint32_t>(0); }); }, true, false},
        {"connection required", [](RatePromptTest&) {
             RatePrompt::setReachabilityFlagsReaderForTesting([] {
                 return std::optional<uint32_t>(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired);
             });
         }, true, false},
        {"transient", [](RatePromptTest&) {
             RatePrompt::setReachabilityFlagsReaderForTesting([] { return std::optional<uint32_t>(kSCNetworkReachabilityFlagsTransientConnection); });
         }, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        prompt().incrementUseCount();
        defaults()->setDouble(clock - kDay, kRatePromptFirstUseDate);
        c.arrange(*this);
        EXPECT_EQ(prompt().ratingConditionsHaveBeenMet(), c.met);
        EXPECT_EQ(prompt().ratingAlertIsAppropriate(), c.appropriate);
        TearDown();
    }
    SetUp();
}

TEST_F(RatePromptTest, VersionChangeResetsAndAnEventAfterAnUpdateLeavesTheDateOpen) {
    prompt().incrementUseCount();
    prompt().incrementUseCount();
    defaults()->setBool(true, kRatePromptDeclinedToRate);
    defaults()->setBool(true, kRatePromptRatedCurrentVersion);
    defaults()->setDouble(clock - 5, kRatePromptReminderRequestDate);
    writeBundle("1.1");
    clock = clock + 10;
    prompt().incrementSignificantEventCount();
    EXPECT_EQ(defaults()->stringForKey(kRatePromptCurrentVersion), "1.1");
    EXPECT_EQ(defaults()->doubleForKey(kRatePromptFirstUseDate), 0.0);
    EXPECT_EQ(defaults()->integerForKey(kRatePromptUseCount), 0);
    EXPECT_EQ(defaults()->integerForKey(kRatePromptSignificantEventCount), 1);
    EXPECT_FALSE(defaults()->boolForKey(kRatePromptDeclinedToRate));
    EXPECT_FALSE(defaults()->boolForKey(kRatePromptRatedCurrentVersion));
    EXPECT_EQ(defaults()->doubleForKey(kRatePromptReminderRequestDate), 0.0);
    // The days test passes at once for this decision.
    EXPECT_TRUE(prompt().ratingConditionsHaveBeenMet());
    // The next use stores the first-use date.
    prompt().incrementUseCount();
    EXPECT_EQ(defaults()->doubleForKey(kRatePromptFirstUseDate), clock.load());
    // A use in a new version starts at 1 with the date of now.
    writeBundle("2.0");
    prompt().incrementUseCount();
    EXPECT_EQ(defaults()->integerForKey(kRatePromptUseCount), 1);
    EXPECT_EQ(defaults()->integerForKey(kRatePromptSignificantEventCount), 0);
}

TEST_F(RatePromptTest, DebugShowsAtEveryLaunchWithoutCounting) {
    RatePrompt::setDebug(true);
    RatePrompt::appLaunched(true);
    RatePrompt::waitForLaunchWorkForTesting();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !recorder->calls.empty(); }, 10));
    EXPECT_EQ(defaults()->integerForKey(kRatePromptUseCount), 0);
    prompt().incrementUseCount();
    auto lines = RatePrompt::loggedLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "RATEPROMPT Use count: 1"), lines.end());
}

TEST_F(RatePromptTest, ChoicesAndTheirRecords) {
    EXPECT_EQ(prompt().alertTitle(), "Rate Firmwares");
    EXPECT_EQ(prompt().alertChoices(true), (std::vector<std::string>{"Rate Firmwares", "Remind me later", "No, Thanks"}));
    EXPECT_EQ(prompt().alertChoices(false), (std::vector<std::string>{"Rate Firmwares", "No, Thanks"}));
    struct Case {
        int64_t index;
        const char* call;
        const char* key;
    };
    for (Case c : {Case{0, "declined", kRatePromptDeclinedToRate}, Case{1, "rate", kRatePromptRatedCurrentVersion},
                   Case{2, "later", kRatePromptReminderRequestDate}, Case{7, nullptr, nullptr}}) {
        SCOPED_TRACE(c.index);
        recorder->calls.clear();
        for (const char* k : {kRatePromptDeclinedToRate, kRatePromptRatedCurrentVersion, kRatePromptReminderRequestDate})
            defaults()->removeObjectForKey(k);
        prompt().alertViewDidDismissWithButtonIndex(c.index);
        EXPECT_EQ(recorder->calls, c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{});
        if (c.key) EXPECT_FALSE(defaults()->objectForKey(c.key).isNull());
        else EXPECT_TRUE(defaults()->objectForKey(kRatePromptDeclinedToRate).isNull());
    }
    // Equal cancel and rate texts: either choice counts as a decline.
    RatePrompt::setCustomAlertCancelButtonTitle("Same");
    RatePrompt::setCustomAlertRateButtonTitle("Same");
    EXPECT_EQ(prompt().choiceForTitle("Same"), 0);
    EXPECT_EQ(prompt().choiceForTitle("Remind me later"), 2);
    EXPECT_EQ(prompt().choiceForTitle("other"), -1);
    RatePrompt::setCustomAlertCancelButtonTitle(std::nullopt);
    RatePrompt::setCustomAlertRateButtonTitle(std::nullopt);
}

TEST_F(RatePromptTest, RateAppRequestsAReviewOrOpensTheReviewPage) {
    RatePrompt::rateApp();
    EXPECT_TRUE(defaults()->boolForKey(kRatePromptRatedCurrentVersion));
    if (SKStoreReviewController::isAvailable()) {
        EXPECT_EQ(SKStoreReviewController::requestCount(), 1u);
        EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    } else {
        EXPECT_EQ(SKStoreReviewController::requestCount(), 0u);
        EXPECT_EQ(UIApplication::sharedApplication()->openedURLs(),
                  (std::vector<std::string>{"itms-apps://itunes.apple.invalid/WebObjects/MZStore.woa/wa/"
                                            "viewContentsUserReviews?id=1234567&onlyLatestVersion=true&pageNumber=0&"
                                            "sortOrdering=1&type=Purple+Software"}));
    }
}

TEST_F(RatePromptTest, ProbeReachesALoopbackServer) {
    httplib::Server server;
    std::atomic<int> gets{0};
    server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
        ++gets;
        res.set_content("ok", "text/plain");
    });
    server.set_keep_alive_max_count(1);  // each answer ends its connection, so stop() need not wait on one
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    ::setenv(RatePrompt::kProbeURLVariable, ("http://127.0.0.1:" + std::to_string(port) + "/").c_str(), 1);
    EXPECT_TRUE(prompt().connectedToNetwork());
    auto request = prompt().lastProbeTask()->originalRequest();
    EXPECT_EQ(request->HTTPMethod(), "GET");
    EXPECT_EQ(request->cachePolicy(), NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_EQ(request->timeoutInterval(), 20.0);
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return gets.load() == 1; }, 20));
    // A second check probes again through the same session: its task numbers go on.
    auto first = prompt().lastProbeTask();
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return first->state() == NSURLSessionTaskStateCompleted; }, 20));
    EXPECT_TRUE(prompt().connectedToNetwork());
    EXPECT_GT(prompt().lastProbeTask()->taskIdentifier(), first->taskIdentifier());
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return gets.load() == 2; }, 20));
    server.stop();
    serving.join();
}

TEST_F(RatePromptTest, UnreadableFlagsAreLoggedAndMeanNoNetwork) {
    RatePrompt::setReachabilityFlagsReaderForTesting([] { return std::optional<uint32_t>(); });
    EXPECT_FALSE(prompt().connectedToNetwork());
    EXPECT_EQ(RatePrompt::loggedLines(),
              (std::vector<std::string>{"Error. Could not recover network reachability flags"}));
}

TEST_F(RatePromptTest, ResigningActiveHidesTheAlertWithoutARecord) {
    RatePrompt::setDebug(true);
    prompt().setAlertVisibleForTesting(true);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillResignActiveNotification);
    EXPECT_FALSE(prompt().isRatingAlertVisible());
    EXPECT_FALSE(defaults()->boolForKey(kRatePromptDeclinedToRate));
    auto lines = RatePrompt::loggedLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "RATEPROMPT Hiding Alert"), lines.end());
}

TEST_F(RatePromptTest, StoredKeysReadBackByAnotherReader) {
    prompt().incrementUseCount();
    prompt().incrementSignificantEventCount();
    RatePrompt::rateApp();
    NSUserDefaults::resetStandardUserDefaults();  // writes the file
    std::string path = NSUserDefaults::standardUserDefaults()->filePath();
    std::string script = "import plistlib,sys\nd=plistlib.load(open(sys.argv[1],'rb'))\n"
                         "print(d['kRatePromptCurrentVersion'], d['kRatePromptUseCount'], "
                         "d['kRatePromptSignificantEventCount'], d['kRatePromptRatedCurrentVersion'], "
                         "d['kRatePromptFirstUseDate'])\n";
    std::string scriptPath = NSSandbox::rootPath() + "/read.py";
    ASSERT_TRUE(NSDataFile::writeStringToFile(script, scriptPath, true));
    std::string command = "/usr/bin/python3 " + scriptPath + " '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[256] = {};
    std::string out = fgets(buffer, sizeof buffer, pipe) ? buffer : "";
    ::pclose(pipe);
    EXPECT_EQ(out, "1.0 1 1 True " + std::to_string(int64_t(clock.load())) + ".0\n");
}

TEST_F(RatePromptTest, ProductSheetWhenNotOpeningTheStoreAndNoReviewRequest) {
    if (SKStoreReviewController::isAvailable()) GTEST_SKIP() << "the review request takes precedence from 10.3";
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    ManualClock::advance(0);
    EXPECT_EQ(RatePrompt::getRootViewController(), root);
    RatePrompt::setOpenInAppStore(false);
    RatePrompt::rateApp();
    ManualClock::advance(1);
    auto sheet = std::dynamic_pointer_cast<SKStoreProductViewController>(root->presentedViewController());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->parameters().objectForKey(Value(SKStoreProductParameterITunesItemIdentifier)).integerValue(), 1234567);
    EXPECT_TRUE(RatePrompt::modalOpen());
    EXPECT_EQ(RatePrompt::getRootViewController(), sheet);  // the top-most controller
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    // Done tells the prompt, which dismisses the sheet.
    CGRect done = sheet->doneButton()->convertRectToView(sheet->doneButton()->bounds(), nullptr);
    UITouchInjection::tap(CGPointMake(done.origin.x + 5, done.origin.y + 5), window.get());
    ManualClock::advance(1);
    EXPECT_FALSE(RatePrompt::modalOpen());
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"willPresent 1", "didDismiss 1"}));
    RatePrompt::setOpenInAppStore(true);
    window->setHidden(true);
}

class RatePromptAlertTest : public RatePromptTest {
public:
    void SetUp() override {
        RatePromptTest::SetUp();
        if (SKStoreReviewController::isAvailable()) GTEST_SKIP() << "from 10.3 prompts become review requests";
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        root = std::make_shared<UIViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        ManualClock::advance(0);
    }
    void TearDown() override {
        if (window) window->setHidden(true);
        RatePrompt::setCustomAlertCancelButtonTitle(std::nullopt);
        RatePrompt::setCustomAlertRateButtonTitle(std::nullopt);
        RatePromptTest::TearDown();
    }
    std::shared_ptr<UIAlertController> showAlert() {
        RatePrompt::forceShowPrompt(true);
        ManualClock::advance(0.5);
        return std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    }
    void tapAction(const std::shared_ptr<UIAlertController>& alert, std::size_t index) {
        auto button = alert->buttonForAction(alert->actions().at(index));
        CGRect frame = button->convertRectToView(button->bounds(), nullptr);
        UITouchInjection::tap(CGPointMake(frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2),
                              window.get());
        ManualClock::advance(0.5);
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> root;
};

TEST_F(RatePromptAlertTest, ChoicesAnsweredByTapping) {
    struct Case {
        std::size_t index;
        const char* call;
        const char* key;
    };
    // Order: rate, remind later, cancel (the last with the cancel style).
    for (Case c : {Case{0, "rate", kRatePromptRatedCurrentVersion}, Case{1, "later", kRatePromptReminderRequestDate},
                   Case{2, "declined", kRatePromptDeclinedToRate}}) {
        SCOPED_TRACE(c.call);
        recorder->calls.clear();
        auto alert = showAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->title(), "Rate Firmwares");
        ASSERT_EQ(alert->actions().size(), 3u);
        EXPECT_EQ(alert->actions()[2]->style(), UIAlertActionStyleCancel);
        EXPECT_TRUE(prompt().isRatingAlertVisible());
        EXPECT_EQ(prompt().ratingAlert(), alert);
        tapAction(alert, c.index);
        EXPECT_FALSE(prompt().isRatingAlertVisible());
        EXPECT_EQ(prompt().ratingAlert(), nullptr);
        EXPECT_EQ(recorder->calls, (std::vector<std::string>{"should", "displayed", c.call}));
        EXPECT_FALSE(defaults()->objectForKey(c.key).isNull());
    }
    // Rating opened the review page (no review request below 10.3).
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs().size(), 1u);
}

TEST_F(RatePromptAlertTest, EqualCancelAndRateTextsRecordADecline) {
    RatePrompt::setCustomAlertCancelButtonTitle("OK");
    RatePrompt::setCustomAlertRateButtonTitle("OK");
    for (std::size_t index : {std::size_t(0), std::size_t(2)}) {
        SCOPED_TRACE(index);
        defaults()->removeObjectForKey(kRatePromptDeclinedToRate);
        recorder->calls.clear();
        auto alert = showAlert();
        ASSERT_NE(alert, nullptr);
        tapAction(alert, index);
        EXPECT_EQ(recorder->calls.back(), "declined");
        EXPECT_TRUE(defaults()->boolForKey(kRatePromptDeclinedToRate));
        EXPECT_FALSE(defaults()->boolForKey(kRatePromptRatedCurrentVersion));
    }
}

TEST_F(RatePromptAlertTest, ResigningActiveHidesTheShownAlert) {
    auto alert = showAlert();
    ASSERT_NE(alert, nullptr);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillResignActiveNotification);
    ManualClock::advance(0.5);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_FALSE(prompt().isRatingAlertVisible());
    EXPECT_EQ(prompt().ratingAlert(), alert);  // kept, nothing recorded
    EXPECT_FALSE(defaults()->boolForKey(kRatePromptDeclinedToRate));
    EXPECT_TRUE(prompt().ratingAlertIsAppropriate());  // a later prompt is possible
}

TEST_F(RatePromptAlertTest, NoWindowKeepsTheAlertUnshown) {
    window->setHidden(true);
    RatePrompt::forceShowPrompt(false);
    ManualClock::advance(0.5);
    ASSERT_NE(prompt().ratingAlert(), nullptr);
    EXPECT_EQ(prompt().ratingAlert()->actions().size(), 2u);
    EXPECT_FALSE(prompt().isRatingAlertVisible());
}

}  // namespace
