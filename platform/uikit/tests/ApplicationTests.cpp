#include "ControllerLogging.h"

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UILayoutGuide.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>
#include <platform_uikit/UIWindowScene.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/NSException.h>

#include <filesystem>
#include <fstream>
#include <optional>

using namespace controller_test;

namespace {

Log* gLog = nullptr;

std::string flags(const UIWindowPtr& window) {
    if (!window) return "no window";
    return std::string("hidden=") + (window->isHidden() ? "1" : "0") + " key=" + (window->isKeyWindow() ? "1" : "0");
}

// The application delegate UIApplicationMain makes by class name; it keeps its window.
class LaunchRecordingDelegate : public UIResponder, public UIApplicationDelegate {
    NS_CLASS(LaunchRecordingDelegate, UIResponder)
public:
    UIWindowPtr window_;
    void note(const std::string& line) const {
        if (gLog) gLog->push_back(line);
    }
    bool applicationWillFinishLaunching(UIApplication&, const Value&) override {
        note("delegate willFinish " + flags(window_));
        return true;
    }
    bool applicationDidFinishLaunching(UIApplication&, const Value&) override {
        note("delegate didFinish " + flags(window_));
        return true;
    }
    void applicationDidBecomeActive(UIApplication&) override { note("delegate active " + flags(window_)); }
    void applicationWillResignActive(UIApplication&) override { note("delegate resign"); }
    void applicationDidEnterBackground(UIApplication&) override { note("delegate background"); }
    void applicationWillEnterForeground(UIApplication&) override { note("delegate foreground"); }
    void applicationWillTerminate(UIApplication&) override { note("delegate terminate"); }
    void applicationDidReceiveMemoryWarning(UIApplication&) override { note("delegate memory"); }
    UIWindowPtr window() const override { return window_; }
    void setWindow(UIWindowPtr window) override {
        window_ = std::move(window);
        note("delegate setWindow " + flags(window_) + " root=" +
             (window_->rootViewController() ? window_->rootViewController()->className() : "none"));
    }
};

// A folder with an Info.plist made of `entries` (plist XML of the dict's body).
class TemporaryBundle {
public:
    explicit TemporaryBundle(const std::string& entries, const char* mainStoryboard = nullptr) {
        path_ = std::filesystem::temp_directory_path() /
                ("uikit-app-bundle-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
        std::ofstream(path_ / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>com.example.uikit-tests</string>"
            << entries << "</dict></plist>\n";
        if (mainStoryboard) std::ofstream(path_ / "Main.storyboard.json") << mainStoryboard;
        NSBundle::setMainBundlePathForTesting(path_.string());
    }
    ~TemporaryBundle() {
        NSBundle::setMainBundlePathForTesting(std::nullopt);
        std::filesystem::remove_all(path_);
    }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

const char* const kNotifications[] = {
    UIApplicationDidFinishLaunchingNotification, UIApplicationDidBecomeActiveNotification,
    UIApplicationWillResignActiveNotification,   UIApplicationDidEnterBackgroundNotification,
    UIApplicationWillEnterForegroundNotification, UIApplicationWillTerminateNotification,
    UIApplicationDidReceiveMemoryWarningNotification, UISceneWillConnectNotification,
    UISceneDidActivateNotification,              UISceneWillDeactivateNotification,
    UISceneDidEnterBackgroundNotification,       UISceneWillEnterForegroundNotification,
    UIApplicationWillChangeStatusBarOrientationNotification, UIApplicationDidChangeStatusBarOrientationNotification,
};

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        app->resetForTesting();
        gLog = &log;
        for (const char* name : kNotifications)
            tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
                name, Value(), nullptr, [this](const NSNotification& n) { log.push_back(n.name()); }));
    }
    void TearDown() override {
        for (auto& t : tokens) NSNotificationCenter::defaultCenter()->removeObserver(t);
        for (auto& w : app->windows()) w->setHidden(true);
        gLog = nullptr;
        app->resetForTesting();
        UIApplication::setMainStoryboardLoader(nullptr);
        UIDevice::currentDevice()->setOrientation(UIDeviceOrientationPortrait);
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        ManualClock::uninstall();
    }
    static void os(int major) {
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{major, 0, 0});
    }
    Log take() { return std::exchange(log, {}); }

    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
    std::vector<std::shared_ptr<NSObject>> tokens;
    Log log;
};

TEST_F(ApplicationTest, UIApplicationMainLaunchesWithTheMainWindowAndReturnsOnTermination) {
    struct Case {
        const char* name;
        const char* info;
        bool loader;
        Log launch;
        const char* storyboard = nullptr;
    };
    const Log tail{"delegate active hidden=0 key=1", UIApplicationDidBecomeActiveNotification, "running",
                   "delegate resign", UIApplicationWillResignActiveNotification, "delegate background",
                   UIApplicationDidEnterBackgroundNotification,
                   "delegate terminate", UIApplicationWillTerminateNotification};
    const Case cases[] = {
        {"no storyboard: an empty window", "", false,
         {"delegate willFinish no window", "delegate setWindow hidden=1 key=0 root=none",
          "delegate didFinish hidden=1 key=0", UIApplicationDidFinishLaunchingNotification}},
        {"the storyboard's initial controller", "<key>UIMainStoryboardFile</key><string>Main</string>", true,
         {"delegate willFinish no window", "loader Main", "delegate setWindow hidden=1 key=0 root=UIViewController",
          "delegate didFinish hidden=1 key=0", UIApplicationDidFinishLaunchingNotification, "R loadView",
          "R viewDidLoad", "R viewWillAppear:0", "R viewDidAppear:0"}},
        {"the bundle's storyboard document", "<key>UIMainStoryboardFile</key><string>Main</string>", false,
         {"delegate willFinish no window", "delegate setWindow hidden=1 key=0 root=UINavigationController",
          "delegate didFinish hidden=1 key=0", UIApplicationDidFinishLaunchingNotification},
         R"({"initialScene": "nav", "scenes": [
              {"identifier": "nav", "controller": {"class": "UINavigationController"},
               "relationships": {"rootViewController": "list"}},
              {"identifier": "list", "controller": {"class": "UIViewController"}}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        os(12);
        app->resetForTesting();
        TemporaryBundle bundle(c.info, c.storyboard);
        UIApplication::setMainStoryboardLoader(nullptr);
        if (c.loader)
            UIApplication::setMainStoryboardLoader([this](const std::string& name) -> UIViewControllerPtr {
                log.push_back("loader " + name);
                return make("R", log);
            });
        // The test runs inside the loop, then ends it the way the platform does.
        dispatch_async(dispatch_get_main_queue(), [this] {
            log.push_back("running");
            app->simulateTerminate();
        });
        const int result = UIApplicationMain(0, nullptr, nullptr, "LaunchRecordingDelegate");
        EXPECT_EQ(result, 0);
        Log expected = c.launch;
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(take(), expected);
        auto delegate = std::dynamic_pointer_cast<LaunchRecordingDelegate>(app->delegate());
        ASSERT_TRUE(delegate);
        ASSERT_TRUE(delegate->window_);
        EXPECT_EQ(delegate->window_->bounds(), UIScreen::mainScreen()->bounds());
        EXPECT_TRUE(app->isTerminated());
        delegate->window_->setHidden(true);
        log.clear();
    }
}

TEST_F(ApplicationTest, UIApplicationMainRefusesUnknownClassesAndAMissingStoryboard) {
    EXPECT_EQ(UIApplicationMain(0, nullptr, nullptr, "NoSuchDelegateClass"), 1);
    EXPECT_EQ(UIApplicationMain(0, nullptr, "NSObject", "LaunchRecordingDelegate"), 1);
    EXPECT_FALSE(app->isTerminated());
    TemporaryBundle bundle("<key>UIMainStoryboardFile</key><string>Missing</string>");
    try {
        app->launchWithMainInterface();
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
        EXPECT_NE(e.reason().find("Missing"), std::string::npos) << e.reason();
    }
}

TEST_F(ApplicationTest, LifeCycleDriversFollowThePlatformsOrderWithSceneNotificationsFrom13) {
    for (int major : {12, 13}) {
        SCOPED_TRACE(major);
        os(major);
        app->resetForTesting();
        app->setDelegate(std::make_shared<LaunchRecordingDelegate>());
        const bool scenes = major >= 13;
        auto scene = [&](Log lines) { return scenes ? lines : Log{}; };
        auto join = [](std::initializer_list<Log> parts) {
            Log out;
            for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
            return out;
        };
        struct Step {
            const char* name;
            std::function<void()> drive;
            Log expected;
            UIApplicationState state;
        };
        const Step steps[] = {
            {"launch", [&] { app->finishLaunching(); },
             join({scene({UISceneWillConnectNotification}),
                   {"delegate willFinish no window", "delegate didFinish no window",
                    UIApplicationDidFinishLaunchingNotification},
                   scene({UISceneDidActivateNotification}),
                   {"delegate active no window", UIApplicationDidBecomeActiveNotification}}),
             UIApplicationStateActive},
            {"resign", [&] { app->simulateResignActive(); },
             join({scene({UISceneWillDeactivateNotification}), {"delegate resign", UIApplicationWillResignActiveNotification}}),
             UIApplicationStateInactive},
            {"resign again: nothing", [&] { app->simulateResignActive(); }, {}, UIApplicationStateInactive},
            {"background", [&] { app->simulateEnterBackground(); },
             join({scene({UISceneDidEnterBackgroundNotification}),
                   {"delegate background", UIApplicationDidEnterBackgroundNotification}}),
             UIApplicationStateBackground},
            {"foreground", [&] { app->simulateEnterForeground(); },
             join({scene({UISceneWillEnterForegroundNotification}),
                   {"delegate foreground", UIApplicationWillEnterForegroundNotification},
                   scene({UISceneDidActivateNotification}),
                   {"delegate active no window", UIApplicationDidBecomeActiveNotification}}),
             UIApplicationStateActive},
            {"foreground again: nothing", [&] { app->simulateEnterForeground(); }, {}, UIApplicationStateActive},
            {"memory warning", [&] { app->simulateMemoryWarning(); },
             {"delegate memory", UIApplicationDidReceiveMemoryWarningNotification}, UIApplicationStateActive},
            {"terminate from the front", [&] { app->simulateTerminate(); },
             join({scene({UISceneWillDeactivateNotification}),
                   {"delegate resign", UIApplicationWillResignActiveNotification},
                   scene({UISceneDidEnterBackgroundNotification}),
                   {"delegate background", UIApplicationDidEnterBackgroundNotification, "delegate terminate",
                    UIApplicationWillTerminateNotification}}),
             UIApplicationStateBackground},
            {"after termination: nothing", [&] {
                 app->simulateEnterForeground();
                 app->simulateTerminate();
                 app->finishLaunching();
             },
             {}, UIApplicationStateBackground},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(step.name);
            step.drive();
            EXPECT_EQ(take(), step.expected);
            EXPECT_EQ(app->applicationState(), step.state);
        }
    }
}

TEST_F(ApplicationTest, TheSceneExistsFrom13AndItsActivationStateFollowsTheApplication) {
    os(12);
    app->finishLaunching();
    EXPECT_TRUE(app->connectedScenes().empty());
    EXPECT_EQ(UIWindow().windowScene(), nullptr);

    os(13);
    app->resetForTesting();
    EXPECT_TRUE(app->connectedScenes().empty());  // not connected before launch
    app->finishLaunching();
    ASSERT_EQ(app->connectedScenes().size(), 1u);
    auto scene = app->connectedScenes().front();
    EXPECT_EQ(scene->activationState(), UISceneActivationStateForegroundActive);
    app->simulateResignActive();
    EXPECT_EQ(scene->activationState(), UISceneActivationStateForegroundInactive);
    app->simulateEnterBackground();
    EXPECT_EQ(scene->activationState(), UISceneActivationStateBackground);
    app->simulateEnterForeground();
    EXPECT_EQ(scene->activationState(), UISceneActivationStateForegroundActive);

    auto window = std::make_shared<UIWindow>();
    window->makeKeyAndVisible();
    EXPECT_EQ(window->windowScene(), scene);
    EXPECT_EQ(scene->windows(), std::vector<UIWindowPtr>{window});
}

class FetchingDelegate : public LaunchRecordingDelegate {
public:
    std::vector<UIBackgroundFetchResult> answers;
    void applicationPerformFetch(UIApplication& app, std::function<void(UIBackgroundFetchResult)> completion) override {
        note(std::string("delegate fetch state=") + std::to_string(app.applicationState()));
        for (auto answer : answers) completion(answer);
    }
};

TEST_F(ApplicationTest, BackgroundFetchIsAskedOnlyWhenEnabledAvailableAndImplemented) {
    struct Case {
        const char* name;
        double interval;
        UIBackgroundRefreshStatus status;
        bool implements;
        std::vector<UIBackgroundFetchResult> answers;
        bool asked;
        std::optional<UIBackgroundFetchResult> recorded;
    };
    const double never = UIApplicationBackgroundFetchIntervalNever, minimum = UIApplicationBackgroundFetchIntervalMinimum;
    const Case cases[] = {
        {"enabled", minimum, UIBackgroundRefreshStatusAvailable, true, {UIBackgroundFetchResultNewData}, true,
         UIBackgroundFetchResultNewData},
        {"a second answer is ignored", minimum, UIBackgroundRefreshStatusAvailable, true,
         {UIBackgroundFetchResultNoData, UIBackgroundFetchResultFailed}, true, UIBackgroundFetchResultNoData},
        {"no answer yet", 3600, UIBackgroundRefreshStatusAvailable, true, {}, true, std::nullopt},
        {"interval never (the default)", never, UIBackgroundRefreshStatusAvailable, true,
         {UIBackgroundFetchResultNewData}, false, std::nullopt},
        {"denied", minimum, UIBackgroundRefreshStatusDenied, true, {UIBackgroundFetchResultNewData}, false,
         std::nullopt},
        {"restricted", minimum, UIBackgroundRefreshStatusRestricted, true, {UIBackgroundFetchResultNewData}, false,
         std::nullopt},
        {"the delegate lacks the method", minimum, UIBackgroundRefreshStatusAvailable, false, {}, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app->resetForTesting();
        EXPECT_EQ(app->minimumBackgroundFetchInterval(), never);
        std::shared_ptr<LaunchRecordingDelegate> delegate;
        if (c.implements) {
            auto fetching = std::make_shared<FetchingDelegate>();
            fetching->answers = c.answers;
            delegate = fetching;
        } else {
            delegate = std::make_shared<LaunchRecordingDelegate>();
        }
        app->setDelegate(delegate);
        app->finishLaunching();
        app->setMinimumBackgroundFetchInterval(c.interval);
        app->setBackgroundRefreshStatus(c.status);
        log.clear();
        EXPECT_EQ(app->simulateBackgroundFetch(), c.asked);
        // An active app goes to the background first, asked or not.
        EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
        const Log entered{"delegate resign", UIApplicationWillResignActiveNotification, "delegate background",
                          UIApplicationDidEnterBackgroundNotification};
        Log expected = entered;
        if (c.asked) expected.push_back("delegate fetch state=2");
        Log got = take();
        std::erase_if(got, [](const std::string& l) { return l.rfind("UIScene", 0) == 0; });
        EXPECT_EQ(got, expected);
        EXPECT_EQ(app->lastBackgroundFetchResult(), c.recorded);
    }
}

TEST_F(ApplicationTest, WindowsStackByLevelAndOneIsKey) {
    auto normal = std::make_shared<UIWindow>();
    auto alert = std::make_shared<UIWindow>();
    alert->setWindowLevel(UIWindowLevelAlert);
    auto status = std::make_shared<UIWindow>();
    status->setWindowLevel(UIWindowLevelStatusBar);
    EXPECT_FALSE(normal->isVisible());
    alert->makeKeyAndVisible();
    normal->makeKeyAndVisible();
    status->setHidden(false);
    EXPECT_EQ(app->windows(), (std::vector<UIWindowPtr>{normal, status, alert}));
    EXPECT_EQ(app->keyWindow(), normal);
    EXPECT_TRUE(normal->isKeyWindow());
    EXPECT_FALSE(alert->isKeyWindow());
    EXPECT_TRUE(status->isVisible());
    status->setHidden(true);
    EXPECT_EQ(app->windows(), (std::vector<UIWindowPtr>{normal, alert}));
}

class OrientedController : public UIViewController {
public:
    UIInterfaceOrientationMask mask = UIInterfaceOrientationMaskAllButUpsideDown;
    bool autorotates = true;
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override { return mask; }
    bool shouldAutorotate() const override { return autorotates; }
};

class PortraitDelegate : public LaunchRecordingDelegate {
public:
    UIInterfaceOrientationMask applicationSupportedInterfaceOrientationsForWindow(UIApplication&, UIWindow*) override {
        return UIInterfaceOrientationMaskPortrait;
    }
};

TEST_F(ApplicationTest, AttemptRotationFollowsTheDeviceWhereControllerAndApplicationAllowIt) {
    struct Case {
        const char* name;
        UIDeviceOrientation device;
        UIInterfaceOrientationMask controllerMask;
        bool autorotates;
        bool portraitDelegate;
        UIInterfaceOrientation expected;
    };
    const Case cases[] = {
        {"device turned left: interface landscape right", UIDeviceOrientationLandscapeLeft,
         UIInterfaceOrientationMaskAllButUpsideDown, true, false, UIInterfaceOrientationLandscapeRight},
        {"device turned right: interface landscape left", UIDeviceOrientationLandscapeRight,
         UIInterfaceOrientationMaskAll, true, false, UIInterfaceOrientationLandscapeLeft},
        {"upside down on a phone is not supported by default", UIDeviceOrientationPortraitUpsideDown,
         UIInterfaceOrientationMaskAllButUpsideDown, true, false, UIInterfaceOrientationPortrait},
        {"the controller is portrait only", UIDeviceOrientationLandscapeLeft, UIInterfaceOrientationMaskPortrait,
         true, false, UIInterfaceOrientationPortrait},
        {"the controller does not autorotate", UIDeviceOrientationLandscapeLeft, UIInterfaceOrientationMaskAll, false,
         false, UIInterfaceOrientationPortrait},
        {"the delegate allows portrait only", UIDeviceOrientationLandscapeLeft, UIInterfaceOrientationMaskAll, true,
         true, UIInterfaceOrientationPortrait},
        {"face up is no interface orientation", UIDeviceOrientationFaceUp, UIInterfaceOrientationMaskAll, true, false,
         UIInterfaceOrientationPortrait},
    };
    const CGRect portrait = UIScreen::mainScreen()->bounds();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app->resetForTesting();
        UIDevice::currentDevice()->setOrientation(UIDeviceOrientationPortrait);
        if (c.portraitDelegate) app->setDelegate(std::make_shared<PortraitDelegate>());
        auto root = std::make_shared<OrientedController>();
        root->mask = c.controllerMask;
        root->autorotates = c.autorotates;
        auto window = std::make_shared<UIWindow>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        log.clear();
        UIDevice::currentDevice()->setOrientation(c.device);
        UIViewController::attemptRotationToDeviceOrientation();
        EXPECT_EQ(app->statusBarOrientation(), c.expected);
        const bool rotated = c.expected != UIInterfaceOrientationPortrait;
        const Log notified = rotated ? Log{UIApplicationWillChangeStatusBarOrientationNotification,
                                           UIApplicationDidChangeStatusBarOrientationNotification}
                                     : Log{};
        EXPECT_EQ(take(), notified);
        if (rotated) {
            EXPECT_EQ(window->bounds().size, CGSizeMake(portrait.size.height, portrait.size.width));
            EXPECT_EQ(root->view()->bounds().size, window->bounds().size);
            EXPECT_EQ(window->safeAreaInsets(), UIEdgeInsetsMake(0, 44, 21, 44));
            // Back to portrait swaps again.
            UIDevice::currentDevice()->setOrientation(UIDeviceOrientationPortrait);
            UIViewController::attemptRotationToDeviceOrientation();
        }
        EXPECT_EQ(window->bounds(), portrait);
        window->setHidden(true);
    }
}

class StatusBarController : public UIViewController {
public:
    UIStatusBarStyle style = UIStatusBarStyleDefault;
    bool hidden = false;
    UIViewControllerPtr styleChild, hiddenChild;
    UIStatusBarStyle preferredStatusBarStyle() const override { return style; }
    bool prefersStatusBarHidden() const override { return hidden; }
    UIViewControllerPtr childViewControllerForStatusBarStyle() const override { return styleChild; }
    UIViewControllerPtr childViewControllerForStatusBarHidden() const override { return hiddenChild; }
};

TEST_F(ApplicationTest, TheStatusBarFollowsTheKeyWindowsControllersOnRequest) {
    os(12);
    auto root = std::make_shared<StatusBarController>();
    root->style = UIStatusBarStyleLightContent;
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleDefault);  // only when asked
    root->setNeedsStatusBarAppearanceUpdate();
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleLightContent);
    EXPECT_FALSE(app->isStatusBarHidden());

    // A child may decide instead, each question on its own.
    auto child = std::make_shared<StatusBarController>();
    child->style = UIStatusBarStyleDarkContent;
    child->hidden = true;
    root->styleChild = child;
    root->setNeedsStatusBarAppearanceUpdate();
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleDarkContent);
    EXPECT_FALSE(app->isStatusBarHidden());
    root->hiddenChild = child;
    root->setNeedsStatusBarAppearanceUpdate();
    EXPECT_TRUE(app->isStatusBarHidden());
    EXPECT_EQ(app->statusBarFrame(), CGRectZero);

    // A full-screen presented controller decides while it is shown.
    auto presented = std::make_shared<StatusBarController>();
    presented->style = UIStatusBarStyleLightContent;
    root->presentViewController(presented, false);
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleLightContent);
    EXPECT_FALSE(app->isStatusBarHidden());
    root->dismissViewControllerAnimated(false);
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleDarkContent);
    EXPECT_TRUE(app->isStatusBarHidden());

    // With controller-based appearance switched off the application's own setting holds.
    TemporaryBundle bundle("<key>UIViewControllerBasedStatusBarAppearance</key><false/>");
    app->setStatusBarHidden(false);
    app->setStatusBarStyle(UIStatusBarStyleDefault);
    root->setNeedsStatusBarAppearanceUpdate();
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleDefault);
    EXPECT_FALSE(app->isStatusBarHidden());
    window->setHidden(true);
}

class SafeAreaController : public UIViewController {
public:
    int changes = 0;
    void viewSafeAreaInsetsDidChange() override { ++changes; }
};

class CountingView : public UIView {
public:
    using UIView::UIView;
    int changes = 0;
    void safeAreaInsetsDidChange() override { ++changes; }
};

TEST_F(ApplicationTest, TranslucentBarsAndAdditionalInsetsGrowTheSafeAreaAndLayoutGuides) {
    os(13);
    auto controller = std::make_shared<SafeAreaController>();
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    const UIEdgeInsets screen = UIScreen::mainScreen()->safeAreaInsets();
    const CGRect bounds = window->bounds();
    const UIViewPtr& view = controller->view();
    auto under = std::make_shared<CountingView>(CGRectMake(0, 0, bounds.size.width, 200));
    auto middle = std::make_shared<CountingView>(CGRectMake(0, 300, bounds.size.width, 100));
    auto offscreen = std::make_shared<CountingView>(CGRectMake(bounds.size.width, 300, bounds.size.width, 100));
    for (auto& v : {under, middle, offscreen}) view->addSubview(v);
    EXPECT_EQ(view->safeAreaInsets(), screen);
    EXPECT_EQ(controller->topLayoutGuide()->length(), screen.top);
    EXPECT_EQ(controller->bottomLayoutGuide()->length(), screen.bottom);

    // A translucent navigation bar (44) and tab bar (49) over the view.
    controller->setContentOverlayInsets(UIEdgeInsetsMake(44, 0, 49, 0));
    EXPECT_EQ(controller->changes, 1);
    EXPECT_EQ(under->changes, 1);
    EXPECT_EQ(view->safeAreaInsets(), UIEdgeInsetsMake(screen.top + 44, 0, screen.bottom + 49, 0));
    EXPECT_EQ(under->safeAreaInsets(), UIEdgeInsetsMake(screen.top + 44, 0, 0, 0));
    EXPECT_EQ(middle->safeAreaInsets(), UIEdgeInsetsZero);
    EXPECT_EQ(offscreen->safeAreaInsets(), UIEdgeInsetsZero);  // beside the screen, in no unsafe band
    EXPECT_EQ(controller->topLayoutGuide()->length(), screen.top + 44);
    EXPECT_EQ(controller->bottomLayoutGuide()->length(), screen.bottom + 49);
    EXPECT_EQ(view->safeAreaLayoutGuide()->layoutFrame(),
              CGRectMake(0, screen.top + 44, bounds.size.width, bounds.size.height - screen.top - 44 - screen.bottom - 49));
    EXPECT_EQ(view->safeAreaLayoutGuide()->owningView(), view);

    controller->setAdditionalSafeAreaInsets(UIEdgeInsetsMake(10, 5, 0, 5));
    EXPECT_EQ(view->safeAreaInsets(), UIEdgeInsetsMake(screen.top + 54, 5, screen.bottom + 49, 5));
    controller->setAdditionalSafeAreaInsets(UIEdgeInsetsMake(10, 5, 0, 5));  // unchanged: not told again
    EXPECT_EQ(controller->changes, 2);

    // Before 11 there is no safe-area interface, but the layout guides still measure the bars.
    controller->setAdditionalSafeAreaInsets(UIEdgeInsetsZero);
    os(10);
    EXPECT_EQ(view->safeAreaInsets(), UIEdgeInsetsZero);
    EXPECT_EQ(controller->topLayoutGuide()->length(), screen.top + 44);
    window->setHidden(true);
    view->removeFromSuperview();
    EXPECT_EQ(controller->topLayoutGuide()->length(), 0);
}

}  // namespace
