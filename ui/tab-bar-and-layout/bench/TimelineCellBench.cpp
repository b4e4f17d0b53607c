// Scrolling a 200-row timeline through ten reused cells: each row refills a
// cell (its time, event and content texts, the row height) and lays it out.
// Cells laid out by the constraint builder against the same frames set by
// hand in layoutSubviews, same run.

#include <ui_tab_bar_and_layout/LCViewExtensions.h>

#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

namespace {

constexpr int kRows = 200, kReused = 10;

struct Cell {
    UIViewPtr content;
    std::shared_ptr<UIImageView> line, point;
    std::shared_ptr<UILabel> time, event, body;
};

std::string contentText(int row) {
    std::string text = "Release " + std::to_string(row);
    for (int i = 0; i < row % 4; ++i) text += "\nline " + std::to_string(i);
    return text;
}

// The content view of the hand-laid-out cell: the frames the constraints give.
class HandContent : public UIView {
public:
    Cell* cell = nullptr;
    void layoutSubviews() override {
        double w = bounds().size.width, h = bounds().size.height;
        cell->point->setFrame(CGRectMake(60, 10, 14, 14));
        cell->line->setFrame(CGRectMake(66.5, 0, 1, h));
        double th = std::ceil(cell->time->sizeThatFits(CGSizeMake(50, 0)).height);
        cell->time->setFrame(CGRectMake(10, 27 - th / 2, 50, th));
        double eh = std::ceil(cell->event->intrinsicContentSize().height);
        cell->event->setFrame(CGRectMake(75, 17 - eh / 2, w - 120, eh));
        double bh = std::ceil(cell->body->sizeThatFits(CGSizeMake(w - 120, 0)).height);
        cell->body->setFrame(CGRectMake(75, 17 - eh / 2 + 20, w - 120, bh));
    }
};

void makeSubviews(Cell& c) {
    c.line = std::make_shared<UIImageView>(CGRectMake(20, 20, 13, 13));
    c.point = std::make_shared<UIImageView>();
    c.time = std::make_shared<UILabel>();
    c.time->setFont(UIFont::boldSystemFontOfSize(12));
    c.time->setNumberOfLines(0);
    c.event = std::make_shared<UILabel>();
    c.event->setFont(UIFont::boldSystemFontOfSize(12));
    c.body = std::make_shared<UILabel>();
    c.body->setFont(UIFont::systemFontOfSize(12));
    c.body->setNumberOfLines(0);
    for (UIViewPtr v : std::vector<UIViewPtr>{c.line, c.point, c.time, c.event, c.body}) c.content->addSubview(v);
}

void constrain(Cell& c) {
    auto content = c.content;
    lc_makeConstraints(c.point, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(content)->offset()(60);
        make.top()->equalTo()(10);
        make.width()->height()->equalTo()(14);
    });
    lc_makeConstraints(c.line, [&](LCConstraintMaker& make) {
        make.centerX()->equalTo()(c.point);
        make.top()->equalTo()(lc_top(content));
        make.bottom()->equalTo()(lc_bottom(content));
        make.width()->equalTo()(1);
    });
    lc_makeConstraints(c.time, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(content)->offset()(10);
        make.centerY()->equalTo()(c.point)->offset()(10);
        make.width()->equalTo()(50);
    });
    lc_makeConstraints(c.event, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(lc_left(c.point))->offset()(15);
        make.centerY()->equalTo()(c.point);
        make.width()->equalTo()(content)->offset()(-120);
    });
    lc_makeConstraints(c.body, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(lc_left(c.event));
        make.top()->equalTo()(lc_top(c.event))->offset()(20);
        make.width()->equalTo()(lc_width(c.event));
    });
}

void scroll(std::vector<Cell>& cells, benchmark::State& state) {
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row) {
            Cell& c = cells[static_cast<std::size_t>(row % kReused)];
            c.time->setText(std::to_string(row % 12 + 1) + ":34 PM");
            c.event->setText("Event " + std::to_string(row));
            c.body->setText(contentText(row));
            c.content->setFrame(CGRectMake(0, 0, 375, 60 + 15 * (row % 4)));
            c.content->layoutIfNeeded();
            benchmark::DoNotOptimize(c.body->frame());
        }
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_TimelineScroll_Builder(benchmark::State& state) {
    std::vector<Cell> cells(kReused);
    for (auto& c : cells) {
        c.content = std::make_shared<UIView>(CGRectMake(0, 0, 375, 80));
        makeSubviews(c);
        constrain(c);
    }
    scroll(cells, state);
}
BENCHMARK(BM_TimelineScroll_Builder)->Unit(benchmark::kMicrosecond);

void BM_TimelineScroll_ByHand(benchmark::State& state) {
    std::vector<Cell> cells(kReused);
    for (auto& c : cells) {
        auto content = std::make_shared<HandContent>();
        content->setFrame(CGRectMake(0, 0, 375, 80));
        content->cell = &c;
        c.content = content;
        makeSubviews(c);
    }
    scroll(cells, state);
}
BENCHMARK(BM_TimelineScroll_ByHand)->Unit(benchmark::kMicrosecond);

}  // namespace
