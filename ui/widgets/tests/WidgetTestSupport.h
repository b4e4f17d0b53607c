#pragma once
// Shared set-up of the widget tests: a fresh sandbox and defaults, the main
// bundle at the source tree's resources, a fixed time zone, the manual clock,
// and a screen with a table under a navigation bar in a tab.

#include <platform_dispatch/ManualClock.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UITableViewCell.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace widgets_test {

// A fresh sandbox per process, the resources bundle, UTC and English.
inline void prepareEnvironment() {
    static bool done = [] {
        char pattern[] = "/tmp/widgets-test-XXXXXX";
        const char* dir = ::mkdtemp(pattern);
        ::setenv(NSSandbox::kRootEnvironmentVariable, dir, 1);
        ::setenv("TZ", "UTC", 1);
        return true;
    }();
    (void)done;
    NSBundle::setMainBundlePathForTesting(std::string(PROJECT_SOURCE_DIR) + "/resources");
    NSTimeZone::resetSystemTimeZone();
    NSLocale::setPreferredLanguages(std::vector<std::string>{"en"});
}

class Rows : public UITableViewDataSource {
public:
    explicit Rows(int64_t count) : count(count) {}
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return count; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
        cell->textLabel()->setText("Row " + std::to_string(path.row));
        return cell;
    }
    int64_t count;
};

// A table filling a controller's view, in a navigation controller in a tab, in a key window.
struct TableScreen {
    explicit TableScreen(int64_t rows = 30) : rows(std::make_shared<Rows>(rows)) {
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        controller = std::make_shared<UIViewController>();
        navigation = UINavigationController::withRootViewController(controller);
        tabs = std::make_shared<UITabBarController>();
        tabs->setViewControllers({navigation});
        window->setRootViewController(tabs);
        window->makeKeyAndVisible();
        table = std::make_shared<UITableView>(controller->view()->bounds());
        table->setDataSource(this->rows);
        controller->view()->addSubview(table);
        window->layoutIfNeeded();
        table->reloadData();
        window->layoutIfNeeded();
    }
    ~TableScreen() { window->setHidden(true); }
    // A finger down at y, `steps` moves of `step` points each; lifted unless asked not to.
    std::shared_ptr<UITouch> drag(double fromY, double step, int steps, bool lift = true) {
        auto touch = UITouchInjection::touchDown({200, fromY}, window.get());
        for (int i = 1; i <= steps; ++i) UITouchInjection::touchMove(touch, {200, fromY + step * i});
        if (lift) UITouchInjection::touchUp(touch, {200, fromY + step * steps});
        return touch;
    }

    std::shared_ptr<Rows> rows;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> controller;
    std::shared_ptr<UINavigationController> navigation;
    std::shared_ptr<UITabBarController> tabs;
    std::shared_ptr<UITableView> table;
};

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        prepareEnvironment();
        ManualClock::install();
        UIApplication::sharedApplication()->resetForTesting();
        clearDefaults();
    }
    // Fresh defaults of the current main bundle: the file goes, and the store is read again.
    static void clearDefaults() {
        NSUserDefaults::resetStandardUserDefaults();
        std::error_code ignored;
        std::filesystem::remove(NSUserDefaults::standardUserDefaults()->filePath(), ignored);
        NSUserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override {
        ManualClock::advance(5);
        UIApplication::sharedApplication()->resetForTesting();
        ManualClock::uninstall();
    }
};

}  // namespace widgets_test
