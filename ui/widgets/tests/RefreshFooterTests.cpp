// Back and automatic footers and the trailer on plain scroll views with
// zero insets: their geometry, thresholds, trigger limits, no-more-data and
// the collection-view layout hook.

#include "WidgetTestSupport.h"

#include <ui_widgets/RFRefreshAutoStateFooter.h>
#include <ui_widgets/RFRefreshBackFooter.h>
#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshSlots.h>
#include <ui_widgets/RFRefreshTrailer.h>

#include <platform_dispatch/RunLoopSpin.h>
#include <platform_runtime/KeyValueObserving.h>
#include <platform_uikit/UICollectionView.h>
#include <platform_uikit/UICollectionViewLayout.h>

#include <thread>

using namespace widgets_test;

namespace {

struct OffsetWrites : NSObject {
    int writes = 0, unchangedWrites = 0;
    void observeValueForKeyPath(const std::string&, NSObject*, const Value& change, void*) override {
        ++writes;
        if (change.objectForKey(Value(NSKeyValueChangeOldKey)) == change.objectForKey(Value(NSKeyValueChangeNewKey)))
            ++unchangedWrites;
    }
};

class FooterTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window->setHidden(true);
        WidgetTest::TearDown();
    }
    template <class S = UIScrollView>
    std::shared_ptr<S> scrollOf(CGSize content, CGRect frame = CGRectMake(0, 100, 375, 600)) {
        auto scroll = std::make_shared<S>(frame);
        scroll->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentNever);
        scroll->setContentSize(content);
        window->addSubview(scroll);
        return scroll;
    }
    // Finger moves of `step` points (negative: content moves up/left) after the pan's 10-point start.
    std::shared_ptr<UITouch> dragBy(double dx, double dy, bool lift, CGPoint from = {200, 600}) {
        auto touch = UITouchInjection::touchDown(from, window.get());
        double sx = dx == 0 ? 0 : (dx > 0 ? 1 : -1), sy = dy == 0 ? 0 : (dy > 0 ? 1 : -1);
        int steps = int(10 + std::max(std::abs(dx), std::abs(dy)));
        for (int i = 1; i <= steps; ++i) UITouchInjection::touchMove(touch, {from.x + sx * i, from.y + sy * i});
        if (lift) UITouchInjection::touchUp(touch, {from.x + sx * steps, from.y + sy * steps});
        return touch;
    }
    std::shared_ptr<UIWindow> window;
    int callbacks = 0;
};

TEST_F(FooterTest, BackFooterGeometry) {
    struct Case {
        double content, y, happen;
    };
    for (Case c : {Case{300, 600, 0}, Case{1000, 1000, 400}}) {
        SCOPED_TRACE(c.content);
        auto scroll = scrollOf(CGSizeMake(375, c.content));
        auto footer = RFRefreshFooter::footerWithRefreshingBlock<RFRefreshBackNormalFooter>([this] { ++callbacks; });
        rf_setFooter(*scroll, footer);
        EXPECT_EQ(footer->frame().origin.y, c.y);
        EXPECT_EQ(footer->happenOffsetY(), c.happen);
        // Exactly at the threshold: still Idle; one point further: Pulling.
        auto touch = dragBy(0, -(c.happen + 44), false);
        EXPECT_EQ(scroll->contentOffset().y, c.happen + 44);
        EXPECT_EQ(footer->state(), RFRefreshStateIdle);
        EXPECT_DOUBLE_EQ(footer->pullingPercent(), 1.0);
        UITouchInjection::touchMove(touch, {200, 600 - 10 - (c.happen + 45)});
        EXPECT_EQ(footer->state(), RFRefreshStatePulling);
        UITouchInjection::touchUp(touch, {200, 600 - 10 - (c.happen + 45)});
        ManualClock::advance(1.0 / 60);
        EXPECT_EQ(footer->state(), RFRefreshStateRefreshing);
        double shortfall = c.content < 600 ? 600 - c.content : 0;
        EXPECT_EQ(rf_insetB(*scroll), 44 + shortfall);
        EXPECT_EQ(footer->lastBottomDelta(), 44 + shortfall);
        EXPECT_EQ(scroll->contentOffset().y, c.happen + 44);
        EXPECT_EQ(callbacks, 0);
        ManualClock::advance(0.25);
        EXPECT_EQ(callbacks, 1);
        footer->endRefreshing();
        ManualClock::advance(0.5);
        EXPECT_EQ(footer->state(), RFRefreshStateIdle);
        EXPECT_EQ(rf_insetB(*scroll), 0);
        callbacks = 0;
        scroll->removeFromSuperview();
    }
}

TEST_F(FooterTest, BackFooterWritesTheOffsetBackOnlyWhenNewRowsCameBelowTheFold) {
    struct Case {
        const char* name;
        int64_t rowsBefore, rowsAfter;
        bool rewrites;
    };
    // 44-point rows: 30 rows (1320) reach beyond 600; 5 rows (220) do not. Writing the
    // offset back is seen as the end of a running bounce.
    const Case cases[] = {{"more rows, tall", 30, 40, true}, {"same rows, tall", 30, 30, false},
                          {"more rows, short", 5, 8, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rows = std::make_shared<Rows>(c.rowsBefore);
        auto table = scrollOf<UITableView>(CGSizeZero);
        table->setDataSource(rows);
        table->reloadData();
        table->layoutIfNeeded();
        auto footer = RFRefreshFooter::footerWithRefreshingBlock<RFRefreshBackStateFooter>(nullptr);
        rf_setFooter(*table, footer);
        footer->beginRefreshing();
        ManualClock::advance(0.3);
        EXPECT_EQ(footer->lastRefreshCount(), c.rowsBefore);
        dragBy(0, -30, true);  // beyond the end: a bounce follows
        EXPECT_TRUE(table->isDecelerating());
        rows->count = c.rowsAfter;
        table->reloadData();
        footer->endRefreshing();
        ManualClock::advance(0);
        EXPECT_EQ(table->isDecelerating(), !c.rewrites);
        ManualClock::advance(1);
        table->removeFromSuperview();
    }
}

TEST_F(FooterTest, BackFooterInNoMoreDataStartsNothing) {
    auto scroll = scrollOf(CGSizeMake(375, 1000));
    auto footer = RFRefreshFooter::footerWithRefreshingBlock<RFRefreshBackNormalFooter>([this] { ++callbacks; });
    rf_setFooter(*scroll, footer);
    footer->endRefreshingWithNoMoreData();
    ManualClock::advance(0);
    EXPECT_EQ(footer->state(), RFRefreshStateNoMoreData);
    EXPECT_EQ(footer->stateLabel()->text(), "No more data");
    EXPECT_TRUE(footer->arrowView()->isHidden());
    dragBy(0, -500, true);
    EXPECT_GT(footer->pullingPercent(), 1.0);
    ManualClock::advance(1);
    EXPECT_EQ(footer->state(), RFRefreshStateNoMoreData);
    EXPECT_EQ(callbacks, 0);
    std::thread([f = footer] { f->resetNoMoreData(); }).join();
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return footer->state() == RFRefreshStateIdle; }, 10));
}

class AutoFooterTest : public FooterTest {
protected:
    void attach(double content) {
        scroll = scrollOf(CGSizeMake(375, content));
        footer = RFRefreshFooter::footerWithRefreshingBlock<RFRefreshAutoNormalFooter>([this] { ++callbacks; });
        rf_setFooter(*scroll, footer);
    }
    std::shared_ptr<UIScrollView> scroll;
    std::shared_ptr<RFRefreshAutoNormalFooter> footer;
};

TEST_F(AutoFooterTest, SitsBelowTheContentInsideTheBottomInset) {
    attach(1000);
    EXPECT_EQ(footer->frame().origin.y, 1000);
    EXPECT_EQ(rf_insetB(*scroll), 44);
    scroll->setContentSize(CGSizeMake(375, 1500));
    EXPECT_EQ(footer->frame().origin.y, 1500);
    // Hiding a visible footer gives back its 44 points and returns it to Idle; again changes nothing.
    footer->beginRefreshing();
    EXPECT_EQ(footer->state(), RFRefreshStateRefreshing);
    footer->setHidden(true);
    EXPECT_EQ(footer->state(), RFRefreshStateIdle);
    EXPECT_EQ(rf_insetB(*scroll), 0);
    footer->setHidden(true);
    EXPECT_EQ(rf_insetB(*scroll), 0);
    footer->setHidden(false);
    EXPECT_EQ(rf_insetB(*scroll), 44);
    rf_setFooter(*scroll, nullptr);
    EXPECT_EQ(rf_insetB(*scroll), 0);
}

TEST_F(AutoFooterTest, OneRefreshPerDragUnlessUnlimited) {
    struct Case { int64_t times; int expected; };
    for (Case c : {Case{1, 1}, Case{-1, 2}}) {
        SCOPED_TRACE(c.times);
        attach(1000);
        footer->setAutoTriggerTimes(c.times);
        // One long drag up: the trigger offset is 1000 - 600 + 44 = 444.
        auto touch = dragBy(0, -450, false);
        EXPECT_EQ(footer->state(), RFRefreshStateRefreshing);
        EXPECT_TRUE(footer->triggerByDrag());
        EXPECT_EQ(callbacks, 1);
        footer->endRefreshing();
        ManualClock::advance(0);
        EXPECT_EQ(footer->state(), RFRefreshStateIdle);
        // Further up in the same gesture.
        UITouchInjection::touchMove(touch, {200, 600 - 10 - 450 - 5});
        EXPECT_EQ(callbacks, c.expected);
        UITouchInjection::touchUp(touch, {200, 600 - 10 - 450 - 5});
        footer->endRefreshing();
        ManualClock::advance(1);
        callbacks = 0;
        scroll->removeFromSuperview();
    }
}

TEST_F(AutoFooterTest, NextGestureMayTriggerAgainAndScrollingBackUpDoesNot) {
    attach(1000);
    dragBy(0, -450, true);
    EXPECT_EQ(callbacks, 1);
    footer->endRefreshing();
    ManualClock::advance(1);
    // Scrolling back up (offset decreasing) through the trigger zone starts nothing.
    footer->setAutomaticallyRefresh(false);
    scroll->setContentOffset(CGPointMake(0, 600));
    footer->setAutomaticallyRefresh(true);
    scroll->setContentOffset(CGPointMake(0, 500));
    scroll->setContentOffset(CGPointMake(0, 460));
    EXPECT_EQ(callbacks, 1);
    scroll->setContentOffset(CGPointMake(0, 300));
    // A new gesture has a new allowance.
    dragBy(0, -200, true);
    EXPECT_EQ(callbacks, 2);
}

TEST_F(AutoFooterTest, ShortContentTriggersOnlyAtTheEndOfADrag) {
    attach(200);
    scroll->setContentOffset(CGPointMake(0, 30));
    scroll->setContentOffset(CGPointMake(0, 0));
    EXPECT_EQ(callbacks, 0);
    dragBy(0, -20, true);
    EXPECT_EQ(callbacks, 1);
}

TEST_F(AutoFooterTest, NoMoreDataFromAnotherThreadThenReset) {
    attach(1000);
    std::thread([f = footer] { f->endRefreshingWithNoMoreData(); }).join();
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return footer->state() == RFRefreshStateNoMoreData; }, 10));
    EXPECT_EQ(footer->stateLabel()->text(), "No more data");
    dragBy(0, -450, true);
    footer->stateLabelClick();
    EXPECT_EQ(callbacks, 0);
    footer->resetNoMoreData();
    ManualClock::advance(0);
    EXPECT_EQ(footer->state(), RFRefreshStateIdle);
    footer->stateLabelClick();
    EXPECT_EQ(callbacks, 1);
    footer->setRefreshingTitleHidden(true);
    EXPECT_EQ(footer->stateLabel()->text(), "Loading more ...");
    footer->endRefreshing();
    ManualClock::advance(0);
    footer->beginRefreshing();
    EXPECT_EQ(footer->stateLabel()->text(), "");
}

TEST_F(AutoFooterTest, PagingScrollsBackByTheBottomInset) {
    attach(1200);
    scroll->setPagingEnabled(true);
    std::vector<std::string> log;
    footer->setEndRefreshingAnimationBeginAction([&] { log.push_back("begin"); });
    footer->setEndRefreshingCompletionBlock([&] { log.push_back("done"); });
    scroll->setContentOffset(CGPointMake(0, 600));
    footer->beginRefreshing();
    footer->endRefreshing();
    ManualClock::advance(0);
    EXPECT_EQ(scroll->contentOffset().y, 600 - 44);
    EXPECT_EQ(log, (std::vector<std::string>{"begin"}));
    ManualClock::advance(0.41);
    EXPECT_EQ(log, (std::vector<std::string>{"begin", "done"}));
}

TEST_F(AutoFooterTest, CollectionLayoutUpdateMovesTheFooterWithinTheUpdate) {
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->setItemSize(CGSizeMake(375, 100));
    auto view = std::make_shared<UICollectionView>(CGRectMake(0, 100, 375, 600), layout);
    view->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentNever);
    struct Items : UICollectionViewDataSource {
        int64_t count = 3;
        int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t) override { return count; }
        UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView& v, NSIndexPath p) override {
            return v.dequeueReusableCellWithReuseIdentifier("c", p);
        }
    };
    auto items = std::make_shared<Items>();
    view->registerClass<UICollectionViewCell>("c");
    view->setDataSource(items);
    window->addSubview(view);
    view->layoutIfNeeded();
    struct SizeLog : RFRefreshAutoStateFooter {
        std::vector<std::pair<double, double>> calls;  // view's height then, new height
        void scrollViewContentSizeDidChange(const Value& change) override {
            if (auto s = scrollView())
                calls.emplace_back(s->contentSize().height,
                                   change.objectForKey(Value(NSKeyValueChangeNewKey)).CGSizeValue().height);
            RFRefreshAutoStateFooter::scrollViewContentSizeDidChange(change);
        }
    };
    auto footer = RFRefreshFooter::footerWithRefreshingBlock<SizeLog>(nullptr);
    rf_setFooter(*view, footer);
    // Three 100-point lines with 10 between.
    EXPECT_EQ(footer->frame().origin.y, 320);
    EXPECT_EQ(rf_totalDataCount(*view), 3);
    view->performBatchUpdates([&] {
        items->count = 5;
        view->insertItemsAtIndexPaths({{0, 3}, {0, 4}});
    });
    EXPECT_EQ(footer->frame().origin.y, 540);
    EXPECT_EQ(rf_totalDataCount(*view), 5);
    // The hook told the footer while the view still had the old size, before the view's own change.
    ASSERT_FALSE(footer->calls.empty());
    EXPECT_EQ(footer->calls.front(), (std::pair<double, double>{320, 540}));
}

// --- trailer ---

TEST_F(FooterTest, TrailerGeometry) {
    struct Case {
        double content, x, happen, delta;
    };
    for (Case c : {Case{1000, 1000, 625, 60}, Case{200, 375, 0, 60 + 175}}) {
        SCOPED_TRACE(c.content);
        auto scroll = scrollOf(CGSizeZero, CGRectMake(0, 100, 375, 300));
        scroll->setAlwaysBounceVertical(true);
        auto trailer = RFRefreshTrailer::trailerWithRefreshingBlock<RFRefreshNormalTrailer>([this] { ++callbacks; });
        rf_setTrailer(*scroll, trailer);
        EXPECT_FALSE(scroll->alwaysBounceVertical());
        EXPECT_TRUE(scroll->alwaysBounceHorizontal());
        scroll->setContentSize(CGSizeMake(c.content, 300));
        ManualClock::advance(0);
        EXPECT_EQ(trailer->frame().origin.x, c.x);
        EXPECT_EQ(trailer->frame().size, CGSizeMake(60, 300));
        EXPECT_EQ(trailer->happenOffsetX(), c.happen);
        auto touch = dragBy(-(c.happen + 60), 0, false, {300, 250});
        EXPECT_EQ(scroll->contentOffset().x, c.happen + 60);
        EXPECT_EQ(trailer->state(), RFRefreshStateIdle);
        UITouchInjection::touchMove(touch, {300 - 10 - (c.happen + 61), 250});
        EXPECT_EQ(trailer->state(), RFRefreshStatePulling);
        EXPECT_EQ(trailer->stateLabel()->text(), "Release to see more");
        UITouchInjection::touchUp(touch, {300 - 10 - (c.happen + 61), 250});
        ManualClock::advance(1.0 / 60);
        EXPECT_EQ(trailer->state(), RFRefreshStateRefreshing);
        EXPECT_EQ(trailer->stateLabel()->text(), "Release to see more");
        EXPECT_EQ(rf_insetR(*scroll), c.delta);
        EXPECT_EQ(scroll->contentOffset().x, c.happen + 60);
        ManualClock::advance(0.25);
        EXPECT_EQ(callbacks, 1);
        trailer->endRefreshing();
        ManualClock::advance(0.5);
        EXPECT_EQ(rf_insetR(*scroll), 0);
        callbacks = 0;
        scroll->removeFromSuperview();
    }
}

}  // namespace
