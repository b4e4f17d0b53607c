// The refresh header on a table under a navigation bar in a tab: pull
// thresholds, release, the refresh callback, ending from anywhere, off-window
// refreshes, alpha, hidden controls, the layer variant, and the texts.

#include "WidgetTestSupport.h"

#include <ui_widgets/RFRefreshConfig.h>
#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshGifHeader.h>
#include <ui_widgets/RFRefreshNormalHeader.h>
#include <ui_widgets/RFRefreshSlots.h>

#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSCalendar.h>
#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_uikit/CGContext.h>
#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIDevice.h>

#include <thread>

using namespace widgets_test;

namespace {

// A screen controller with a runtime action, as the app's lists have.
class ListScreen : public NSObject {
    NS_CLASS(ListScreen, NSObject)
public:
    int refreshes = 0;
    std::vector<std::string>* log = nullptr;
};

NS_CLASS_LOAD(ListScreen) {
    cls.addInstanceOperation("refreshData", [](NSObject& self, const Value::Array&) {
        auto& screen = static_cast<ListScreen&>(self);
        ++screen.refreshes;
        if (screen.log) screen.log->push_back("refreshData");
        return Value();
    });
}

// Records every state the header takes and how far the pull was.
class LoggingHeader : public RFRefreshNormalHeader {
public:
    std::vector<int64_t> states;
    int contentSizeCalls = 0, offsetCalls = 0;
    void setState(RFRefreshState state) override {
        if (state != this->state()) states.push_back(state);
        RFRefreshNormalHeader::setState(state);
    }
    void scrollViewContentSizeDidChange(const Value& change) override {
        ++contentSizeCalls;
        RFRefreshNormalHeader::scrollViewContentSizeDidChange(change);
    }
    void scrollViewContentOffsetDidChange(const Value& change) override {
        ++offsetCalls;
        RFRefreshNormalHeader::scrollViewContentOffsetDidChange(change);
    }
};

class HeaderTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        screen = std::make_unique<TableScreen>(30);
        target = std::make_shared<ListScreen>();
        target->log = &log;
        header = RFRefreshHeader::headerWithRefreshingTarget<LoggingHeader>(target, "refreshData");
        header->setRefreshingBlock([this] { log.push_back("block"); });
        rf_setHeader(*screen->table, header);
        ManualClock::advance(0);  // one turn: layout
        top = rf_insetT(*screen->table);
    }
    void TearDown() override {
        screen.reset();
        WidgetTest::TearDown();
    }
    UITableView& table() { return *screen->table; }
    // Drags down from rest by `pull` points of offset (the pan's 10-point start comes first).
    std::shared_ptr<UITouch> pullBy(double pull, bool lift) { return screen->drag(300, 1, int(10 + pull), lift); }

    std::unique_ptr<TableScreen> screen;
    std::shared_ptr<ListScreen> target;
    std::shared_ptr<LoggingHeader> header;
    std::vector<std::string> log;
    double top = 0;
};

TEST_F(HeaderTest, RestsAboveTheContentUnderTheBars) {
    const bool adjusted = UIKitIsAvailable(11);
    EXPECT_EQ(rf_scrollViewHasAdjustedInset(), adjusted);
    // The effective inset is the adjusted one from 11 on (bars and safe area), the raw one before,
    // where the controller puts the status and navigation bars' heights into it.
    EXPECT_EQ(top, adjusted ? table().adjustedContentInset().top : table().contentInset().top);
    if (!adjusted) {
        EXPECT_EQ(top, 88);
    }
    EXPECT_EQ(table().contentOffset().y, -top);
    EXPECT_EQ(header->frame(), CGRectMake(0, -54, 375, 54));
    EXPECT_EQ(header->scrollViewOriginalInset().top, top);
    EXPECT_TRUE(table().alwaysBounceVertical());
    EXPECT_EQ(table().subviews().front(), header);
    EXPECT_EQ(header->stateLabel()->text(), "Pull down to refresh");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "Last updated: Never");
    // Assigning the same header changes nothing; nil removes it.
    rf_setHeader(table(), header);
    EXPECT_EQ(header->superview().get(), &table());
    rf_setHeader(table(), nullptr);
    EXPECT_EQ(header->superview(), nullptr);
    EXPECT_EQ(rf_header(table()), nullptr);
}

TEST_F(HeaderTest, PullThresholdsAreStrict) {
    struct Case {
        double pull;
        int64_t state;
        double percent;
    };
    // The threshold is one header height (54) above the resting offset.
    const Case cases[] = {{27, RFRefreshStateIdle, 0.5}, {54, RFRefreshStateIdle, 1.0}, {55, RFRefreshStatePulling, 55.0 / 54}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pull);
        auto touch = pullBy(c.pull, false);
        EXPECT_EQ(table().contentOffset().y, -top - c.pull);
        EXPECT_EQ(header->state(), c.state);
        EXPECT_DOUBLE_EQ(header->pullingPercent(), c.percent);
        UITouchInjection::touchCancel(touch);  // a cancelled pull while Pulling refreshes
        header->endRefreshing();
        ManualClock::advance(1);
        header->states.clear();
    }
    // Dragging back to exactly the threshold leaves Pulling.
    auto touch = pullBy(60, false);
    EXPECT_EQ(header->state(), RFRefreshStatePulling);
    UITouchInjection::touchMove(touch, {200, 300 + 10 + 54});
    EXPECT_EQ(table().contentOffset().y, -top - 54);
    EXPECT_EQ(header->state(), RFRefreshStateIdle);
    EXPECT_EQ(header->states, (std::vector<int64_t>{RFRefreshStatePulling, RFRefreshStateIdle}));
    UITouchInjection::touchCancel(touch);
}

TEST_F(HeaderTest, ReleaseWhilePullingRefreshesOnceAndEndingReturnsToRest) {
    pullBy(70, true);
    EXPECT_EQ(header->state(), RFRefreshStatePulling);
    ManualClock::advance(1.0 / 60);  // the first bounce step reaches the header
    EXPECT_EQ(header->state(), RFRefreshStateRefreshing);
    EXPECT_EQ(rf_insetT(table()), top + 54);
    EXPECT_EQ(table().contentOffset().y, -(top + 54));
    EXPECT_DOUBLE_EQ(header->pullingPercent(), 1.0);
    EXPECT_TRUE(log.empty());  // the callback waits for the 0.25 s animation
    ManualClock::advance(0.25);
    EXPECT_EQ(log, (std::vector<std::string>{"block", "refreshData"}));
    EXPECT_EQ(header->loadingView()->isAnimating(), true);
    EXPECT_TRUE(header->arrowView()->isHidden());

    // Scrolling during the refresh keeps the header in view.
    ManualClock::advance(1);
    header->endRefreshing();
    EXPECT_EQ(header->state(), RFRefreshStateRefreshing);  // queued onto the main queue
    ManualClock::advance(0);
    EXPECT_EQ(header->state(), RFRefreshStateIdle);
    ManualClock::advance(0.41);
    EXPECT_EQ(rf_insetT(table()), top);
    EXPECT_DOUBLE_EQ(header->pullingPercent(), 0.0);
    EXPECT_EQ(header->states,
              (std::vector<int64_t>{RFRefreshStatePulling, RFRefreshStateRefreshing, RFRefreshStateIdle}));
    EXPECT_EQ(target->refreshes, 1);
    EXPECT_TRUE(header->lastUpdatedTime().has_value());
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text().rfind("Last updated: Today", 0), 0u);
}

TEST_F(HeaderTest, ReleaseWhileIdleOnlyFollowsThePull) {
    pullBy(40, true);
    EXPECT_EQ(header->state(), RFRefreshStateIdle);
    ManualClock::advance(1);
    EXPECT_EQ(header->state(), RFRefreshStateIdle);
    EXPECT_EQ(table().contentOffset().y, -top);
    EXPECT_DOUBLE_EQ(header->pullingPercent(), 0.0);  // the bounce brought it back to rest
    EXPECT_TRUE(log.empty());
}

TEST_F(HeaderTest, EndingBeforeTheStartAnimationStillCallsBackOnce) {
    header->beginRefreshing();
    EXPECT_EQ(header->state(), RFRefreshStateRefreshing);
    header->endRefreshing();
    ManualClock::advance(0.1);
    EXPECT_EQ(header->state(), RFRefreshStateIdle);
    ManualClock::advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"block", "refreshData"}));
    EXPECT_EQ(rf_insetT(table()), top);
}

TEST_F(HeaderTest, EndRefreshingFromABackgroundQueue) {
    header->beginRefreshing();
    ManualClock::advance(0.3);
    std::thread([h = header] { h->endRefreshing(); }).join();
    EXPECT_EQ(header->state(), RFRefreshStateRefreshing);
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return header->state() == RFRefreshStateIdle; }, 10));
}

TEST_F(HeaderTest, OffWindowRequestWaitsForTheFirstDraw) {
    auto loose = std::make_shared<UIScrollView>(CGRectMake(0, 0, 375, 600));
    loose->setContentSize(CGSizeMake(375, 1000));
    auto offWindow = RFRefreshHeader::headerWithRefreshingBlock<LoggingHeader>([this] { log.push_back("loose"); });
    rf_setHeader(*loose, offWindow);
    offWindow->beginRefreshing();
    EXPECT_EQ(offWindow->state(), RFRefreshStateWillRefresh);
    EXPECT_TRUE(offWindow->isRefreshing());
    offWindow->beginRefreshing();
    EXPECT_EQ(offWindow->state(), RFRefreshStateWillRefresh);
    ManualClock::advance(0.5);
    EXPECT_EQ(offWindow->state(), RFRefreshStateWillRefresh);
    screen->controller->view()->addSubview(loose);
    ManualClock::advance(0);  // the display pass at the end of the turn
    EXPECT_EQ(offWindow->state(), RFRefreshStateRefreshing);
    ManualClock::advance(0.3);
    EXPECT_EQ(log, (std::vector<std::string>{"loose"}));

    // Refreshing and off-window: a second request keeps Refreshing.
    loose->removeFromSuperview();
    offWindow->beginRefreshing();
    EXPECT_EQ(offWindow->state(), RFRefreshStateRefreshing);
}

TEST_F(HeaderTest, AlphaFollowsThePullUnlessRefreshing) {
    header->setAutomaticallyChangeAlpha(true);
    EXPECT_DOUBLE_EQ(header->alpha(), 0.0);
    auto touch = pullBy(27, false);
    EXPECT_DOUBLE_EQ(header->alpha(), 0.5);
    UITouchInjection::touchCancel(touch);
    ManualClock::advance(1);
    header->beginRefreshing();
    ManualClock::advance(0.3);
    double during = header->alpha();
    header->setPullingPercent(0.2);
    EXPECT_EQ(header->alpha(), during);
    header->setAutomaticallyChangeAlpha(false);
    EXPECT_EQ(header->alpha(), during);
}

TEST_F(HeaderTest, HiddenControlHearsContentSizeButNotOffsets) {
    header->setHidden(true);
    int sizes = header->contentSizeCalls, offsets = header->offsetCalls;
    table().setContentSize(CGSizeMake(375, 5000));
    table().setContentOffset(CGPointMake(0, 100));
    EXPECT_EQ(header->contentSizeCalls, sizes + 1);
    EXPECT_EQ(header->offsetCalls, offsets);
    header->setHidden(false);
    table().setContentOffset(CGPointMake(0, 0));
    EXPECT_EQ(header->offsetCalls, offsets + 1);
}

TEST_F(HeaderTest, LayerVariantAnimatesBoundsUnderItsKeys) {
    header->setIsCollectionViewAnimationBug(true);
    header->setAutomaticallyChangeAlpha(true);
    header->setEndRefreshingCompletionBlock([this] { log.push_back("ended"); });
    header->beginRefreshing();
    auto keys = table().layer()->animationKeys();
    EXPECT_EQ(keys, (std::vector<std::string>{RFRefreshHeader::kRefreshingBoundsKey}));
    EXPECT_FALSE(table().isUserInteractionEnabled());
    EXPECT_TRUE(log.empty());
    ManualClock::advance(0.26);
    EXPECT_EQ(log, (std::vector<std::string>{"block", "refreshData"}));
    EXPECT_TRUE(table().isUserInteractionEnabled());
    EXPECT_EQ(rf_insetT(table()), top + 54);
    EXPECT_EQ(table().contentOffset().y, -(top + 54));
    EXPECT_TRUE(table().layer()->animationKeys().empty());

    header->endRefreshing();
    ManualClock::advance(0);
    EXPECT_EQ(table().layer()->animationKeys(), (std::vector<std::string>{RFRefreshHeader::kRefreshing2IdleBoundsKey}));
    EXPECT_EQ(header->layer()->animationKeys(),
              (std::vector<std::string>{RFRefreshHeader::kRefreshing2IdleOpacityKey}));
    EXPECT_EQ(rf_insetT(table()), top);
    EXPECT_DOUBLE_EQ(header->alpha(), 0.0);
    ManualClock::advance(0.41);
    EXPECT_EQ(log.back(), "ended");
    EXPECT_TRUE(table().isUserInteractionEnabled());
    EXPECT_TRUE(table().layer()->animationKeys().empty());
}

TEST_F(HeaderTest, LayerVariantEndedBeforeTheAnimationStillCallsBack) {
    header->setIsCollectionViewAnimationBug(true);
    header->beginRefreshing();
    header->endRefreshing();
    ManualClock::advance(0);
    EXPECT_EQ(header->state(), RFRefreshStateIdle);
    ManualClock::advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"block", "refreshData"}));
    EXPECT_EQ(rf_insetT(table()), top);
}

TEST_F(HeaderTest, TargetWithoutTheActionIsSkipped) {
    header->setRefreshingTarget(target, "noSuchAction");
    header->beginRefreshing();
    ManualClock::advance(0.3);
    EXPECT_EQ(log, (std::vector<std::string>{"block"}));
    EXPECT_EQ(target->refreshes, 0);
}

TEST_F(HeaderTest, NotAttachedToAViewThatIsNotAScrollView) {
    auto plain = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto loose = RFRefreshHeader::headerWithRefreshingBlock<RFRefreshNormalHeader>(nullptr);
    plain->addSubview(loose);
    EXPECT_EQ(loose->scrollView(), nullptr);
    EXPECT_EQ(loose->pan(), nullptr);
}

// --- last-updated texts, with a fixed clock in UTC ---

class HeaderTextTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        NSDate::setClockForTesting([] { return at(2026, 12, 10, 21, 5); });
        header = RFRefreshHeader::headerWithRefreshingBlock<RFRefreshNormalHeader>(nullptr);
    }
    void TearDown() override {
        NSDate::resetClockForTesting();
        WidgetTest::TearDown();
    }
    static double at(int y, int mo, int d, int h, int mi) {
        NSDateComponents c;
        c.setYear(y); c.setMonth(mo); c.setDay(d); c.setHour(h); c.setMinute(mi);
        auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
        calendar->setTimeZone(NSTimeZone::timeZoneWithName("UTC"));
        return calendar->dateFromComponents(c)->timeIntervalSinceReferenceDate();
    }
    std::shared_ptr<RFRefreshNormalHeader> header;
};

TEST_F(HeaderTextTest, LastUpdatedTexts) {
    struct Case {
        const char* name;
        std::optional<double> stored;
        const char* text;
    };
    const Case cases[] = {
        {"today at ten past ten", at(2026, 12, 10, 10, 10), "Last updated: Today 10:10"},
        {"same day of another month", at(2026, 11, 10, 10, 10), "Last updated: 11-10 10:10"},
        {"same day of another year", at(2025, 12, 10, 9, 5), "Last updated: 2025-12-10 09:05"},
        {"earlier this year", at(2026, 3, 2, 23, 59), "Last updated: 03-02 23:59"},
        {"nothing stored", std::nullopt, "Last updated: Never"},
    };
    auto defaults = NSUserDefaults::standardUserDefaults();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored)
            defaults->setObject(Value(NSDate(*c.stored)), RFRefreshHeaderLastUpdatedTimeKey);
        else
            defaults->removeObjectForKey(RFRefreshHeaderLastUpdatedTimeKey);
        header->setLastUpdatedTimeKey(RFRefreshHeaderLastUpdatedTimeKey);
        EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), c.text);
    }
}

TEST_F(HeaderTextTest, CustomClosureReplacesTheWholeText) {
    std::vector<bool> seen;
    header->setLastUpdatedTimeText([&](const std::optional<NSDate>& date) -> std::optional<std::string> {
        seen.push_back(date.has_value());
        return date ? "custom" : "custom none";
    });
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "custom none");
    NSUserDefaults::standardUserDefaults()->setObject(Value(NSDate::date()), RFRefreshHeaderLastUpdatedTimeKey);
    header->setLastUpdatedTimeKey(RFRefreshHeaderLastUpdatedTimeKey);
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "custom");
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

TEST_F(HeaderTextTest, HiddenTimeLabelStopsUpdatesAndLeavesTheStateLabelTheWholeHeader) {
    header->lastUpdatedTimeLabel()->setHidden(true);
    header->lastUpdatedTimeLabel()->setText("stale");
    NSUserDefaults::standardUserDefaults()->setObject(Value(NSDate::date()), RFRefreshHeaderLastUpdatedTimeKey);
    header->setLastUpdatedTimeKey(RFRefreshHeaderLastUpdatedTimeKey);
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "stale");
    header->setFrame(CGRectMake(0, -54, 375, 54));
    header->layoutIfNeeded();
    header->placeSubviews();
    EXPECT_EQ(header->stateLabel()->frame(), CGRectMake(0, 0, 375, 54));
}

TEST_F(HeaderTextTest, LanguageChangeKeepsACustomKey) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value(NSDate(at(2025, 1, 2, 3, 4))), "MyListKey");
    defaults->setObject(Value(NSDate(at(2026, 12, 10, 8, 0))), RFRefreshHeaderLastUpdatedTimeKey);
    auto scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, 375, 600));
    rf_setHeader(*scroll, header);  // attached controls hear language changes
    header->setLastUpdatedTimeKey("MyListKey");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "Last updated: 2025-01-02 03:04");
    RFRefreshConfig::defaultConfig()->setLanguageCode("zh-Hans");
    EXPECT_EQ(header->lastUpdatedTimeKey(), "MyListKey");
    EXPECT_EQ(header->stateLabel()->text(), "下拉刷新");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "上次更新：2025-01-02 03:04");
    RFRefreshConfig::defaultConfig()->setLanguageCode("en");
    EXPECT_EQ(header->stateLabel()->text(), "Pull down to refresh");
}

TEST_F(HeaderTextTest, GifFramesFollowThePull) {
    auto gif = RFRefreshHeader::headerWithRefreshingBlock<RFRefreshGifHeader>(nullptr);
    std::vector<UIImagePtr> images;
    for (int i = 0; i < 10; ++i) {
        CGContext context(CGSizeMake(20, 20), 1);
        images.push_back(UIImage::imageWithCGImage(context.makeImage(), 1, UIImageOrientationUp));
    }
    gif->setImages(images, RFRefreshStateIdle);
    struct Case { double percent; std::size_t index; };
    for (Case c : {Case{0.55, 5}, Case{1.2, 9}, Case{0, 0}, Case{-0.3, 0}}) {
        SCOPED_TRACE(c.percent);
        gif->setPullingPercent(c.percent);
        EXPECT_EQ(gif->gifView()->image(), images[c.index]);
    }
    EXPECT_EQ(gif->frame().size.height, 54);
    CGContext tall(CGSizeMake(60, 60), 1);
    gif->setImages({UIImage::imageWithCGImage(tall.makeImage(), 1, UIImageOrientationUp)}, RFRefreshStatePulling);
    EXPECT_EQ(gif->frame().size.height, 60);
    gif->setImages({}, RFRefreshStateRefreshing);  // nothing
    EXPECT_EQ(gif->frame().size.height, 60);
}

}  // namespace

namespace {

TEST_F(HeaderTextTest, LabelsWithTheirOwnConstraintsKeepTheirFrames) {
    header->setFrame(CGRectMake(0, -54, 375, 54));
    auto label = header->stateLabel();
    label->setFrame(CGRectMake(5, 6, 70, 20));
    label->addConstraint(NSLayoutConstraint::constraintWithItem(label, NSLayoutAttributeWidth, NSLayoutRelationEqual,
                                                                nullptr, NSLayoutAttributeNotAnAttribute, 1, 70));
    header->placeSubviews();
    EXPECT_EQ(label->frame(), CGRectMake(5, 6, 70, 20));
    EXPECT_EQ(header->lastUpdatedTimeLabel()->frame(), CGRectMake(0, 27, 375, 27));  // no constraints: laid out
}

}  // namespace
