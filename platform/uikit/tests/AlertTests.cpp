#include "ControllerLogging.h"

#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIAlertView.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIVisualEffectView.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/NSException.h>

#include <functional>

using namespace controller_test;

namespace {

class AlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{13, 0, 0});
        app->resetForTesting();
        root = make("A", log);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        log.clear();
    }
    void TearDown() override {
        ManualClock::advance(1);  // anything still animating ends
        window->setHidden(true);
        app->resetForTesting();
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        ManualClock::uninstall();
    }
    static void tap(const std::shared_ptr<UIButton>& button) {
        ASSERT_TRUE(button);
        button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    }
    // Views of a kind under `view`, depth first.
    template <class T>
    static std::vector<std::shared_ptr<T>> find(const UIViewPtr& view) {
        std::vector<std::shared_ptr<T>> out;
        std::function<void(const UIViewPtr&)> walk = [&](const UIViewPtr& v) {
            if (auto t = std::dynamic_pointer_cast<T>(v)) out.push_back(t);
            for (auto& sub : v->subviews()) walk(sub);
        };
        walk(view);
        return out;
    }
    static std::vector<std::string> titles(const UIViewPtr& view) {
        std::vector<std::string> out;
        for (auto& button : find<UIButton>(view)) out.push_back(button->titleForState(UIControlStateNormal).value_or(""));
        return out;
    }

    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
    Log log;
    std::shared_ptr<LoggingController> root;
    UIWindowPtr window;
};

TEST_F(AlertTest, AnActionsHandlerRunsAfterTheDismissalAndThePresenterIsLeftAlone) {
    auto alert = UIAlertController::alertControllerWithTitle("Title", "Message", UIAlertControllerStyleAlert);
    bool dismissedWhenHandled = false;
    auto ok = UIAlertAction::actionWithTitle("OK", UIAlertActionStyleDefault, [&](UIAlertAction& action) {
        log.push_back("handler " + action.title().value_or(""));
        dismissedWhenHandled = !root->presentedViewController() && !alert->presentationController() &&
                               !alert->viewIfLoaded()->window();
    });
    alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, nullptr));
    alert->addAction(ok);
    root->presentViewController(alert, true, [&] { log.push_back("presented"); });
    EXPECT_EQ(alert->presentationController()->presentationStyle(), UIModalPresentationOverFullScreen);
    ManualClock::advance(0.19);
    EXPECT_EQ(log, Log{});
    ManualClock::advance(0.02);
    EXPECT_EQ(log, Log{"presented"});
    log.clear();

    tap(alert->buttonForAction(ok));
    tap(alert->buttonForAction(ok));  // a second tap while it goes changes nothing
    ManualClock::advance(0.19);
    EXPECT_EQ(log, Log{});
    ManualClock::advance(0.02);
    EXPECT_EQ(log, Log{"handler OK"});
    EXPECT_TRUE(dismissedWhenHandled);
    ManualClock::advance(1);
    EXPECT_EQ(log, Log{"handler OK"});
}

TEST_F(AlertTest, AlertPanelsLayOutTheirButtonsAsThePlatformDoes) {
    struct Case {
        const char* name;
        UIAlertControllerStyle style;
        std::vector<std::pair<const char*, UIAlertActionStyle>> actions;
        std::vector<std::string> order;  // buttons, depth first
        std::size_t panels;
    };
    const Case cases[] = {
        {"two actions side by side, cancel on the left", UIAlertControllerStyleAlert,
         {{"Delete", UIAlertActionStyleDestructive}, {"Keep", UIAlertActionStyleCancel}}, {"Keep", "Delete"}, 1},
        {"three actions stacked, cancel last", UIAlertControllerStyleAlert,
         {{"Keep", UIAlertActionStyleCancel}, {"One", UIAlertActionStyleDefault}, {"Two", UIAlertActionStyleDefault}},
         {"One", "Two", "Keep"}, 1},
        {"an action sheet keeps cancel apart", UIAlertControllerStyleActionSheet,
         {{"Keep", UIAlertActionStyleCancel}, {"One", UIAlertActionStyleDefault}}, {"One", "Keep"}, 2},
    };
    const CGRect screen = UIScreen::mainScreen()->bounds();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto alert = UIAlertController::alertControllerWithTitle("Title", "A message", c.style);
        for (auto& [title, style] : c.actions) alert->addAction(UIAlertAction::actionWithTitle(title, style, nullptr));
        root->presentViewController(alert, false);
        const UIViewPtr& view = alert->view();
        EXPECT_EQ(titles(view), c.order);
        auto panels = find<UIVisualEffectView>(view);
        ASSERT_EQ(panels.size(), c.panels);
        for (auto& panel : panels) EXPECT_EQ(panel->layer()->cornerRadius(), 13);
        std::vector<std::string> texts;
        for (auto& label : find<UILabel>(panels.front())) texts.push_back(label->text());
        EXPECT_EQ(texts[0], "Title");
        EXPECT_EQ(texts[1], "A message");
        const CGRect frame = panels.front()->frame();
        if (c.style == UIAlertControllerStyleAlert) {
            EXPECT_EQ(frame.size.width, UIAlertController::kAlertWidth);
            EXPECT_NEAR(CGRectGetMidX(frame), CGRectGetMidX(screen), 0.5);
            EXPECT_NEAR(CGRectGetMidY(frame), CGRectGetMidY(screen), 0.5);
        } else {
            EXPECT_EQ(frame.size.width, screen.size.width - 16);
            const CGRect cancel = panels.back()->frame();
            EXPECT_EQ(CGRectGetMaxY(cancel), screen.size.height - UIScreen::mainScreen()->safeAreaInsets().bottom);
            EXPECT_EQ(CGRectGetMaxY(frame) + 8, CGRectGetMinY(cancel));
        }
        root->dismissViewControllerAnimated(false);
    }
}

TEST_F(AlertTest, DisabledActionsAndASecondCancelAreRefused) {
    auto alert = UIAlertController::alertControllerWithTitle(std::nullopt, "Message", UIAlertControllerStyleAlert);
    int handled = 0;
    auto action = UIAlertAction::actionWithTitle("Go", UIAlertActionStyleDefault, [&](UIAlertAction&) { ++handled; });
    action->setEnabled(false);
    alert->addAction(action);
    alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, nullptr));
    EXPECT_THROW(alert->addAction(UIAlertAction::actionWithTitle("Again", UIAlertActionStyleCancel, nullptr)),
                 NSException);
    EXPECT_EQ(alert->actions().size(), 2u);
    root->presentViewController(alert, false);
    EXPECT_FALSE(alert->buttonForAction(action)->isEnabled());
    tap(alert->buttonForAction(action));
    ManualClock::advance(1);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(root->presentedViewController(), alert);
    action->setEnabled(true);
    tap(alert->buttonForAction(action));
    ManualClock::advance(1);
    EXPECT_EQ(handled, 1);
}

class RecordingAlertDelegate : public UIAlertViewDelegate {
public:
    explicit RecordingAlertDelegate(Log* log) : log(log) {}
    Log* log;
    void alertViewClickedButtonAtIndex(UIAlertView&, int64_t i) override { log->push_back("clicked " + std::to_string(i)); }
    void willPresentAlertView(UIAlertView&) override { log->push_back("willPresent"); }
    void didPresentAlertView(UIAlertView&) override { log->push_back("didPresent"); }
    void alertViewWillDismissWithButtonIndex(UIAlertView&, int64_t i) override {
        log->push_back("willDismiss " + std::to_string(i));
    }
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, int64_t i) override {
        log->push_back("didDismiss " + std::to_string(i) + (alert.isVisible() ? " visible" : ""));
    }
};

TEST_F(AlertTest, AnAlertViewShowsInItsOwnWindowAndTellsItsDelegateInOrder) {
    auto delegate = std::make_shared<RecordingAlertDelegate>(&log);
    auto alert = std::make_shared<UIAlertView>("Title", "Message", delegate, "Cancel", std::vector<std::string>{"One"});
    EXPECT_EQ(alert->addButtonWithTitle("Two"), 2);
    EXPECT_EQ(alert->numberOfButtons(), 3);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(2), "Two");
    EXPECT_EQ(alert->buttonTitleAtIndex(3), std::nullopt);

    alert->show();
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(log, Log{"willPresent"});
    ManualClock::advance(0.21);
    EXPECT_EQ(log, (Log{"willPresent", "didPresent"}));
    log.clear();
    // The platform's internal names, which page tracking leaves out.
    const UIWindowPtr& alertWindow = alert->alertWindow();
    ASSERT_TRUE(alertWindow);
    EXPECT_EQ(alertWindow->windowLevel(), UIWindowLevelAlert);
    EXPECT_TRUE(alertWindow->isKeyWindow());
    EXPECT_EQ(alertWindow->rootViewController()->className(), "_UIAlertShimPresentingViewController");
    EXPECT_EQ(alertWindow->rootViewController()->presentedViewController()->className(), "UIAlertController");
    EXPECT_EQ(titles(alert->alertController()->view()), (std::vector<std::string>{"One", "Two", "Cancel"}));
    EXPECT_TRUE(root->isAppeared());  // the app's own screen is left alone

    auto controller = alert->alertController();
    tap(controller->buttonForAction(controller->actions()[1]));
    EXPECT_EQ(log, (Log{"clicked 1", "willDismiss 1"}));
    ManualClock::advance(0.21);
    EXPECT_EQ(log, (Log{"clicked 1", "willDismiss 1", "didDismiss 1"}));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(app->windows(), std::vector<UIWindowPtr>{window});
}

TEST_F(AlertTest, AlertViewsWaitForEachOtherAndCanBeDismissedInCode) {
    // As the settings screen shows one: no delegate, no cancel button, one other button.
    auto first = std::make_shared<UIAlertView>("Failed", "Could not send", nullptr, std::nullopt,
                                               std::vector<std::string>{"OK"});
    EXPECT_EQ(first->cancelButtonIndex(), -1);
    EXPECT_EQ(first->firstOtherButtonIndex(), 0);
    auto delegate = std::make_shared<RecordingAlertDelegate>(&log);
    auto second = std::make_shared<UIAlertView>("Second", std::nullopt, delegate, "Close", std::vector<std::string>{});
    std::weak_ptr<UIAlertView> weakFirst = first;
    first->show();
    second->show();
    first.reset();  // kept alive while shown
    ASSERT_FALSE(weakFirst.expired());
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(log, Log{});
    ManualClock::advance(0.3);

    auto controller = weakFirst.lock()->alertController();
    tap(controller->buttonForAction(controller->actions()[0]));
    ManualClock::advance(0.21);
    EXPECT_EQ(weakFirst.use_count(), 0);
    EXPECT_TRUE(weakFirst.expired());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(log, Log{"willPresent"});
    ManualClock::advance(0.21);
    log.clear();

    second->dismissWithClickedButtonIndex(0, true);
    EXPECT_EQ(log, Log{"willDismiss 0"});
    ManualClock::advance(0.21);
    EXPECT_EQ(log, (Log{"willDismiss 0", "didDismiss 0"}));
    EXPECT_TRUE(window->isKeyWindow());
    second->dismissWithClickedButtonIndex(0, true);  // gone: nothing
    EXPECT_EQ(log.size(), 2u);
}

}  // namespace
