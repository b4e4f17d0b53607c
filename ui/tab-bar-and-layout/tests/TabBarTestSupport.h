#pragma once
// Shared set-up of the tab bar tests: a main bundle with small tab images,
// an application delegate that keeps the window, a 375 × 812 screen, a fresh
// tab registry, and the log lines captured.

#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_tab_bar_and_layout/TBSystemColors.h>
#include <ui_tab_bar_and_layout/TBTabRegistry.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIGraphics.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace tab_test {

struct AppDelegate : UIApplicationDelegate {
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIWindow> window() const override { return window_; }
    void setWindow(std::shared_ptr<UIWindow> w) override { window_ = std::move(w); }
};

// A bundle folder with `name@2x.png` images of the given point sizes.
inline std::string imageBundle() {
    static std::string dir = [] {
        char pattern[] = "/tmp/tab-bar-test-XXXXXX";
        std::string d = ::mkdtemp(pattern);
        for (auto [name, side] : {std::pair{"home", 30.0}, std::pair{"home_selected", 30.0}, std::pair{"list", 25.0},
                                  std::pair{"list_selected", 25.0}, std::pair{"gear", 25.0},
                                  std::pair{"gear_selected", 25.0}}) {
            UIGraphicsImageRendererFormat format;
            format.scale = 2;
            auto png = UIGraphicsImageRenderer(CGSizeMake(side, side), format).PNGDataWithActions(
                [&](UIGraphicsImageRendererContext& c) {
                    c.cgContext().setFillColor(UIColor::blueColor());
                    c.fillRect(CGRectMake(0, 0, side, side));
                });
            std::ofstream(d + "/" + name + "@2x.png", std::ios::binary)
                .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        }
        return d;
    }();
    return dir;
}

inline UIImagePtr tb_test_image() { return tb_imageWithColor(UIColor::redColor(), CGSizeMake(10, 10)); }

class TabBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSBundle::setMainBundlePathForTesting(imageBundle());
        UIScreen::setMainScreenSpecForTesting("375x812@3");
        TBResetRegistryForTesting();
        UIApplication::sharedApplication()->resetForTesting();
        delegate = std::make_shared<AppDelegate>();
        UIApplication::sharedApplication()->setDelegate(delegate);
        NSLogSetSinkForTesting([this](const std::string& line) { logged.push_back(line); });
    }
    void TearDown() override {
        if (window) window->setHidden(true);
        NSLogSetSinkForTesting({});
        UIApplication::sharedApplication()->resetForTesting();
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        UIScreen::setMainScreenSpecForTesting(std::nullopt);
        TBResetRegistryForTesting();
    }

    static Value::Dictionary attributes(const char* title, const char* image, const char* selected) {
        Value::Dictionary d;
        if (title) d[Value(TBTabBarItemTitle)] = Value(title);
        if (image) d[Value(TBTabBarItemImage)] = Value(image);
        if (selected) d[Value(TBTabBarItemSelectedImage)] = Value(selected);
        return d;
    }

    // The app's road: plain initialiser, three dictionaries, three navigation children, window root.
    std::shared_ptr<TBTabBarController> appTabs() {
        tabs = std::make_shared<TBTabBarController>();
        tabs->setTabBarItemsAttributes(Value::Array{Value(attributes("Devices", "home", "home_selected")),
                                                    Value(attributes("History", "list", "list_selected")),
                                                    Value(attributes("Settings", "gear", "gear_selected"))});
        for (int i = 0; i < 3; ++i) {
            roots.push_back(std::make_shared<UIViewController>());
            navigations.push_back(UINavigationController::withRootViewController(roots.back()));
        }
        tabs->setViewControllers(std::vector<UIViewControllerPtr>(navigations.begin(), navigations.end()));
        return tabs;
    }

    // Drops the shown tabs and builds the app's tabs again, for a case that changed the system
    // version or the screen.
    std::shared_ptr<TBTabBarController> freshAppTabs() {
        if (window) window->setHidden(true);
        TBResetRegistryForTesting();
        roots.clear();
        navigations.clear();
        return appTabs();
    }

    void show(const UIViewControllerPtr& root) {
        window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        delegate->window_ = window;
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        window->layoutIfNeeded();
    }

    std::shared_ptr<AppDelegate> delegate;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<TBTabBarController> tabs;
    std::vector<UIViewControllerPtr> roots;
    std::vector<std::shared_ptr<UINavigationController>> navigations;
    std::vector<std::string> logged;
};

}  // namespace tab_test
