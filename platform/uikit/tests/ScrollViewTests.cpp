#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIScrollView.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/KeyValueObserving.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// One "contentOffset" change as an observer saw it.
struct Seen {
    double y;
    bool dragging, decelerating;
};

struct OffsetObserver : NSObject {
    std::vector<Seen> seen;
    std::vector<std::pair<double, double>> oldNew;  // y before and after each change
    std::vector<int64_t> panStates;
    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change, void*) override {
        if (keyPath == "state") {
            panStates.push_back(object->valueForKey("state").integerValue());
            return;
        }
        auto& scroll = static_cast<UIScrollView&>(*object);
        if (keyPath == "contentOffset")
            oldNew.emplace_back(change.objectForKey(Value(NSKeyValueChangeOldKey)).CGPointValue().y,
                                change.objectForKey(Value(NSKeyValueChangeNewKey)).CGPointValue().y);
        seen.push_back({scroll.contentOffset().y, scroll.isDragging(), scroll.isDecelerating()});
    }
};

struct DelegateLog : UIScrollViewDelegate {
    std::vector<std::string> calls;
    void scrollViewWillBeginDragging(UIScrollView&) override { calls.push_back("willBeginDragging"); }
    void scrollViewWillEndDragging(UIScrollView&, CGPoint, CGPoint* target) override {
        calls.push_back("willEndDragging " + std::to_string(int(target->y)));
    }
    void scrollViewDidEndDragging(UIScrollView&, bool decelerate) override {
        calls.push_back(std::string("didEndDragging ") + (decelerate ? "1" : "0"));
    }
    void scrollViewWillBeginDecelerating(UIScrollView&) override { calls.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(UIScrollView&) override { calls.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(UIScrollView&) override { calls.push_back("didEndScrollingAnimation"); }
};

class ScrollTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        UIApplication::sharedApplication()->resetForTesting();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        window->makeKeyAndVisible();
        // Below the top safe area, so the automatic adjustment adds nothing.
        scroll = std::make_shared<UIScrollView>(CGRectMake(0, 100, 375, 600));
        scroll->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentNever);
        scroll->setContentSize(CGSizeMake(375, 2000));
        window->addSubview(scroll);
        scroll->setDelegate(delegate);
        scroll->addObserver(*observer, "contentOffset", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld);
        scroll->panGestureRecognizer()->addObserver(*observer, "state", NSKeyValueObservingOptionNew);
    }
    void TearDown() override {
        scroll->removeObserver(*observer, "contentOffset");
        scroll->panGestureRecognizer()->removeObserver(*observer, "state");
        window->setHidden(true);
        UIApplication::sharedApplication()->resetForTesting();
        ManualClock::uninstall();
    }
    // Down at (200, fromY), `steps` moves of `step` points each, up.
    void drag(double fromY, double step, int steps) {
        auto touch = UITouchInjection::touchDown({200, fromY});
        EXPECT_TRUE(scroll->isTracking());
        for (int i = 1; i <= steps; ++i) UITouchInjection::touchMove(touch, {200, fromY + step * i});
        UITouchInjection::touchUp(touch, {200, fromY + step * steps});
        EXPECT_FALSE(scroll->isTracking());
    }
    std::vector<double> offsets() const {
        std::vector<double> out;
        for (auto& s : observer->seen) out.push_back(s.y);
        return out;
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIScrollView> scroll;
    std::shared_ptr<OffsetObserver> observer = std::make_shared<OffsetObserver>();
    std::shared_ptr<DelegateLog> delegate = std::make_shared<DelegateLog>();
};

TEST_F(ScrollTest, DragPastTheTopFollowsTheFingerThenBouncesBackInSixtyHertzSteps) {
    // The first 10 points are the pan's hysteresis; then 1:1, beyond the edge too.
    drag(300, 10, 9);
    ASSERT_EQ(observer->seen.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(observer->seen[i].y, -10.0 * double(i + 1));
        EXPECT_TRUE(observer->seen[i].dragging);
        EXPECT_FALSE(observer->seen[i].decelerating);
    }
    EXPECT_EQ(observer->panStates,
              (std::vector<int64_t>{UIGestureRecognizerStateBegan, 2, 2, 2, 2, 2, 2, 2, 2,
                                    UIGestureRecognizerStateEnded, UIGestureRecognizerStatePossible}));
    // The change carries the offsets before and after, as the refresh controls read them.
    EXPECT_EQ(observer->oldNew.front(), (std::pair<double, double>{0, -10}));
    EXPECT_EQ(observer->oldNew.back(), (std::pair<double, double>{-70, -80}));
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_TRUE(scroll->isDecelerating());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willBeginDragging", "willEndDragging 0", "didEndDragging 1",
                                                         "willBeginDecelerating"}));

    observer->seen.clear();
    ManualClock::advance(UIScrollView::kScrollAnimationDuration + 0.01);
    ASSERT_EQ(observer->seen.size(), std::size_t(UIScrollView::kScrollAnimationSteps));
    double previous = -80;
    for (std::size_t i = 0; i < observer->seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(observer->seen[i].dragging);
        EXPECT_TRUE(observer->seen[i].decelerating);
        EXPECT_GT(observer->seen[i].y, previous);  // always toward the edge, never past it
        EXPECT_LE(observer->seen[i].y, 0);
        previous = observer->seen[i].y;
    }
    EXPECT_DOUBLE_EQ(observer->seen.back().y, 0);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(delegate->calls.back(), "didEndDecelerating");
    // Nothing more once at rest.
    ManualClock::advance(1);
    EXPECT_EQ(observer->seen.size(), std::size_t(UIScrollView::kScrollAnimationSteps));
}

TEST_F(ScrollTest, BounceStepsAimAtTheTargetOfTheirMoment) {
    drag(300, 10, 9);  // at -80
    ManualClock::advance(0.05);
    ASSERT_EQ(observer->seen.size(), 11u);  // 8 drag changes + 3 steps
    // A header that starts refreshing keeps 54 points above the content.
    scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    ManualClock::advance(1);
    EXPECT_DOUBLE_EQ(observer->seen.back().y, -54);
    EXPECT_EQ(observer->seen.size(), 8u + UIScrollView::kScrollAnimationSteps);
    for (std::size_t i = 11; i < observer->seen.size(); ++i) EXPECT_LE(observer->seen[i].y, -54);
}

TEST_F(ScrollTest, AnExplicitOffsetStopsTheBounce) {
    drag(300, 10, 9);
    ManualClock::advance(0.05);
    scroll->setContentOffset(CGPointMake(0, -54));
    EXPECT_FALSE(scroll->isDecelerating());
    auto count = observer->seen.size();
    ManualClock::advance(1);
    EXPECT_EQ(observer->seen.size(), count);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, -54);
}

TEST_F(ScrollTest, ReleaseInsideTheRangeRestsWithoutABounce) {
    scroll->setContentOffset(CGPointMake(0, 500));
    observer->seen.clear();
    drag(600, -10, 6);  // content up by 50 after the hysteresis
    EXPECT_EQ(offsets(), (std::vector<double>{510, 520, 530, 540, 550}));
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(delegate->calls.back(), "didEndDragging 0");
    ManualClock::advance(1);
    EXPECT_EQ(observer->seen.size(), 5u);
}

TEST_F(ScrollTest, WhichDragsMoveTheContent) {
    struct Case {
        const char* name;
        CGSize content;
        bool bounces, alwaysBounceVertical;
        double after;  // offset at the release of a 50-point pull down
    };
    const Case cases[] = {
        {"tall content moves past the top", {375, 2000}, true, false, -40},
        {"short content stays", {375, 300}, true, false, 0},
        {"short content with always-bounce moves", {375, 300}, true, true, -40},
        {"no bounces stops at the edge", {375, 2000}, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock::advance(1);
        scroll->setContentOffset(CGPointZero);
        scroll->setContentSize(c.content);
        scroll->setBounces(c.bounces);
        scroll->setAlwaysBounceVertical(c.alwaysBounceVertical);
        auto touch = UITouchInjection::touchDown({200, 300});
        for (int i = 1; i <= 5; ++i) UITouchInjection::touchMove(touch, {200, 300.0 + 10 * i});
        EXPECT_DOUBLE_EQ(scroll->contentOffset().y, c.after);
        UITouchInjection::touchUp(touch, {200, 350});
        ManualClock::advance(1);
        EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    }
}

TEST_F(ScrollTest, PagingComesToRestOnTheNearestPage) {
    scroll->setPagingEnabled(true);
    scroll->setContentSize(CGSizeMake(375, 2400));  // four pages of 600
    drag(650, -10, 36);  // 350 points up: nearer the second page
    ManualClock::advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 600);
    drag(650, -10, 21);  // 200 more: still nearer 600
    ManualClock::advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 600);
}

TEST_F(ScrollTest, AnimatedOffsetChangeTakesEighteenSteps) {
    scroll->setContentOffset(CGPointMake(0, 300), true);
    EXPECT_TRUE(observer->seen.empty());
    ManualClock::advance(1);
    ASSERT_EQ(observer->seen.size(), std::size_t(UIScrollView::kScrollAnimationSteps));
    EXPECT_DOUBLE_EQ(observer->seen.back().y, 300);
    EXPECT_FALSE(observer->seen.front().decelerating);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"didEndScrollingAnimation"}));
    // Not animated: one change at once.
    scroll->setContentOffset(CGPointMake(0, 100), false);
    EXPECT_EQ(observer->seen.back().y, 100);
}

TEST_F(ScrollTest, ScrollRectToVisibleMovesTheLeastDistance) {
    scroll->scrollRectToVisible(CGRectMake(0, 900, 375, 44), false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 944 - 600);
    scroll->scrollRectToVisible(CGRectMake(0, 400, 375, 44), false);  // already shown
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 344);
    scroll->scrollRectToVisible(CGRectMake(0, 100, 375, 44), false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 100);
    scroll->scrollRectToVisible(CGRectMake(0, 1990, 375, 44), false);  // clamped to the end
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 1400);
}

// An inset that shrinks under content at rest brings it back into the range (a refresh header
// giving its room back); under a finger, or while a bounce runs, the offset is left alone.
TEST_F(ScrollTest, ContentAtRestComesBackIntoRangeWhenTheInsetShrinks) {
    scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    scroll->setContentOffset(CGPointMake(0, -54));
    scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    EXPECT_EQ(observer->oldNew.back(), std::make_pair(-54.0, 0.0));

    // The far edge too: a footer's room given back at the end of the content.
    scroll->setContentInset(UIEdgeInsetsMake(0, 0, 44, 0));
    scroll->setContentOffset(CGPointMake(0, 1444));
    scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 1400);

    // Inside the new range nothing moves.
    scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    scroll->setContentOffset(CGPointMake(0, 300));
    scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 300);

    // Under a finger the content stays where the finger holds it.
    scroll->setContentOffset(CGPointMake(0, 0));
    auto touch = UITouchInjection::touchDown({200, 300});
    for (int i = 1; i <= 9; ++i) UITouchInjection::touchMove(touch, {200, 300.0 + 10 * i});
    ASSERT_DOUBLE_EQ(scroll->contentOffset().y, -80);
    scroll->setContentInset(UIEdgeInsetsMake(20, 0, 0, 0));
    scroll->setContentInset(UIEdgeInsetsZero);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, -80);
    UITouchInjection::touchUp(touch, {200, 390});
    ManualClock::advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
}

TEST_F(ScrollTest, ContentSizeAndInsetAreObservable) {
    auto sizes = std::make_shared<OffsetObserver>();
    scroll->addObserver(*sizes, "contentSize", NSKeyValueObservingOptionNew);
    scroll->setContentSize(CGSizeMake(375, 3000));
    scroll->setContentSize(CGSizeMake(375, 3000));  // unchanged: no notice
    EXPECT_EQ(sizes->seen.size(), 1u);
    scroll->removeObserver(*sizes, "contentSize");
    EXPECT_EQ(scroll->valueForKey("contentSize").CGSizeValue(), CGSizeMake(375, 3000));
}

TEST(ScrollInsets, ContentRestingAtTheTopFollowsTheSafeArea) {
    ManualClock::Scope clock;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    double top = window->safeAreaInsets().top;
    ASSERT_GT(top, 0);
    auto scroll = std::make_shared<UIScrollView>(window->bounds());
    scroll->setContentSize(CGSizeMake(375, 3000));
    window->addSubview(scroll);
    // Moving under the status bar: the content starts below it.
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, -top);
    // A content inset change (a refresh header showing) moves nothing by itself.
    scroll->setContentInset(UIEdgeInsetsMake(54, 0, 0, 0));
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, -top);
    EXPECT_DOUBLE_EQ(scroll->adjustedContentInset().top, 54 + top);
    // Content scrolled away stays where it is when the adjustment changes.
    scroll->setContentOffset(CGPointMake(0, 500));
    scroll->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentNever);
    scroll->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 500);
    window->setHidden(true);
}

TEST(ScrollInsets, AdjustedInsetAddsTheSafeAreaOnTheScrollingAxis) {
    ManualClock::Scope clock;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    UIEdgeInsets safe = window->safeAreaInsets();
    ASSERT_GT(safe.top, 0);
    auto scroll = std::make_shared<UIScrollView>(window->bounds());
    window->addSubview(scroll);
    scroll->setContentInset(UIEdgeInsetsMake(10, 0, 5, 0));
    struct Case {
        const char* name;
        UIScrollViewContentInsetAdjustmentBehavior behavior;
        CGSize content;
        UIEdgeInsets expected;
    };
    const Case cases[] = {
        {"automatic", UIScrollViewContentInsetAdjustmentAutomatic, {375, 300},
         UIEdgeInsetsMake(10 + safe.top, 0, 5 + safe.bottom, 0)},
        {"scrollable axes, short content", UIScrollViewContentInsetAdjustmentScrollableAxes, {375, 300},
         UIEdgeInsetsMake(10, 0, 5, 0)},
        {"scrollable axes, tall content", UIScrollViewContentInsetAdjustmentScrollableAxes, {375, 3000},
         UIEdgeInsetsMake(10 + safe.top, 0, 5 + safe.bottom, 0)},
        {"never", UIScrollViewContentInsetAdjustmentNever, {375, 3000}, UIEdgeInsetsMake(10, 0, 5, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scroll->setContentInsetAdjustmentBehavior(c.behavior);
        scroll->setContentSize(c.content);
        EXPECT_EQ(scroll->adjustedContentInset(), c.expected);
        EXPECT_DOUBLE_EQ(scroll->minimumContentOffset().y, -c.expected.top);
    }
    EXPECT_TRUE(scroll->respondsToSelector("adjustedContentInset"));
    // Before 11 there is no adjusted inset.
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{10, 3, 0});
    EXPECT_FALSE(scroll->respondsToSelector("adjustedContentInset"));
    scroll->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentAutomatic);
    EXPECT_EQ(scroll->adjustedContentInset(), UIEdgeInsetsMake(10, 0, 5, 0));
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
    window->setHidden(true);
}

}  // namespace
