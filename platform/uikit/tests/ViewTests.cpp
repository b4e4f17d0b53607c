#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

bool near(CGPoint a, CGPoint b) { return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9; }

class RecordingView : public UIView {
public:
    using UIView::UIView;
    std::vector<std::string>* log = nullptr;
    std::string name;
    int layouts = 0;
    int draws = 0;
    std::function<void()> onDraw;
    bool drawsContent() const override { return true; }
    void drawRect(CGRect) override {
        ++draws;
        if (onDraw) onDraw();
    }
    void layoutSubviews() override {
        ++layouts;
        if (log) log->push_back(name + " layout");
    }
    void willMoveToSuperview(UIView* s) override {
        if (log) log->push_back(name + (s ? " willMoveToSuperview" : " willMoveToSuperview(null)"));
    }
    void didMoveToSuperview() override {
        if (log) log->push_back(name + " didMoveToSuperview");
    }
    void willMoveToWindow(UIWindow* w) override {
        if (log) log->push_back(name + (w ? " willMoveToWindow" : " willMoveToWindow(null)"));
    }
    void didMoveToWindow() override {
        if (log) log->push_back(name + " didMoveToWindow");
    }
    void traitCollectionDidChange(const UITraitCollection* previous) override {
        UIView::traitCollectionDidChange(previous);
        if (log) log->push_back(name + " traits " + std::to_string(traitCollection()->userInterfaceStyle()));
    }
};

TEST(UIView, ConversionsThroughNestedBoundsOriginsAndTransforms) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 400, 400));
    auto a = std::make_shared<UIView>(CGRectMake(10, 20, 200, 200));
    auto b = std::make_shared<UIView>(CGRectMake(5, 5, 100, 100));
    root->addSubview(a);
    a->addSubview(b);
    struct Case {
        const char* name;
        std::function<void()> setup;
        CGPoint inB;
        CGPoint inRoot;
    };
    const Case cases[] = {
        {"plain offsets", [] {}, {0, 0}, {15, 25}},
        {"scrolled parent", [&] { a->setBounds(CGRectMake(0, 30, 200, 200)); }, {0, 0}, {15, -5}},
        {"scaled child", [&] { b->setTransform(CGAffineTransformMakeScale(2, 2)); }, {0, 0}, {-35, -25}},
        {"rotated child", [&] { b->setTransform(CGAffineTransformMakeRotation(M_PI / 2)); }, {50, 0}, {115, 75}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        a->setBounds(CGRectMake(0, 0, 200, 200));
        b->setTransform(CGAffineTransformIdentity);
        c.setup();
        CGPoint out = b->convertPointToView(c.inB, root.get());
        EXPECT_TRUE(near(out, c.inRoot)) << out.x << "," << out.y;
        CGPoint back = b->convertPointFromView(c.inRoot, root.get());
        EXPECT_TRUE(near(back, c.inB)) << back.x << "," << back.y;
    }
    b->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(b->frame(), CGRectMake(-45, -45, 200, 200));
    EXPECT_EQ(b->bounds().size, CGSizeMake(100, 100));
    EXPECT_EQ(b->convertRectToView(b->bounds(), root.get()), CGRectMake(-35, -25, 200, 200));
}

class HitView : public UIView {
public:
    using UIView::UIView;
    int asked = 0;
    UIViewPtr hitTest(CGPoint p, UIEvent* e) override {
        ++asked;
        // Answers for a region beyond its own bounds.
        if (p.x >= -50 && p.x < 0 && p.y >= 0 && p.y < 10) return std::static_pointer_cast<UIView>(shared_from_this());
        return UIView::hitTest(p, e);
    }
};

TEST(UIView, HitTestFrontToBackSkippingHiddenTransparentAndInert) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 300, 300));
    auto back = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto front = std::make_shared<UIView>(CGRectMake(50, 50, 100, 100));
    auto outside = std::make_shared<HitView>(CGRectMake(250, 0, 40, 10));
    root->addSubview(back);
    root->addSubview(front);
    root->addSubview(outside);
    struct Case {
        const char* name;
        std::function<void()> setup;
        CGPoint point;
        UIView* expected;
    };
    const Case cases[] = {
        {"front wins the overlap", [] {}, {60, 60}, front.get()},
        {"back alone", [] {}, {10, 10}, back.get()},
        {"hidden front", [&] { front->setHidden(true); }, {60, 60}, back.get()},
        {"transparent front", [&] { front->setAlpha(0.01); }, {60, 60}, back.get()},
        {"barely visible front", [&] { front->setAlpha(0.02); }, {60, 60}, front.get()},
        {"inert front", [&] { front->setUserInteractionEnabled(false); }, {60, 60}, back.get()},
        {"empty area hits the root", [] {}, {200, 200}, root.get()},
        {"override answers outside its bounds", [] {}, {220, 5}, outside.get()},
        {"override even outside the root", [&] { outside->setFrame(CGRectMake(320, 0, 40, 10)); }, {290, 5},
         outside.get()},
        {"inert root hits nothing", [&] { root->setUserInteractionEnabled(false); }, {10, 10}, nullptr},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& v : {back, front}) {
            v->setHidden(false);
            v->setAlpha(1);
            v->setUserInteractionEnabled(true);
        }
        root->setUserInteractionEnabled(true);
        outside->setFrame(CGRectMake(250, 0, 40, 10));
        c.setup();
        EXPECT_EQ(root->hitTest(c.point, nullptr).get(), c.expected);
    }
    EXPECT_GT(outside->asked, 0);
}

TEST(UIView, AutoresizingSharesTheChangeAmongFlexibleParts) {
    struct Case {
        uint64_t mask;
        CGRect expected;
    };
    // Parent 100 × 100 → 200 × 150; child at (10, 10, 50, 50).
    const Case cases[] = {
        {UIViewAutoresizingNone, CGRectMake(10, 10, 50, 50)},
        {UIViewAutoresizingFlexibleWidth, CGRectMake(10, 10, 150, 50)},
        {UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight, CGRectMake(10, 10, 150, 100)},
        {UIViewAutoresizingFlexibleLeftMargin, CGRectMake(110, 10, 50, 50)},
        {UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin, CGRectMake(30, 10, 50, 50)},
        {UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin, CGRectMake(10, 20, 50, 50)},
        {UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleWidth, CGRectMake(26.6666666666667, 10, 133.333333333333, 50)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.mask);
        auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
        auto child = std::make_shared<UIView>(CGRectMake(10, 10, 50, 50));
        child->setAutoresizingMask(c.mask);
        parent->addSubview(child);
        parent->setFrame(CGRectMake(0, 0, 200, 150));
        auto f = child->frame();
        EXPECT_NEAR(f.origin.x, c.expected.origin.x, 1e-6);
        EXPECT_NEAR(f.origin.y, c.expected.origin.y, 1e-6);
        EXPECT_NEAR(f.size.width, c.expected.size.width, 1e-6);
        EXPECT_NEAR(f.size.height, c.expected.size.height, 1e-6);
    }
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIApplication::sharedApplication()->resetForTesting();
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window->setHidden(true);
        UIScreen::mainScreen()->setUserInterfaceStyle(UIUserInterfaceStyleLight);
        UIApplication::sharedApplication()->resetForTesting();
    }
    // One idle turn of the main run loop: the end-of-turn pass runs.
    void turn() { NSRunLoop::mainRunLoop()->runModeUntil(NSDefaultRunLoopMode, std::chrono::steady_clock::now()); }
    std::shared_ptr<UIWindow> window;
};

TEST_F(WindowTest, MoveCallbacksArriveInOrderAndSubviewOrderCanBeChanged) {
    std::vector<std::string> log;
    auto a = std::make_shared<RecordingView>(CGRectMake(0, 0, 10, 10));
    a->log = &log;
    a->name = "a";
    window->addSubview(a);
    EXPECT_EQ(a->window(), window.get());
    EXPECT_EQ(log, (std::vector<std::string>{"a willMoveToSuperview", "a willMoveToWindow", "a didMoveToWindow",
                                             "a didMoveToSuperview"}));
    log.clear();
    a->removeFromSuperview();
    EXPECT_EQ(a->window(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a willMoveToSuperview(null)", "a willMoveToWindow(null)",
                                             "a didMoveToWindow", "a didMoveToSuperview"}));

    auto p = std::make_shared<UIView>();
    auto x = std::make_shared<UIView>(), y = std::make_shared<UIView>(), z = std::make_shared<UIView>();
    p->addSubview(x);
    p->addSubview(y);
    p->insertSubviewBelowSubview(z, x);
    EXPECT_EQ(p->subviews(), (std::vector<UIViewPtr>{z, x, y}));
    p->bringSubviewToFront(z);
    EXPECT_EQ(p->subviews(), (std::vector<UIViewPtr>{x, y, z}));
    p->sendSubviewToBack(y);
    p->exchangeSubviewAtIndex(0, 2);
    EXPECT_EQ(p->subviews(), (std::vector<UIViewPtr>{z, x, y}));
    // The layers keep the views' order.
    ASSERT_EQ(p->layer()->sublayers().size(), 3u);
    EXPECT_EQ(p->layer()->sublayers()[0], z->layer());
    EXPECT_EQ(p->layer()->sublayers()[2], y->layer());
    z->setTag(7);
    EXPECT_EQ(p->viewWithTag(7), z);
    p->addSubview(p);  // a view cannot contain itself
    EXPECT_EQ(p->subviews().size(), 3u);
}

TEST_F(WindowTest, LayoutThenDisplayRunAtTheEndOfTheTurnForViewsInWindows) {
    std::vector<std::string> log;
    auto inWindow = std::make_shared<RecordingView>(CGRectMake(0, 0, 20, 20));
    auto loose = std::make_shared<RecordingView>(CGRectMake(0, 0, 20, 20));
    inWindow->log = &log;
    inWindow->name = "in";
    window->addSubview(inWindow);
    turn();
    int layouts = inWindow->layouts, draws = inWindow->draws;
    inWindow->setNeedsLayout();
    inWindow->setNeedsLayout();
    inWindow->setNeedsDisplay();
    loose->setNeedsLayout();
    loose->setNeedsDisplay();
    EXPECT_EQ(inWindow->layouts, layouts);
    turn();
    EXPECT_EQ(inWindow->layouts, layouts + 1);
    EXPECT_EQ(inWindow->draws, draws + 1);
    EXPECT_EQ(loose->layouts, 0);
    EXPECT_EQ(loose->draws, 0);
    loose->layoutIfNeeded();
    EXPECT_EQ(loose->layouts, 1);
    // Nothing drawn: the drawRect above paints nothing, so no contents.
    EXPECT_TRUE(inWindow->layer()->contents().isNull());
}

TEST_F(WindowTest, DisplayReachesEveryViewThatAsksWhereverItIsInTheTree) {
    // window > p > (q, r > (r1, r2)), all drawing.
    auto make = [] { return std::make_shared<RecordingView>(CGRectMake(0, 0, 10, 10)); };
    auto p = make(), q = make(), r = make(), r1 = make(), r2 = make();
    window->addSubview(p);
    p->addSubview(q);
    p->addSubview(r);
    r->addSubview(r1);
    r->addSubview(r2);
    turn();
    auto draws = [&] {
        return std::vector<int>{p->draws, q->draws, r->draws, r1->draws, r2->draws};
    };
    auto before = draws();
    auto expectDrawn = [&](std::vector<int> more) {
        auto now = draws();
        for (std::size_t i = 0; i < more.size(); ++i) EXPECT_EQ(now[i], before[i] + more[i]) << "view " << i;
        before = now;
    };
    // A deep view alone, twice (the second time after a pass has gone through).
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        r2->setNeedsDisplay();
        turn();
        expectDrawn({0, 0, 0, 0, 1});
    }
    // A branch made outside the window with a view asking in it, then attached.
    auto loose = make(), looseChild = make();
    loose->addSubview(looseChild);
    looseChild->setNeedsDisplay();
    r1->addSubview(loose);
    turn();
    EXPECT_GE(looseChild->draws, 1);
    before = draws();
    // Drawing that asks for more: a view later in the pass is drawn in the same pass (also when
    // a sibling of it asked first), one already passed is drawn at the next turn.
    q->onDraw = [&] { r2->setNeedsDisplay(); };
    r1->setNeedsDisplay();
    q->setNeedsDisplay();
    turn();
    expectDrawn({0, 1, 0, 1, 1});
    q->onDraw = nullptr;
    r2->onDraw = [&] { q->setNeedsDisplay(); };
    r2->setNeedsDisplay();
    turn();
    expectDrawn({0, 0, 0, 0, 1});
    r2->onDraw = nullptr;
    turn();
    expectDrawn({0, 1, 0, 0, 0});
}

TEST_F(WindowTest, StyleSwitchReachesViewsTopDownAndOverridesStop) {
    std::vector<std::string> log;
    auto outer = std::make_shared<RecordingView>(CGRectMake(0, 0, 10, 10));
    auto inner = std::make_shared<RecordingView>(CGRectMake(0, 0, 10, 10));
    auto pinned = std::make_shared<RecordingView>(CGRectMake(0, 0, 10, 10));
    outer->log = inner->log = pinned->log = &log;
    outer->name = "outer";
    inner->name = "inner";
    pinned->name = "pinned";
    window->addSubview(outer);
    outer->addSubview(inner);
    outer->addSubview(pinned);
    pinned->setOverrideUserInterfaceStyle(UIUserInterfaceStyleLight);
    log.clear();
    UIScreen::mainScreen()->setUserInterfaceStyle(UIUserInterfaceStyleDark);
    EXPECT_EQ(log, (std::vector<std::string>{"outer traits 2", "inner traits 2"}));
    EXPECT_EQ(pinned->traitCollection()->userInterfaceStyle(), UIUserInterfaceStyleLight);
    // Dynamic colours resolve against the view's traits while it draws.
    {
        UITraitCollection::Scope scope(inner->traitCollection());
        EXPECT_EQ(UIColor::systemBackgroundColor()->rgba8(), (std::array<uint8_t, 4>{0, 0, 0, 255}));
    }
    {
        UITraitCollection::Scope scope(pinned->traitCollection());
        EXPECT_EQ(UIColor::systemBackgroundColor()->rgba8(), (std::array<uint8_t, 4>{255, 255, 255, 255}));
    }
}

TEST_F(WindowTest, SafeAreaClipsToTheViewAndDependsOnTheOperatingSystem) {
    auto top = std::make_shared<UIView>(CGRectMake(0, 0, 375, 100));
    auto bottom = std::make_shared<UIView>(CGRectMake(0, 700, 375, 112));
    window->addSubview(top);
    window->addSubview(bottom);
    EXPECT_EQ(window->safeAreaInsets(), UIEdgeInsetsMake(44, 0, 34, 0));
    EXPECT_EQ(top->safeAreaInsets(), UIEdgeInsetsMake(44, 0, 0, 0));
    EXPECT_EQ(bottom->safeAreaInsets(), UIEdgeInsetsMake(0, 0, 34, 0));
    EXPECT_TRUE(top->respondsToSelector("safeAreaInsets"));
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{10, 3, 0});
    EXPECT_FALSE(top->respondsToSelector("safeAreaInsets"));
    EXPECT_FALSE(top->respondsToSelector("overrideUserInterfaceStyle"));
    EXPECT_EQ(top->safeAreaInsets(), UIEdgeInsetsZero);
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
}

TEST_F(WindowTest, SafeAreaReadAgainFollowsEveryChangeAboveAndOfTheView) {
    // A view in the top band of a container: each step changes one thing the view's safe area
    // depends on (or its own bounds origin, which it does not), after the area was read once.
    auto container = std::make_shared<UIView>(CGRectMake(0, 0, 375, 300));
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 375, 100));
    auto other = std::make_shared<UIView>(CGRectMake(0, 0, 375, 100));
    window->addSubview(container);
    container->addSubview(view);
    container->addSubview(other);
    struct Step {
        const char* what;
        std::function<void()> change;
        double top;
    } steps[] = {
        {"container scrolled down 30", [&] { container->setBounds(CGRectMake(0, 30, 375, 300)); }, 74},
        {"the view's own bounds origin", [&] { view->setBounds(CGRectMake(0, 50, 375, 100)); }, 74},
        {"a sibling's bounds origin, then the view's", [&] {
             other->setBounds(CGRectMake(0, 5, 375, 100));
             view->setBounds(CGRectMake(0, 60, 375, 100));
         }, 74},
        {"container scrolled back", [&] { container->setBounds(CGRectMake(0, 0, 375, 300)); }, 44},
        {"the view moved down 20", [&] { view->setFrame(CGRectMake(0, 20, 375, 100)); }, 24},
        {"the container moved down 30", [&] { container->setFrame(CGRectMake(0, 30, 375, 300)); }, 0},
        {"the container's controller adds 50", [&] { container->setControllerSafeAreaInsets(UIEdgeInsetsMake(50, 0, 0, 0)); }, 44},
        {"the view moved to the window", [&] { window->addSubview(view); }, 24},
        {"the view's anchor at its corner", [&] { view->layer()->setAnchorPoint(CGPointMake(0, 0)); }, 0},
        {"the window's controller adds 100", [&] { window->setControllerSafeAreaInsets(UIEdgeInsetsMake(100, 0, 0, 0)); }, 74},
        {"the view scaled down by half", [&] { view->layer()->setAffineTransform(CGAffineTransformMakeScale(0.5, 0.5)); }, 50},  // the band clipped to its height
        {"the view out of the window", [&] { view->removeFromSuperview(); }, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        (void)view->safeAreaInsets();
        step.change();
        EXPECT_EQ(view->safeAreaInsets().top, step.top);
        EXPECT_EQ(view->safeAreaInsets().top, step.top);
    }
}

TEST_F(WindowTest, ResponderChainTintAndKeyWindow) {
    auto controller = std::make_shared<UIResponder>();
    auto root = std::make_shared<UIView>();
    auto leaf = std::make_shared<UIView>();
    window->addSubview(root);
    root->addSubview(leaf);
    root->setViewControllerResponder(controller);
    EXPECT_EQ(leaf->nextResponder(), root);
    EXPECT_EQ(root->nextResponder(), controller);
    EXPECT_EQ(window->nextResponder(), UIApplication::sharedApplication());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(UIApplication::sharedApplication()->windows().size(), 1u);

    EXPECT_TRUE(leaf->tintColor()->isEqual(*UIColor::systemBlueColor()));
    root->setTintColor(UIColor::redColor());
    EXPECT_TRUE(leaf->tintColor()->isEqual(*UIColor::redColor()));

    int kvo = 0;
    struct Observer : NSObject {
        int* count;
        void observeValueForKeyPath(const std::string&, NSObject*, const Value&, void*) override { ++*count; }
    };
    auto observer = std::make_shared<Observer>();
    observer->count = &kvo;
    leaf->addObserver(*observer, "frame", NSKeyValueObservingOptionNew);
    leaf->addObserver(*observer, "alpha", NSKeyValueObservingOptionNew);
    leaf->setFrame(CGRectMake(1, 2, 3, 4));
    leaf->setAlpha(0.5);
    EXPECT_EQ(kvo, 2);
    EXPECT_EQ(leaf->valueForKey("frame").CGRectValue(), CGRectMake(1, 2, 3, 4));
    leaf->removeObserver(*observer, "frame");
    leaf->removeObserver(*observer, "alpha");

    window->setHidden(true);
    EXPECT_TRUE(UIApplication::sharedApplication()->windows().empty());
    EXPECT_EQ(UIApplication::sharedApplication()->keyWindow(), nullptr);
}

TEST(UIAccessibility, PostedNotificationsAreRecorded) {
    UIAccessibilityClearPostedNotifications();
    UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, Value("Saved"));
    UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification, Value());
    auto posted = UIAccessibilityPostedNotifications();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].notification, UIAccessibilityAnnouncementNotification);
    EXPECT_EQ(std::string(posted[0].argument.asString()), "Saved");
}

}  // namespace
