// The progress overlay on the manual clock: show, dismiss and error
// sequences with their notifications, activity counting, grace, sizes, mask
// types against a tap on a button behind, haptics, windows that do not
// qualify, and the ring views and gradient it draws with.

#include "WidgetTestSupport.h"

#include <ui_widgets/OVProgressHUD.h>
#include <ui_widgets/OVRingViews.h>

#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_uikit/CGContext.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIFeedbackGenerator.h>
#include <platform_uikit/UIKeyboard.h>
#include <platform_uikit/UIScreenText.h>

using namespace widgets_test;

namespace {

struct AppDelegate : UIApplicationDelegate {
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIWindow> window() const override { return window_; }
};

class OverlayTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        delegate->window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        UIApplication::sharedApplication()->setDelegate(delegate);
        delegate->window_->makeKeyAndVisible();
        names = {OVProgressHUDWillAppearNotification, OVProgressHUDDidAppearNotification,
                 OVProgressHUDWillDisappearNotification, OVProgressHUDDidDisappearNotification,
                 OVProgressHUDDidReceiveTouchEventNotification, OVProgressHUDDidTouchDownInsideNotification};
        for (const char* name : names)
            tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
                name, Value(), nullptr, [this](const NSNotification& n) {
                    std::string entry = n.name().substr(std::string("OVProgressHUD").size());
                    entry = entry.substr(0, entry.size() - std::string("Notification").size());
                    std::string status = n.userInfo().objectForKey(Value(OVProgressHUDStatusUserInfoKey)).stringValue();
                    if (!status.empty()) entry += " " + status;
                    if (n.object().isNull()) entry += " (no sender)";
                    log.push_back(entry);
                }));
        UIFeedbackGenerator::clearRecordedFeedback();
    }
    void TearDown() override {
        OVProgressHUD::dismiss();
        ManualClock::advance(1);
        OVProgressHUD::setDefaultStyle(OVProgressHUDStyleLight);
        OVProgressHUD::setDefaultMaskType(OVProgressHUDMaskTypeNone);
        OVProgressHUD::setGraceTimeInterval(0);
        OVProgressHUD::setHapticsEnabled(false);
        for (auto& token : tokens) NSNotificationCenter::defaultCenter()->removeObserver(token);
        delegate->window_->setHidden(true);
        WidgetTest::TearDown();
    }
    std::vector<std::string> take() { return std::exchange(log, {}); }

    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::vector<const char*> names;
    std::vector<std::shared_ptr<NSObject>> tokens;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(OverlayTest, ShowThenDismissInTheSameTurn) {
    OVProgressHUD::show();
    OVProgressHUD::dismiss();
    EXPECT_FALSE(OVProgressHUD::isVisible());  // both are queued
    ManualClock::advance(0);
    EXPECT_EQ(take(), (Log{"WillAppear", "WillDisappear (no sender)"}));
    ManualClock::advance(0.2);
    EXPECT_EQ(take(), (Log{"DidDisappear"}));
    EXPECT_FALSE(OVProgressHUD::isVisible());
    EXPECT_EQ(OVProgressHUD::sharedView()->superview(), nullptr);
}

TEST_F(OverlayTest, ShowAppearsThenDismissDisappears) {
    OVProgressHUD::setDefaultStyle(OVProgressHUDStyleDark);
    OVProgressHUD::show();
    ManualClock::advance(0);
    EXPECT_TRUE(OVProgressHUD::isVisible());
    auto view = OVProgressHUD::sharedView();
    EXPECT_EQ(view->controlView()->superview().get(), delegate->window_.get());
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 375, 812));
    ManualClock::advance(0.2);
    EXPECT_EQ(take(), (Log{"WillAppear", "DidAppear"}));
    EXPECT_EQ(view->activityCount(), 1u);
    EXPECT_EQ(view->statusLabel()->textColor()->rgba(), UIColor::whiteColor()->rgba());
    auto blur = std::dynamic_pointer_cast<UIBlurEffect>(view->hudView()->effect());
    ASSERT_NE(blur, nullptr);
    EXPECT_EQ(blur->style(), UIBlurEffectStyleDark);
    OVProgressHUD::dismiss();
    ManualClock::advance(0);
    EXPECT_FALSE(OVProgressHUD::isVisible());  // model alpha 0 once the fade-out starts
    ManualClock::advance(0.2);
    EXPECT_EQ(take(), (Log{"WillDisappear (no sender)", "DidDisappear"}));
    EXPECT_EQ(view->activityCount(), 0u);
}

TEST_F(OverlayTest, ErrorStaysForItsDisplayTime) {
    struct Case { std::size_t length; double seconds; };
    for (Case c : {Case{10, 5.0}, Case{100, 6.5}}) {
        SCOPED_TRACE(c.length);
        std::string status(c.length, 'x');
        EXPECT_DOUBLE_EQ(OVProgressHUD::displayDurationForString(status), c.seconds);
        OVProgressHUD::showErrorWithStatus(status);
        ManualClock::advance(0.15 + c.seconds - 0.05);
        EXPECT_TRUE(OVProgressHUD::isVisible());
        EXPECT_EQ(take(), (Log{"WillAppear " + status, "DidAppear " + status}));
        ManualClock::advance(0.1);
        EXPECT_FALSE(OVProgressHUD::isVisible());
        ManualClock::advance(0.2);
        EXPECT_EQ(take(), (Log{"WillDisappear " + status + " (no sender)", "DidDisappear " + status}));
    }
    EXPECT_DOUBLE_EQ(OVProgressHUD::displayDurationForString(std::nullopt), 5.0);
    EXPECT_DOUBLE_EQ(OVProgressHUD::displayDurationForString("ééééé"), 5.0);
}

TEST_F(OverlayTest, ErrorRightAfterShowReplacesTheSpinner) {
    OVProgressHUD::show();
    OVProgressHUD::showErrorWithStatus("No network");
    ManualClock::advance(0);
    auto view = OVProgressHUD::sharedView();
    EXPECT_TRUE(OVProgressHUD::isVisible());
    EXPECT_EQ(view->indefiniteAnimatedView()->superview(), nullptr);
    EXPECT_FALSE(view->imageView()->isHidden());
    ASSERT_NE(view->imageView()->image(), nullptr);
    EXPECT_TRUE(view->imageView()->image()->isTemplate());
    EXPECT_EQ(view->statusLabel()->text(), "No network");
    // The display time counts from this show, the overlay being already (model) shown.
    for (int i = 0; i < 9; ++i) {
        ManualClock::advance(0.5);
        EXPECT_TRUE(OVProgressHUD::isVisible()) << i;
    }
}

TEST_F(OverlayTest, ShowDuringTheFadeOutCancelsTheDismissal) {
    bool completed = false;
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    OVProgressHUD::dismissWithDelay(0.5, [&] { completed = true; });
    ManualClock::advance(0.5 + 0.05);  // the fade-out runs
    EXPECT_FALSE(OVProgressHUD::isVisible());
    OVProgressHUD::show();
    ManualClock::advance(1);
    EXPECT_TRUE(OVProgressHUD::isVisible());
    EXPECT_FALSE(completed);
    EXPECT_EQ(take(), (Log{"WillAppear", "DidAppear", "WillDisappear (no sender)", "WillAppear", "DidAppear"}));
}

TEST_F(OverlayTest, ShowDuringTheDelayIsFadedOutByThePendingDismissal) {
    bool completed = false;
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    OVProgressHUD::dismissWithDelay(0.5, [&] { completed = true; });
    ManualClock::advance(0.2);
    OVProgressHUD::showWithStatus("again");
    ManualClock::advance(0.1);
    EXPECT_TRUE(OVProgressHUD::isVisible());
    ManualClock::advance(0.5);
    EXPECT_FALSE(OVProgressHUD::isVisible());
    EXPECT_TRUE(completed);
}

TEST_F(OverlayTest, ActivityCountAndPopActivity) {
    OVProgressHUD::show();
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    EXPECT_EQ(OVProgressHUD::sharedView()->activityCount(), 2u);
    OVProgressHUD::popActivity();
    ManualClock::advance(0.3);
    EXPECT_TRUE(OVProgressHUD::isVisible());
    OVProgressHUD::popActivity();
    ManualClock::advance(0.3);
    EXPECT_FALSE(OVProgressHUD::isVisible());
    // Progress above 0 does not count; exactly 0 does.
    OVProgressHUD::showProgress(0.5f);
    OVProgressHUD::showProgress(0.0f);
    ManualClock::advance(0.2);
    EXPECT_EQ(OVProgressHUD::sharedView()->activityCount(), 1u);
}

TEST_F(OverlayTest, DismissInsideTheGracePeriodShowsNothing) {
    OVProgressHUD::setGraceTimeInterval(0.5);
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    EXPECT_FALSE(OVProgressHUD::isVisible());
    OVProgressHUD::dismiss();
    ManualClock::advance(1);
    EXPECT_FALSE(OVProgressHUD::isVisible());
    EXPECT_EQ(take(), (Log{"WillDisappear (no sender)", "DidDisappear"}));
    // Without a dismissal the grace timer fades it in.
    OVProgressHUD::show();
    ManualClock::advance(0.4);
    EXPECT_FALSE(OVProgressHUD::isVisible());
    ManualClock::advance(0.2);
    EXPECT_TRUE(OVProgressHUD::isVisible());
}

TEST_F(OverlayTest, HudSizesAndRingRadii) {
    auto view = OVProgressHUD::sharedView();
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    auto spinner = std::dynamic_pointer_cast<OVIndefiniteAnimatedView>(view->indefiniteAnimatedView());
    ASSERT_NE(spinner, nullptr);
    EXPECT_EQ(spinner->radius(), 24);
    EXPECT_EQ(spinner->frame().size, CGSizeMake(60, 60));
    EXPECT_EQ(view->hudView()->bounds().size, CGSizeMake(12 + 60 + 12, 12 + 60 + 12));
    OVProgressHUD::showWithStatus("Loading");
    ManualClock::advance(0.2);
    EXPECT_EQ(spinner->radius(), 18);
    EXPECT_EQ(spinner->frame().size, CGSizeMake(48, 48));
    // A status longer than fits 200 x 300 is measured at most that large.
    OVProgressHUD::showErrorWithStatus(std::string(2000, 'w'));
    ManualClock::advance(0.2);
    CGSize hud = view->hudView()->bounds().size;
    EXPECT_LE(hud.width, 224);
    EXPECT_LE(hud.height, 12 + 300 + 8 + 28 + 12);
    EXPECT_LE(view->statusLabel()->frame().size.width, 200);
    // Progress rings take the ring radius by the same text rule.
    OVProgressHUD::showProgress(0.3f);
    ManualClock::advance(0.2);
    EXPECT_EQ(view->ringView()->radius(), 24);
    EXPECT_DOUBLE_EQ(view->ringView()->ringAnimatedLayer()->strokeEnd(), 0.3f);
    EXPECT_EQ(view->backgroundRingView()->ringAnimatedLayer()->strokeEnd(), 1.0);
}

TEST_F(OverlayTest, MaskTypesAgainstATapBehind) {
    auto button = std::make_shared<UIButton>(CGRectMake(20, 700, 100, 60));
    int taps = 0;
    button->addTarget(nullptr, "tapped", [&](UIControl&, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
    delegate->window_->addSubview(button);
    struct Case {
        uint64_t mask;
        bool passes;
        bool viaVariant;
    };
    const Case cases[] = {{OVProgressHUDMaskTypeNone, true, false},  {OVProgressHUDMaskTypeClear, false, false},
                          {OVProgressHUDMaskTypeBlack, false, false}, {OVProgressHUDMaskTypeGradient, false, false},
                          {OVProgressHUDMaskTypeCustom, false, false}, {OVProgressHUDMaskTypeBlack, false, true},
                          {OVProgressHUDMaskTypeGradient, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mask) + (c.viaVariant ? " variant" : " default"));
        if (c.viaVariant) {
            OVProgressHUD::showWithStatus("Wait", c.mask);
            // The stored default is unchanged; the show uses the requested mask.
            EXPECT_EQ(OVProgressHUD::sharedView()->defaultMaskType(), OVProgressHUDMaskTypeNone);
        } else {
            OVProgressHUD::setDefaultMaskType(c.mask);
            OVProgressHUD::showWithStatus("Wait");
        }
        ManualClock::advance(0.2);
        EXPECT_EQ(OVProgressHUD::sharedView()->activeMaskType(), c.mask);
        EXPECT_EQ(OVProgressHUD::sharedView()->gradientLayer() != nullptr, c.mask == OVProgressHUDMaskTypeGradient);
        take();
        taps = 0;
        UITouchInjection::tap({70, 730}, delegate->window_.get());
        EXPECT_EQ(taps, c.passes ? 1 : 0);
        EXPECT_EQ(log, c.passes ? Log{} : Log{"DidReceiveTouchEvent Wait"});
        OVProgressHUD::dismiss();
        ManualClock::advance(0.3);
        OVProgressHUD::setDefaultMaskType(OVProgressHUDMaskTypeNone);
    }
}

TEST_F(OverlayTest, TouchInsideTheHud) {
    OVProgressHUD::setDefaultMaskType(OVProgressHUDMaskTypeClear);
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    take();
    CGPoint center = OVProgressHUD::sharedView()->hudView()->center();
    UITouchInjection::tap(center, delegate->window_.get());
    EXPECT_EQ(take(), (Log{"DidReceiveTouchEvent", "DidTouchDownInside"}));
}

TEST_F(OverlayTest, HapticsOnlyWhenEnabled) {
    OVProgressHUD::showSuccessWithStatus("ok");
    OVProgressHUD::showErrorWithStatus("no");
    OVProgressHUD::showInfoWithStatus("hm");
    ManualClock::advance(0.2);
    EXPECT_TRUE(UIFeedbackGenerator::recordedFeedback().empty());
    OVProgressHUD::setHapticsEnabled(true);
    OVProgressHUD::showSuccessWithStatus("ok");
    OVProgressHUD::showErrorWithStatus("no");
    OVProgressHUD::showInfoWithStatus("hm");
    ManualClock::advance(0.2);
    EXPECT_EQ(UIFeedbackGenerator::recordedFeedback(),
              (std::vector<std::string>{"notification 0", "notification 2", "notification 1"}));
}

TEST_F(OverlayTest, KeyboardNotificationsMoveTheHud) {
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    auto view = OVProgressHUD::sharedView();
    EXPECT_EQ(view->hudView()->center(), CGPointMake(187.5, std::floor(812 * 0.45f)));
    Value::Dictionary info;
    info[Value(UIKeyboardFrameBeginUserInfoKey)] = Value(CGRectMake(0, 500, 375, 312));
    info[Value(UIKeyboardAnimationDurationUserInfoKey)] = Value(0.25);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIKeyboardWillShowNotification, Value(), Value(info));
    double status = UIApplication::sharedApplication()->statusBarFrame().size.height;
    EXPECT_EQ(view->hudView()->center().y, std::floor(float((812 + 2 * status - 312) * double(0.45f))));
    NSNotificationCenter::defaultCenter()->postNotificationName(UIKeyboardDidHideNotification, Value(), Value(info));
    EXPECT_EQ(view->hudView()->center().y, std::floor(812 * 0.45f));
}

TEST_F(OverlayTest, NoQualifyingWindowLeavesItUnattached) {
    delegate->window_->setHidden(true);
    OVProgressHUD::showWithStatus("nowhere");
    ManualClock::advance(0.2);
    EXPECT_EQ(OVProgressHUD::sharedView()->controlView()->superview(), nullptr);
    OVProgressHUD::dismiss();
    ManualClock::advance(0.3);
    // A show after the window that held it is gone.
    delegate->window_->makeKeyAndVisible();
    OVProgressHUD::show();
    ManualClock::advance(0.2);
    delegate->window_->setHidden(true);
    delegate->window_.reset();
    OVProgressHUD::showErrorWithStatus("late");
    ManualClock::advance(0.2);
    OVProgressHUD::dismiss();
    ManualClock::advance(0.3);
    delegate->window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
}

TEST_F(OverlayTest, ScreenTextOfTheDarkErrorOverAList) {
    // A list straight in the app's window (no bars), so the picture is the overlay's own.
    auto rows = std::make_shared<Rows>(30);
    auto table = std::make_shared<UITableView>(delegate->window_->bounds());
    table->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentNever);
    table->setDataSource(rows);
    delegate->window_->addSubview(table);
    table->reloadData();
    delegate->window_->layoutIfNeeded();
    OVProgressHUD::setDefaultStyle(OVProgressHUDStyleDark);
    OVProgressHUD::showErrorWithStatus("No connection");
    ManualClock::advance(0.3);
    std::string text = textSnapshot();
    const std::string golden = std::string(TEST_SOURCE_DIR) + "/golden/dark-error-over-list.txt";
    if (getenv("UPDATE_GOLDEN")) (void)NSDataFile::writeStringToFile(text, golden, true);
    EXPECT_EQ(text, NSDataFile::stringWithContentsOfFile(golden).value_or("(no golden)"));
}

// --- ring views and gradient ---

TEST(RingViews, SizesAndLayerLife) {
    prepareEnvironment();
    auto host = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    struct Case { double radius; double side; };
    for (Case c : {Case{24, 60}, Case{18, 48}}) {
        auto spinner = std::make_shared<OVIndefiniteAnimatedView>();
        spinner->setStrokeThickness(2);
        spinner->setRadius(c.radius);
        EXPECT_EQ(spinner->sizeThatFits(CGSizeMake(500, 1)), CGSizeMake(c.side, c.side));
    }
    auto spinner = std::make_shared<OVIndefiniteAnimatedView>();
    spinner->setStrokeThickness(2);
    spinner->setRadius(24);
    host->addSubview(spinner);
    auto layer = spinner->indefiniteAnimatedLayer();
    EXPECT_EQ(layer->superlayer(), spinner->layer());
    EXPECT_EQ(layer->bounds(), CGRectMake(0, 0, 60, 60));
    EXPECT_EQ(layer->animationKeys(), (std::vector<std::string>{"progress"}));
    ASSERT_NE(layer->mask(), nullptr);
    EXPECT_EQ(layer->mask()->animationKeys(), (std::vector<std::string>{"rotate"}));
    EXPECT_TRUE(layer->mask()->contents().isObject());  // the angle mask image
    spinner->setRadius(24);
    EXPECT_EQ(spinner->indefiniteAnimatedLayer(), layer);  // same radius: not rebuilt
    spinner->setRadius(30);
    EXPECT_NE(spinner->indefiniteAnimatedLayer(), layer);
    spinner->removeFromSuperview();
    EXPECT_FALSE(spinner->hasAnimatedLayer());

    auto ring = std::make_shared<OVProgressAnimatedView>();
    ring->setRadius(18);
    ring->setStrokeThickness(2);
    ring->setStrokeEnd(0.4);  // no layer yet: the new layer starts at 1
    EXPECT_EQ(ring->ringAnimatedLayer()->strokeEnd(), 1.0);
    ring->setStrokeEnd(0.4);
    EXPECT_DOUBLE_EQ(ring->ringAnimatedLayer()->strokeEnd(), 0.4);
}

// Each rebuilt layer draws the arc of the ring's current geometry and owns its path: a radius or
// thickness change gives a new arc, a return to the earlier geometry the earlier arc, and editing
// one layer's path leaves the next layer's alone.
TEST(RingViews, RebuiltLayersDrawTheCurrentArc) {
    prepareEnvironment();
    auto host = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto spinner = std::make_shared<OVIndefiniteAnimatedView>();
    spinner->setStrokeThickness(2);
    spinner->setRadius(24);
    auto boxOnce = [&] {
        host->addSubview(spinner);
        CGRect box = spinner->indefiniteAnimatedLayer()->path()->boundingBox();
        spinner->removeFromSuperview();
        return box;
    };
    struct Step {
        double radius, thickness;
        CGRect box;  // a whole circle of the radius around the layer's centre (radius + thickness / 2 + 5),
                     // drawn as segments (hence the tolerance)
    } steps[] = {
        {24, 2, CGRectMake(6, 6, 48, 48)}, {24, 2, CGRectMake(6, 6, 48, 48)}, {18, 2, CGRectMake(6, 6, 36, 36)},
        {18, 4, CGRectMake(7, 7, 36, 36)}, {24, 2, CGRectMake(6, 6, 48, 48)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step.radius << " " << step.thickness);
        spinner->setRadius(step.radius);
        spinner->setStrokeThickness(step.thickness);
        CGRect box = boxOnce();
        EXPECT_NEAR(box.origin.x, step.box.origin.x, 0.1);
        EXPECT_NEAR(box.origin.y, step.box.origin.y, 0.1);
        EXPECT_NEAR(box.size.width, step.box.size.width, 0.1);
        EXPECT_NEAR(box.size.height, step.box.size.height, 0.1);
    }
    host->addSubview(spinner);
    spinner->indefiniteAnimatedLayer()->path()->addLineToPoint(CGPointMake(500, 500));
    spinner->removeFromSuperview();
    EXPECT_NEAR(boxOnce().size.width, 48, 0.1);
}

TEST(RingViews, RadialGradientPixels) {
    OVRadialGradientLayer layer;
    layer.setBounds(CGRectMake(0, 0, 320, 480));
    layer.setGradientCenter(CGPointMake(0, 0));
    CGContext context(CGSizeMake(320, 480), 1);
    layer.drawInContext(context);
    auto at = [&](int x, int y) { return context.pixelAt(x, y); };
    EXPECT_LE(at(0, 0)[3], 2);            // alpha 0 at the centre
    EXPECT_NEAR(at(160, 0)[3], 96, 4);    // halfway along the radius of 320 (the shorter side): 0.375
    EXPECT_NEAR(at(0, 400)[3], 191, 2);   // beyond the radius: 0.75
    EXPECT_NEAR(at(319, 479)[3], 191, 2);
}

}  // namespace
