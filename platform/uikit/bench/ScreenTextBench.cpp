#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreenText.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/ManualClock.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct ThousandRows : UITableViewDataSource {
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 1000; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row", p);
        cell->textLabel()->setText("Row " + std::to_string(p.row));
        return cell;
    }
};

// A shown window filled by a 1,000-row table, laid out and displayed once.
struct TableScreen {
    ManualClock::Scope clock;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    std::shared_ptr<ThousandRows> rows = std::make_shared<ThousandRows>();
    std::shared_ptr<UITableView> table = std::make_shared<UITableView>(CGRectMake(0, 0, 375, 812));
    TableScreen() {
        window->makeKeyAndVisible();
        table->registerClass<UITableViewCell>("row");
        table->setDataSource(rows);
        window->addSubview(table);
        table->reloadData();
        (void)UIScreenTextCapture();
    }
    ~TableScreen() { window->setHidden(true); }
};

// The anchor: only collecting the strings of the labels on screen (shown, not transparent,
// inside the window).
void collectLabels(const UIView& view, const UIWindow& window, std::vector<std::string>& out) {
    if (view.isHidden() || view.alpha() <= 0.01) return;
    if (auto* label = dynamic_cast<const UILabel*>(&view);
        label && label->hasText() && CGRectIntersectsRect(label->convertRectToView(label->bounds(), nullptr), window.bounds()))
        out.push_back(label->text());
    for (const auto& sub : view.subviews()) collectLabels(*sub, window, out);
}

void BM_CollectVisibleLabelStrings(benchmark::State& state) {
    TableScreen screen;
    for (auto _ : state) {
        std::vector<std::string> strings;
        collectLabels(*screen.window, *screen.window, strings);
        benchmark::DoNotOptimize(strings);
    }
}
BENCHMARK(BM_CollectVisibleLabelStrings)->Unit(benchmark::kMicrosecond);

void BM_TextSnapshotThousandRowTable(benchmark::State& state) {
    TableScreen screen;
    for (auto _ : state) {
        auto text = textSnapshot();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_TextSnapshotThousandRowTable)->Unit(benchmark::kMicrosecond);

// The same with the element list, each element hit-tested at its centre.
void BM_ScreenTextWithElementsThousandRowTable(benchmark::State& state) {
    TableScreen screen;
    for (auto _ : state) {
        auto screenText = UIScreenTextCapture();
        benchmark::DoNotOptimize(screenText);
    }
}
BENCHMARK(BM_ScreenTextWithElementsThousandRowTable)->Unit(benchmark::kMicrosecond);

}  // namespace
