#pragma once
// Shared set-up of the screen tests: a fresh sandbox per test, the main bundle at the
// source tree's resources, English, UTC, the manual clock, and a key window showing a
// controller inside a navigation controller inside a tab bar controller.

#include <platform_dispatch/ManualClock.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSLocalizedString.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreenText.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace screentest {

// A controller shown in a key window: tab bar controller → navigation controller → root.
struct Screen {
    explicit Screen(UIViewControllerPtr root) : root(std::move(root)) {
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        navigation = UINavigationController::withRootViewController(this->root);
        tabs = std::make_shared<UITabBarController>();
        tabs->setViewControllers({navigation});
        window->setRootViewController(tabs);
        window->makeKeyAndVisible();
        settle();
    }
    ~Screen() { window->setHidden(true); }
    // Lets queued main-queue work and transitions run, then lays the window out.
    void settle(double seconds = 1) {
        ManualClock::advance(seconds);
        window->layoutIfNeeded();
    }
    // Taps the centre of a view (in window coordinates) and lets the result settle.
    void tap(const UIViewPtr& view) {
        CGRect r = view->convertRectToView(view->bounds(), nullptr);
        UITouchInjection::tap(CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r)), window.get());
        settle();
    }

    UIViewControllerPtr root;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
    std::shared_ptr<UITabBarController> tabs;
};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "app-screens-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        NSSandbox::resetForTesting(root_);
        ::setenv("TZ", "UTC", 1);
        NSTimeZone::resetSystemTimeZone();
        NSLocale::setPreferredLanguages(std::vector<std::string>{"en"});
        NSBundle::setMainBundlePathForTesting(std::string(PROJECT_SOURCE_DIR) + "/resources");
        NSUserDefaults::resetStandardUserDefaults();
        ManualClock::install();
        UIApplication::sharedApplication()->resetForTesting();
    }
    void TearDown() override {
        ManualClock::advance(10);
        UIApplication::sharedApplication()->resetForTesting();
        ManualClock::uninstall();
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        NSSandbox::resetForTesting();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    std::string root_;
};

// The lines of the screen text that contain `text`.
inline int countOnScreen(const std::string& text) {
    std::string screen = textSnapshot();
    int n = 0;
    for (std::size_t at = screen.find(text); at != std::string::npos; at = screen.find(text, at + text.size())) ++n;
    return n;
}

}  // namespace screentest
