#include <platform_uikit/MemoryPressureMonitor.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITraitCollection.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

struct ScreenCase {
    const char* spec;
    CGRect bounds;
    double scale;
    double statusBar;
    UIEdgeInsets safeArea;
};

TEST(UIScreen, SpecGivesBoundsScaleStatusBarAndSafeArea) {
    const ScreenCase cases[] = {
        {"375x812@3", CGRectMake(0, 0, 375, 812), 3, 44, UIEdgeInsetsMake(44, 0, 34, 0)},
        {"320x568@2", CGRectMake(0, 0, 320, 568), 2, 20, UIEdgeInsetsMake(20, 0, 0, 0)},
        {"414x896@2", CGRectMake(0, 0, 414, 896), 2, 44, UIEdgeInsetsMake(44, 0, 34, 0)},
        {"375x811@2", CGRectMake(0, 0, 375, 811), 2, 20, UIEdgeInsetsMake(20, 0, 0, 0)},
        // Malformed specs fall back to the default screen.
        {"big", CGRectMake(0, 0, 375, 812), 3, 44, UIEdgeInsetsMake(44, 0, 34, 0)},
        {"0x812@3", CGRectMake(0, 0, 375, 812), 3, 44, UIEdgeInsetsMake(44, 0, 34, 0)},
    };
    auto screen = UIScreen::mainScreen();
    for (auto& c : cases) {
        SCOPED_TRACE(c.spec);
        UIScreen::setMainScreenSpecForTesting(std::string(c.spec));
        EXPECT_EQ(screen->bounds(), c.bounds);
        EXPECT_EQ(screen->scale(), c.scale);
        EXPECT_EQ(screen->nativeBounds().size, CGSizeMake(c.bounds.size.width * c.scale, c.bounds.size.height * c.scale));
        EXPECT_EQ(screen->statusBarHeight(), c.statusBar);
        EXPECT_EQ(screen->safeAreaInsets(), c.safeArea);
    }
    UIScreen::setMainScreenSpecForTesting(std::nullopt);
    setenv("APP_SCREEN", "768x1024@2", 1);
    UIScreen::setMainScreenSpecForTesting(std::nullopt);
    EXPECT_EQ(screen->bounds().size, CGSizeMake(768, 1024));
    unsetenv("APP_SCREEN");
    UIScreen::setMainScreenSpecForTesting(std::nullopt);
    EXPECT_EQ(screen->bounds().size, CGSizeMake(375, 812));
}

TEST(UIScreen, SpecTextIsWidthByHeightAtScale) {
    struct Case {
        std::string text;
        std::optional<UIScreen::Spec> expected;
    } cases[] = {
        {"375x812@3", UIScreen::Spec{375, 812, 3}},
        {"  320.5x568.25@2.5 \n", UIScreen::Spec{320.5, 568.25, 2.5}},
        {"375X812@3", std::nullopt},
        {"375x812", std::nullopt},
        {"375x812@", std::nullopt},
        {"375.x812@3", std::nullopt},
        {".5x812@3", std::nullopt},
        {"-375x812@3", std::nullopt},
        {"375 x 812@3", std::nullopt},
        {"375x812@3x", std::nullopt},
        {"1e3x812@3", std::nullopt},
        {"375x812@0", std::nullopt},
        {std::string(400, '9') + "x812@3", std::nullopt},  // too large for a number: refused, not thrown
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto spec = UIScreen::parseSpec(c.text);
        ASSERT_EQ(spec.has_value(), c.expected.has_value());
        if (!spec) continue;
        EXPECT_EQ(spec->width, c.expected->width);
        EXPECT_EQ(spec->height, c.expected->height);
        EXPECT_EQ(spec->scale, c.expected->scale);
    }
}

TEST(UIDevice, VersionModelIdiomAndOrientationByKeyValueCoding) {
    auto device = UIDevice::currentDevice();
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{12, 4, 1});
    EXPECT_EQ(device->systemVersion(), "12.4.1");
    EXPECT_FALSE(UIKitIsAvailable(13));
    EXPECT_TRUE(UIKitIsAvailable(11));
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);

    unsetenv("APP_IDIOM");
    EXPECT_EQ(device->userInterfaceIdiom(), UIUserInterfaceIdiomPhone);
    EXPECT_EQ(device->model(), "iPhone");
    setenv("APP_IDIOM", "pad", 1);
    EXPECT_EQ(device->userInterfaceIdiom(), UIUserInterfaceIdiomPad);
    EXPECT_EQ(device->model(), "iPad");
    EXPECT_EQ(UIScreen::mainScreen()->traitCollection()->horizontalSizeClass(), UIUserInterfaceSizeClassRegular);
    unsetenv("APP_IDIOM");

    int notes = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIDeviceOrientationDidChangeNotification, Value(), nullptr, [&](const NSNotification&) { ++notes; });
    device->setValue(Value(int64_t(UIDeviceOrientationLandscapeLeft)), "orientation");
    EXPECT_EQ(device->orientation(), UIDeviceOrientationLandscapeLeft);
    EXPECT_EQ(device->valueForKey("orientation").intValue(), UIDeviceOrientationLandscapeLeft);
    device->setOrientation(UIDeviceOrientationLandscapeLeft);  // unchanged: no notification
    device->setOrientation(42);                                // out of range: ignored
    EXPECT_EQ(notes, 1);
    device->setOrientation(UIDeviceOrientationPortrait);
    EXPECT_EQ(notes, 2);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST(UITraitCollection, ScopesNestAndTheScreenStyleIsTheDefault) {
    auto screen = UIScreen::mainScreen();
    screen->setUserInterfaceStyle(UIUserInterfaceStyleLight);
    EXPECT_EQ(UITraitCollection::currentTraitCollection()->userInterfaceStyle(), UIUserInterfaceStyleLight);
    {
        UITraitCollection::Scope dark(UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyleDark));
        EXPECT_EQ(UITraitCollection::currentTraitCollection()->userInterfaceStyle(), UIUserInterfaceStyleDark);
        {
            UITraitCollection::Scope light(
                UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyleLight));
            EXPECT_EQ(UITraitCollection::currentTraitCollection()->userInterfaceStyle(), UIUserInterfaceStyleLight);
        }
        // Another thread sees the screen's traits, not this thread's scope.
        UIUserInterfaceStyle other{};
        std::thread([&] { other = UITraitCollection::currentTraitCollection()->userInterfaceStyle(); }).join();
        EXPECT_EQ(other, UIUserInterfaceStyleLight);
    }
    screen->setUserInterfaceStyle(UIUserInterfaceStyleDark);
    EXPECT_EQ(UITraitCollection::currentTraitCollection()->userInterfaceStyle(), UIUserInterfaceStyleDark);
    screen->setUserInterfaceStyle(UIUserInterfaceStyleLight);
}

class RecordingDelegate : public UIApplicationDelegate {
public:
    std::vector<std::string> calls;
    bool applicationDidFinishLaunching(UIApplication&, const Value&) override {
        calls.push_back("didFinish");
        return true;
    }
    void applicationDidBecomeActive(UIApplication&) override { calls.push_back("active"); }
    void applicationWillResignActive(UIApplication&) override { calls.push_back("resign"); }
    void applicationDidEnterBackground(UIApplication&) override { calls.push_back("background"); }
    void applicationWillEnterForeground(UIApplication&) override { calls.push_back("foreground"); }
    void applicationWillTerminate(UIApplication&) override { calls.push_back("terminate"); }
    void applicationDidReceiveMemoryWarning(UIApplication&) override { calls.push_back("memory"); }
};

class UIApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        app->resetForTesting();
        app->setDelegate(delegate);
        for (const char* name :
             {UIApplicationDidFinishLaunchingNotification, UIApplicationDidBecomeActiveNotification,
              UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
              UIApplicationWillEnterForegroundNotification, UIApplicationWillTerminateNotification,
              UIApplicationDidReceiveMemoryWarningNotification}) {
            tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
                name, Value(), nullptr, [this](const NSNotification& n) {
                    posted.push_back(n.name());
                    EXPECT_TRUE(NSThread::isMainThread());
                }));
        }
    }
    void TearDown() override {
        for (auto& t : tokens) NSNotificationCenter::defaultCenter()->removeObserver(t);
        app->resetForTesting();
    }
    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::vector<std::shared_ptr<NSObject>> tokens;
    std::vector<std::string> posted;
};

TEST_F(UIApplicationTest, LifeCycleTellsTheDelegateAndPostsInOrder) {
    app->finishLaunching();
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    app->simulateEnterBackground();
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    app->simulateEnterBackground();  // already there: nothing
    app->simulateEnterForeground();
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    app->simulateTerminate();
    // Termination reaches an active app through the background, as on the platform.
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"didFinish", "active", "resign", "background", "foreground",
                                                         "active", "resign", "background", "terminate"}));
    EXPECT_EQ(posted, (std::vector<std::string>{
                          UIApplicationDidFinishLaunchingNotification, UIApplicationDidBecomeActiveNotification,
                          UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
                          UIApplicationWillEnterForegroundNotification, UIApplicationDidBecomeActiveNotification,
                          UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
                          UIApplicationWillTerminateNotification}));
}

TEST_F(UIApplicationTest, MemoryWarningFromAnotherThreadArrivesOnMain) {
    std::thread([&] { app->simulateMemoryWarning(); }).join();
    EXPECT_TRUE(posted.empty());
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !posted.empty(); }, 10));
    EXPECT_EQ(posted, std::vector<std::string>{UIApplicationDidReceiveMemoryWarningNotification});
    EXPECT_EQ(delegate->calls, std::vector<std::string>{"memory"});
}

TEST_F(UIApplicationTest, URLsAreRecordedAndAnsweredBySchemeAndTheIndicatorIsObservable) {
    EXPECT_TRUE(app->canOpenURL("https://example.invalid/a"));
    EXPECT_FALSE(app->canOpenURL("weird-scheme://x"));
    EXPECT_FALSE(app->canOpenURL("not a url"));
    bool opened = false, answered = false;
    app->openURL("mailto:someone@example.invalid", {}, [&](bool ok) {
        answered = true;
        opened = ok;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return answered; }, 10));
    EXPECT_TRUE(opened);
    EXPECT_EQ(app->openedURLs(), std::vector<std::string>{"mailto:someone@example.invalid"});
    EXPECT_EQ(app->canOpenURLQueries().size(), 3u);

    std::thread([&] { app->setNetworkActivityIndicatorVisible(true); }).join();
    EXPECT_TRUE(app->isNetworkActivityIndicatorVisible());
    EXPECT_EQ(app->statusBarFrame(), CGRectMake(0, 0, 375, 44));
}

class PressureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("uikit-pressure-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::filesystem::path dir;
};

TEST_F(PressureFiles, StallAboveTenOrRisingHighMaxCountsArePressure) {
    struct Step {
        const char* pressure;
        const char* events;
        bool expected;
    };
    const Step steps[] = {
        {"some avg10=0.00 avg60=0.00 avg300=0.00 total=0\nfull avg10=0.00 avg60=0.00 avg300=0.00 total=0\n",
         "low 0\nhigh 3\nmax 1\noom 0\n", false},  // first reading: the baseline
        {"some avg10=10.00 avg60=0.00 avg300=0.00 total=0\n", "low 9\nhigh 3\nmax 1\n", false},
        {"some avg10=12.50 avg60=1.00 avg300=0.00 total=5\n", "high 3\nmax 1\n", true},
        {"some avg10=0.10 avg60=1.00 avg300=0.00 total=5\n", "high 4\nmax 1\n", true},
        {"some avg10=0.10 avg60=1.00 avg300=0.00 total=5\n", "high 4\nmax 2\n", true},
        {"some avg10=0.10\n", "high 4\nmax 2\n", false},
        {"garbage", "garbage", false},
    };
    MemoryPressureMonitor monitor(path("memory"), path("memory.events"));
    int i = 0;
    for (auto& s : steps) {
        SCOPED_TRACE(i++);
        write("memory", s.pressure);
        write("memory.events", s.events);
        EXPECT_EQ(monitor.poll(), s.expected);
    }
    MemoryPressureMonitor missing(path("absent"), path("absent.events"));
    EXPECT_FALSE(missing.poll());
}

TEST_F(PressureFiles, TheApplicationPollsEveryFiveSecondsOnTheMainClock) {
    ManualClock::Scope clock;
    auto app = UIApplication::sharedApplication();
    app->resetForTesting();
    int warnings = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationDidReceiveMemoryWarningNotification, Value(), nullptr,
        [&](const NSNotification&) { ++warnings; });
    write("memory", "some avg10=55.00 avg60=0 avg300=0 total=1\n");
    app->startMemoryPressureMonitoring(std::make_shared<MemoryPressureMonitor>(path("memory"), path("none")));
    app->startMemoryPressureMonitoring();  // already running: the fixture monitor stays
    EXPECT_EQ(warnings, 0);
    ManualClock::advance(4.9);
    EXPECT_EQ(warnings, 0);
    ManualClock::advance(0.1);
    EXPECT_EQ(warnings, 1);
    write("memory", "some avg10=1.00 avg60=0 avg300=0 total=1\n");
    ManualClock::advance(5);
    EXPECT_EQ(warnings, 1);
    app->stopMemoryPressureMonitoring();
    write("memory", "some avg10=99.00 avg60=0 avg300=0 total=1\n");
    ManualClock::advance(10);
    EXPECT_EQ(warnings, 1);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

}  // namespace

#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIView.h>

namespace {

TEST(Availability, SelectorsAndClassesFollowTheReportedSystemVersion) {
    struct Case {
        int64_t major;
        bool safeArea, styleOverride, systemColours, haptics;
    };
    const Case cases[] = {
        {9, false, false, false, false},
        {10, false, false, false, true},
        {11, true, false, false, true},
        {13, true, true, true, true},
        {15, true, true, true, true},
    };
    auto view = std::make_shared<UIView>();
    for (auto& c : cases) {
        SCOPED_TRACE(c.major);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{c.major, 0, 0});
        EXPECT_EQ(view->respondsToSelector("safeAreaInsets"), c.safeArea);
        EXPECT_EQ(class_respondsToSelector(&UIView::classObject(), "safeAreaInsets"), c.safeArea);
        EXPECT_EQ(view->respondsToSelector("overrideUserInterfaceStyle"), c.styleOverride);
        EXPECT_EQ(UIColor::classObject().respondsToSelector("systemBackgroundColor"), c.systemColours);
        EXPECT_TRUE(UIColor::classObject().respondsToSelector("redColor"));
        EXPECT_EQ(NSClassFromString("UINotificationFeedbackGenerator") != nullptr, c.haptics);
        EXPECT_EQ(NSClassFromString("UIImpactFeedbackGenerator") != nullptr, c.haptics);
        EXPECT_NE(NSClassFromString("UIView"), nullptr);
    }
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
    auto color = performClassSelector(NSClassFromString("UIColor"), "systemRedColor", {});
    ASSERT_TRUE(color);
    EXPECT_EQ(color->objectAs<UIColor>(), UIColor::systemRedColor());
}

}  // namespace
