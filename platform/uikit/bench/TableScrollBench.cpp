#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/ManualClock.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// A data source like the app's lists: one section, fixed 44-point rows, a
// dequeued cell with its title set.
struct Rows : UITableViewDataSource {
    int64_t count = 0;
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return count; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row", p);
        cell->textLabel()->setText("Row " + std::to_string(p.row));
        return cell;
    }
};

// 1,000 scroll steps of 7 points (each a layout pass that recycles and asks
// cells), back and forth over 3,000 points starting at the table's middle.
// The row count is the argument: the cost of a step must not follow it.
void BM_TableScrollThousandSteps(benchmark::State& state) {
    ManualClock::Scope clock;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    auto rows = std::make_shared<Rows>();
    rows->count = state.range(0);
    auto table = std::make_shared<UITableView>(window->bounds());
    table->registerClass<UITableViewCell>("row");
    table->setDataSource(rows);
    window->addSubview(table);
    table->reloadData();
    double start = std::max(0.0, (rows->count * 44.0 - 3000 - 812) / 2);
    table->setContentOffset(CGPointMake(0, start));
    table->layoutIfNeeded();
    for (auto _ : state) {
        double y = 0, step = 7;
        for (int i = 0; i < 1000; ++i) {
            y += step;
            if (y > 3000 || y < 0) {
                step = -step;
                y += 2 * step;
            }
            table->setContentOffset(CGPointMake(0, start + y));
            table->layoutIfNeeded();
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    window->setHidden(true);
}
BENCHMARK(BM_TableScrollThousandSteps)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
