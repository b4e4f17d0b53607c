// Costs of the widgets against bare platform work measured in the same run:
// a drag over a 1,000-row table with and without the refresh header, and
// overlay show/dismiss cycles against a bare view's alpha animation.

#include <ui_widgets/OVProgressHUD.h>
#include <ui_widgets/RFRefreshNormalHeader.h>
#include <ui_widgets/RFRefreshSlots.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UITableViewCell.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

struct Rows : UITableViewDataSource {
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 1000; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row", p);
        cell->textLabel()->setText("Row " + std::to_string(p.row));
        return cell;
    }
};

// One 200-step drag (1 point a step, content moving up) over the table and
// the bounce that follows; the argument says whether the header is attached.
void BM_DragOverThousandRows(benchmark::State& state) {
    ManualClock::Scope clock;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(window->bounds());
    table->registerClass<UITableViewCell>("row");
    table->setDataSource(rows);
    window->addSubview(table);
    table->reloadData();
    table->layoutIfNeeded();
    if (state.range(0)) rf_setHeader(*table, RFRefreshHeader::headerWithRefreshingBlock<RFRefreshNormalHeader>(nullptr));
    ManualClock::advance(0);
    for (auto _ : state) {
        auto touch = UITouchInjection::touchDown({200, 600}, window.get());
        for (int i = 1; i <= 200; ++i) UITouchInjection::touchMove(touch, {200, 600.0 - i});
        UITouchInjection::touchUp(touch, {200, 400});
        ManualClock::advance(0.4);
        table->setContentOffset(CGPointMake(0, table->minimumContentOffset().y));
        ManualClock::advance(0);
    }
    window->setHidden(true);
}
BENCHMARK(BM_DragOverThousandRows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

struct Delegate : UIApplicationDelegate {
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIWindow> window() const override { return window_; }
};

// 1,000 overlay show / dismiss cycles, each run to its end on the manual clock.
void BM_OverlayShowDismissThousand(benchmark::State& state) {
    ManualClock::Scope clock;
    auto delegate = std::make_shared<Delegate>();
    delegate->window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    UIApplication::sharedApplication()->setDelegate(delegate);
    delegate->window_->makeKeyAndVisible();
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            OVProgressHUD::show();
            ManualClock::advance(0.2);
            OVProgressHUD::dismiss();
            ManualClock::advance(0.2);
        }
    }
    delegate->window_->setHidden(true);
}
BENCHMARK(BM_OverlayShowDismissThousand)->Unit(benchmark::kMillisecond);

// The anchor: a bare view's alpha animated in and out 1,000 times on the same clock.
void BM_BareAlphaInOutThousand(benchmark::State& state) {
    ManualClock::Scope clock;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    auto view = std::make_shared<UIView>(CGRectMake(100, 300, 175, 100));
    window->addSubview(view);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            UIView::animateWithDuration(0.15, [&] { view->setAlpha(1); });
            ManualClock::advance(0.2);
            UIView::animateWithDuration(0.15, [&] { view->setAlpha(0); });
            ManualClock::advance(0.2);
        }
    }
    window->setHidden(true);
}
BENCHMARK(BM_BareAlphaInOutThousand)->Unit(benchmark::kMillisecond);

}  // namespace
