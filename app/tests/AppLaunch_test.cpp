// The launch sequence per system version: the order of its steps, notification permission
// (legacy settings or the centre with the delegate), background fetch, cancelled
// notifications, the analytics start, navigation bar styles, the three tabs with their titles,
// the window reachable by key, and the foreground hook of the rating prompt.

#include <gtest/gtest.h>

#include <app/AppConfiguration.h>
#include <app/AppDelegate.h>
#include <app/screens/CommUtils.h>

#include <analytics_common/ZVConfigureCache.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>
#include <platform_runtime/KeyValueCoding.h>
#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UINavigationBarAppearance.h>
#include <platform_uikit/UITabBarItem.h>
#include <platform_uikit/UITraitCollection.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_widgets/RatePrompt.h>

#include "CatalogueTestServer.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> gSteps;

// The same colour in the light and the dark appearance.
bool sameColour(const UIColorPtr& a, const UIColorPtr& b) {
    if (!a || !b) return false;
    for (auto style : {UIUserInterfaceStyleLight, UIUserInterfaceStyleDark}) {
        auto traits = UITraitCollection::traitCollectionWithUserInterfaceStyle(style);
        if (!a->resolvedColorWithTraitCollection(*traits)->isEqual(*b->resolvedColorWithTraitCollection(*traits)))
            return false;
    }
    return true;
}

// Notes each step of the sequence, then runs it.
class RecordingAppDelegate : public AppDelegate {
public:
    void setInitRatesUI() override {
        gSteps.push_back("rates");
        AppDelegate::setInitRatesUI();
    }
    void setInitNoti(const Value& options) override {
        gSteps.push_back("notifications");
        AppDelegate::setInitNoti(options);
    }
    std::shared_ptr<TBTabBarController> setupViewControllers(const UIViewControllerPtr& a, const UIViewControllerPtr& b,
                                                             const UIViewControllerPtr& c) override {
        gSteps.push_back("tabs");
        return AppDelegate::setupViewControllers(a, b, c);
    }
    void customizeTabBarForController(TBTabBarController& controller) override {
        gSteps.push_back("customize");
        AppDelegate::customizeTabBarForController(controller);
    }
};

class AppLaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSSandbox::resetForTesting(sandbox.path());
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundlePathForTesting(std::string(PROJECT_SOURCE_DIR) + "/resources");
        app = UIApplication::sharedApplication();
        app->resetForTesting();
        center = UNUserNotificationCenter::currentNotificationCenter();
        center->resetForTesting();
        gSteps.clear();
    }
    void TearDown() override {
        app->resetForTesting();
        center->resetForTesting();
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        NSBundle::setMainBundlePathForTesting(std::nullopt);
        NSUserDefaults::resetStandardUserDefaults();
        NSSandbox::resetForTesting();
    }
    // Launches a new delegate on the given system version with a window of its own.
    std::shared_ptr<RecordingAppDelegate> launch(const NSOperatingSystemVersion& version) {
        NSProcessInfo::setOperatingSystemVersionForTesting(version);
        auto delegate = std::make_shared<RecordingAppDelegate>();
        delegate->setWindow(std::make_shared<UIWindow>());
        app->setDelegate(delegate);
        app->finishLaunching();
        return delegate;
    }
    static std::shared_ptr<TBTabBarController> tabs(const AppDelegate& delegate) {
        return std::dynamic_pointer_cast<TBTabBarController>(delegate.window()->rootViewController());
    }

    apptest::TempFolder sandbox{"applaunch"};
    std::shared_ptr<UIApplication> app;
    std::shared_ptr<UNUserNotificationCenter> center;
};

TEST_F(AppLaunchTest, TheSequencePerSystemVersion) {
    const struct {
        const char* name;
        NSOperatingSystemVersion version;
        bool centre;
        bool appearanceObjects;
    } cases[] = {
        {"9.3.5", {9, 3, 5}, false, false},
        {"10.0", {10, 0, 0}, true, false},
        {"10.3.1", {10, 3, 1}, true, false},
        {"14", {14, 0, 0}, true, false},
        {"15", {15, 0, 0}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app->resetForTesting();
        center->resetForTesting();
        gSteps.clear();
        // A change notification still pending from an earlier run.
        center->addNotificationRequest(UNNotificationRequest::requestWithIdentifier(
            AppDelegate::kNotificationIdentifier, std::make_shared<UNMutableNotificationContent>(),
            UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(60, false)));
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return center->pendingNotificationRequests().size() == 1; }, 5));

        auto delegate = launch(c.version);
        EXPECT_EQ(gSteps, (std::vector<std::string>{"rates", "notifications", "tabs", "customize"}));
        EXPECT_EQ(RatePrompt::appId(), std::optional<std::string>(AppConfiguration::kStoreIdentifier));
        if (c.centre) {
            EXPECT_EQ(center->delegate(), delegate);
            EXPECT_TRUE(spinMainRunLoopUntil([&] { return center->authorizationStatus() != UNAuthorizationStatusNotDetermined; }, 5));
        } else {
            EXPECT_FALSE(center->delegate());
            ASSERT_TRUE(app->currentUserNotificationSettings());
            EXPECT_EQ(app->currentUserNotificationSettings()->types(), 7u);
        }
        EXPECT_EQ(app->minimumBackgroundFetchInterval(), UIApplicationBackgroundFetchIntervalMinimum);
        EXPECT_TRUE(center->pendingNotificationRequests().empty());
        EXPECT_EQ(ZVConfigureCache::sharedInstance()->appkey(), std::optional<std::string>(AppConfiguration::kAnalyticsAppKey));
        EXPECT_EQ(ZVConfigureCache::sharedInstance()->channel(), "App Store");

        auto controller = tabs(*delegate);
        ASSERT_TRUE(controller);
        ASSERT_EQ(controller->viewControllers().size(), 3u);
        for (const auto& child : controller->viewControllers()) {
            auto navigation = std::dynamic_pointer_cast<UINavigationController>(child);
            ASSERT_TRUE(navigation);
            auto bar = navigation->navigationBar();
            const auto white = Value(UIColor::whiteColor());
            if (c.appearanceObjects) {
                ASSERT_TRUE(bar->standardAppearance());
                EXPECT_EQ(bar->scrollEdgeAppearance(), bar->standardAppearance());
                EXPECT_TRUE(sameColour(bar->standardAppearance()->backgroundColor(), CommUtils::getDarkModeNavColor()));
                EXPECT_EQ(bar->standardAppearance()->titleTextAttributes().at(Value(NSForegroundColorAttributeName)), white);
            } else {
                EXPECT_FALSE(bar->scrollEdgeAppearance());
                EXPECT_TRUE(sameColour(bar->barTintColor(), CommUtils::getDarkModeNavColor()));
                EXPECT_EQ(bar->titleTextAttributes().at(Value(NSForegroundColorAttributeName)), white);
            }
        }
    }
}

TEST_F(AppLaunchTest, ThreeTabsWithTheirScreensTitlesAndImages) {
    auto delegate = launch({15, 0, 0});
    auto controller = tabs(*delegate);
    ASSERT_TRUE(controller);
    ASSERT_EQ(controller->viewControllers().size(), 3u);
    const struct {
        const char* rootClass;
        const char* title;
    } expected[] = {{"ViewController", "Devices"}, {"ReleaseHistoryController", "Releases"},
                    {"ECSettingViewController", "Settings"}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].title);
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller->viewControllers()[i]);
        ASSERT_TRUE(navigation);
        ASSERT_FALSE(navigation->viewControllers().empty());
        EXPECT_EQ(navigation->viewControllers().front()->className(), expected[i].rootClass);
        EXPECT_EQ(navigation->tabBarItem()->title(), std::optional<std::string>(expected[i].title));
        EXPECT_TRUE(navigation->tabBarItem()->image());
        EXPECT_TRUE(navigation->tabBarItem()->selectedImage());
    }
    // Kits find the root through the delegate's window, by key.
    Value window = valueForKey(Value(std::static_pointer_cast<NSObject>(delegate)), "window");
    ASSERT_EQ(window.objectAs<UIWindow>(), delegate->window());
    EXPECT_EQ(window.objectAs<UIWindow>()->rootViewController(), controller);
}

TEST_F(AppLaunchTest, AnUntranslatedTitleShowsItsKey) {
    // A copy of the bundle whose strings lack "TabbarRH".
    apptest::TempFolder bundle("appbundle");
    fs::copy(std::string(PROJECT_SOURCE_DIR) + "/resources", bundle.path(), fs::copy_options::recursive);
    const std::string strings = bundle.path() + "/en.lproj/Localizable.strings";
    std::string text = apptest::readFile(strings), kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.find("\"TabbarRH\"") == std::string::npos) kept += line + "\n";
    std::ofstream(strings, std::ios::trunc) << kept;
    NSBundle::setMainBundlePathForTesting(bundle.path());

    auto controller = tabs(*launch({15, 0, 0}));
    ASSERT_TRUE(controller);
    ASSERT_EQ(controller->viewControllers().size(), 3u);
    EXPECT_EQ(controller->viewControllers()[1]->tabBarItem()->title(), std::optional<std::string>("TabbarRH"));
    EXPECT_EQ(controller->viewControllers()[0]->tabBarItem()->title(), std::optional<std::string>("Devices"));
}

TEST_F(AppLaunchTest, ReturningToTheForegroundCountsAUseOfTheRatingPrompt) {
    launch({15, 0, 0});
    RatePrompt::waitForLaunchWorkForTesting();
    auto defaults = NSUserDefaults::standardUserDefaults();
    const int64_t afterLaunch = defaults->integerForKey(kRatePromptUseCount);
    EXPECT_GE(afterLaunch, 1);
    app->simulateEnterBackground();
    app->simulateEnterForeground();
    RatePrompt::sharedInstance()->eventQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(defaults->integerForKey(kRatePromptUseCount), afterLaunch + 1);
}

}  // namespace
