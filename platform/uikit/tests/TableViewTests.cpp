#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UINib.h>
#include <platform_uikit/UITableViewController.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

std::string at(NSIndexPath p) { return std::to_string(p.section) + "." + std::to_string(p.row); }

struct CountingCell : UITableViewCell {
    static inline int made = 0, prepared = 0;
    CountingCell(UITableViewCellStyle style, std::string id) : UITableViewCell(style, std::move(id)) { ++made; }
    void prepareForReuse() override {
        ++prepared;
        UITableViewCell::prepareForReuse();
    }
};

// Data source and delegate that log what the table asks.
struct Source : UITableViewDataSource, UITableViewDelegate {
    Log log;
    std::vector<int64_t> rows{20};
    std::map<NSIndexPath, double> heights;  // rows not listed are left to the table
    bool logHeights = true;
    std::optional<NSIndexPath> redirect;
    bool refuse = false;

    int64_t numberOfSectionsInTableView(UITableView&) override {
        log.push_back("sections");
        return static_cast<int64_t>(rows.size());
    }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t s) override {
        log.push_back("rows " + std::to_string(s));
        return rows[static_cast<std::size_t>(s)];
    }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
        log.push_back("cell " + at(p));
        auto cell = table.dequeueReusableCellWithIdentifier("cell", p);
        cell->textLabel()->setText("row " + at(p));
        return cell;
    }
    double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath p) override {
        if (logHeights) log.push_back("height " + at(p));
        auto it = heights.find(p);
        return it == heights.end() ? UITableViewAutomaticDimension : it->second;
    }
    void tableViewDidHighlightRowAtIndexPath(UITableView&, NSIndexPath p) override { log.push_back("highlight " + at(p)); }
    void tableViewDidUnhighlightRowAtIndexPath(UITableView&, NSIndexPath p) override {
        log.push_back("unhighlight " + at(p));
    }
    std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(UITableView&, NSIndexPath p) override {
        log.push_back("willSelect " + at(p));
        if (refuse) return std::nullopt;
        return redirect ? *redirect : p;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView&, NSIndexPath p) override { log.push_back("didSelect " + at(p)); }
    void tableViewDidDeselectRowAtIndexPath(UITableView&, NSIndexPath p) override {
        log.push_back("didDeselect " + at(p));
    }
};

class TableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        UIApplication::sharedApplication()->resetForTesting();
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
        window->makeKeyAndVisible();
        table = std::make_shared<UITableView>(CGRectMake(0, 100, 375, 440));  // ten rows of 44
        table->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentNever);
        table->registerClass<CountingCell>("cell");
        table->setDataSource(source);
        table->setDelegate(source);
        window->addSubview(table);
        CountingCell::made = CountingCell::prepared = 0;
    }
    void TearDown() override {
        window->setHidden(true);
        UIApplication::sharedApplication()->resetForTesting();
        ManualClock::uninstall();
    }
    Log take() { return std::exchange(source->log, {}); }
    std::vector<std::string> visibleRows() const {
        std::vector<std::string> out;
        for (auto& p : table->indexPathsForVisibleRows()) out.push_back(at(p));
        return out;
    }
    // Tap in the middle of a row, in window coordinates.
    void tapRow(NSIndexPath p) {
        ManualClock::advance(1);  // no multi-tap
        CGRect r = table->convertRectToView(table->rectForRowAtIndexPath(p), nullptr);
        UITouchInjection::tap({CGRectGetMidX(r), CGRectGetMidY(r)});
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<Source> source = std::make_shared<Source>();
};

TEST_F(TableTest, ReloadAsksCountsAndHeightsAndLayoutAsksOnlyVisibleCells) {
    source->rows = {2, 30};
    table->reloadData();
    Log expected{"sections", "rows 0", "height 0.0", "height 0.1", "rows 1"};
    for (int r = 0; r < 30; ++r) expected.push_back("height 1." + std::to_string(r));
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(table->contentSize(), CGSizeMake(375, 32 * 44));

    table->layoutIfNeeded();
    Log cells{"cell 0.0", "cell 0.1"};
    for (int r = 0; r < 8; ++r) cells.push_back("cell 1." + std::to_string(r));
    EXPECT_EQ(take(), cells);
    EXPECT_EQ(table->visibleCells().size(), 10u);
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 0})->frame(), CGRectMake(0, 88, 375, 44));
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 0})->superview().get(), table.get());
    EXPECT_FALSE(table->cellForRowAtIndexPath({1, 9}));

    // Layout again without a change asks nothing.
    table->setNeedsLayout();
    table->layoutIfNeeded();
    EXPECT_TRUE(take().empty());
    // Scrolling half a row shows one more row; nothing else is asked.
    table->setContentOffset(CGPointMake(0, 22));
    table->layoutIfNeeded();
    EXPECT_EQ(take(), (Log{"cell 1.8"}));
}

TEST_F(TableTest, TheFirstLayoutLoadsWithoutAnExplicitReload) {
    source->logHeights = false;
    ManualClock::advance(0);  // the end-of-turn pass lays the window out
    EXPECT_EQ(table->numberOfRowsInSection(0), 20);
    EXPECT_EQ(table->visibleCells().size(), 10u);
    auto log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "sections");
    EXPECT_EQ(log[1], "rows 0");
}

TEST_F(TableTest, ScrollingReusesCellsAndPreparesThem) {
    source->rows = {1000};
    source->logHeights = false;
    table->reloadData();
    table->layoutIfNeeded();
    for (int y = 0; y <= 1000 * 44 - 440; y += 7) {
        table->setContentOffset(CGPointMake(0, y));
        table->layoutIfNeeded();
    }
    table->setContentOffset(CGPointMake(0, 1000 * 44 - 440));
    table->layoutIfNeeded();
    EXPECT_LE(CountingCell::made, 11 + 2);  // visible (a row cut at each edge) + 2
    EXPECT_GT(CountingCell::prepared, 900);
    auto last = table->cellForRowAtIndexPath({0, 999});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->textLabel()->text(), "row 0.999");
    EXPECT_EQ(visibleRows().front(), "0.990");
    // A reload hands every cell back and asks for the visible rows again, from the pool.
    int made = CountingCell::made;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(CountingCell::made, made);
}

TEST_F(TableTest, DequeueWithoutARegistrationRaises) {
    EXPECT_FALSE(table->dequeueReusableCellWithIdentifier("unknown"));
    try {
        (void)table->dequeueReusableCellWithIdentifier("unknown", {0, 0});
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInternalInconsistencyException);
        EXPECT_NE(e.reason().find("unknown"), std::string::npos);
    }
    auto cell = table->dequeueReusableCellWithIdentifier("cell", {0, 0});
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->reuseIdentifier(), "cell");
    EXPECT_TRUE(std::dynamic_pointer_cast<CountingCell>(cell));
}

TEST_F(TableTest, HeightsGeometryAndContentSize) {
    source->rows = {3, 2};
    source->heights = {{{0, 1}, 100}, {{1, 0}, 10}};
    source->logHeights = false;
    auto header = std::make_shared<UIView>(CGRectMake(0, 0, 10, 50));
    auto footer = std::make_shared<UIView>(CGRectMake(0, 0, 10, 30));
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    table->reloadData();
    table->layoutIfNeeded();
    // 50 header, rows 44 + 100 + 44, then 10 + 44, 30 footer.
    EXPECT_EQ(table->contentSize().height, 50 + 188 + 54 + 30);
    EXPECT_EQ(header->frame(), CGRectMake(0, 0, 375, 50));
    EXPECT_EQ(footer->frame(), CGRectMake(0, 292, 375, 30));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 2}), CGRectMake(0, 194, 375, 44));
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 1}), CGRectMake(0, 248, 375, 44));
    EXPECT_EQ(table->rectForRowAtIndexPath({2, 0}), CGRectZero);
    struct Case {
        double y;
        std::optional<NSIndexPath> expected;
    };
    const Case points[] = {{10, std::nullopt}, {50, NSIndexPath{0, 0}}, {193.9, NSIndexPath{0, 1}},
                           {194, NSIndexPath{0, 2}}, {240, NSIndexPath{1, 0}}, {291, NSIndexPath{1, 1}},
                           {300, std::nullopt}, {-5, std::nullopt}};
    for (auto& c : points) {
        SCOPED_TRACE(c.y);
        EXPECT_EQ(table->indexPathForRowAtPoint({100, c.y}), c.expected);
    }
}

TEST_F(TableTest, SectionTitlesMakeHeadersByStyle) {
    struct Titled : Source {
        std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t s) override {
            if (s == 0) return "First";
            return std::nullopt;
        }
    };
    for (auto style : {UITableViewStylePlain, UITableViewStyleGrouped}) {
        SCOPED_TRACE(style);
        auto titled = std::make_shared<Titled>();
        titled->rows = {1, 1};
        auto t = std::make_shared<UITableView>(CGRectMake(0, 0, 375, 600), style);
        t->registerClass<CountingCell>("cell");
        t->setDataSource(titled);
        t->setDelegate(titled);
        t->layoutIfNeeded();
        double first = style == UITableViewStylePlain ? UITableView::kPlainHeaderFooterHeight
                                                      : UITableView::kGroupedTitledHeaderHeight;
        double untitled = style == UITableViewStylePlain ? 0 : UITableView::kGroupedHeaderHeight;
        double footers = style == UITableViewStylePlain ? 0 : 2 * UITableView::kGroupedFooterHeight;
        EXPECT_EQ(t->contentSize().height, first + untitled + footers + 88);
        auto view = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(t->headerViewForSection(0));
        ASSERT_TRUE(view);
        EXPECT_EQ(view->textLabel()->text(), "First");
        EXPECT_EQ(view->frame().size.height, first);
        EXPECT_FALSE(t->headerViewForSection(1));
    }
}

TEST_F(TableTest, TapSelectsAndTheNextTapMovesTheSelection) {
    table->layoutIfNeeded();
    take();
    tapRow({0, 2});
    EXPECT_EQ(take(), (Log{"highlight 0.2", "unhighlight 0.2", "willSelect 0.2", "didSelect 0.2"}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 2}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isSelected());
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isHighlighted());

    tapRow({0, 4});
    EXPECT_EQ(take(), (Log{"highlight 0.4", "unhighlight 0.4", "willSelect 0.4", "didDeselect 0.2", "didSelect 0.4"}));
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isSelected());

    table->deselectRowAtIndexPath({0, 4}, true);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 4})->isSelected());
    EXPECT_TRUE(take().empty());  // programmatic changes call no delegate

    // The delegate may redirect or refuse.
    source->redirect = NSIndexPath{0, 7};
    tapRow({0, 1});
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 7}));
    source->redirect.reset();
    source->refuse = true;
    tapRow({0, 3});
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 7}));
    take();

    // A drag cancels the highlight and selects nothing.
    source->refuse = false;
    ManualClock::advance(1);
    UITouchInjection::drag({100, 300}, {100, 200}, 5);
    EXPECT_EQ(take(), (Log{"highlight 0.4", "unhighlight 0.4"}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 7}));

    // A selected row keeps its look when it scrolls away and back.
    table->setContentOffset(CGPointMake(0, 440));
    table->layoutIfNeeded();
    table->setContentOffset(CGPointZero);
    table->layoutIfNeeded();
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 7})->isSelected());
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 6})->isSelected());
}

TEST_F(TableTest, RowChangesAskOnlyWhatChanged) {
    source->rows = {5};
    table->reloadData();
    table->layoutIfNeeded();
    table->selectRowAtIndexPath(NSIndexPath{0, 3}, false, UITableViewScrollPositionNone);
    take();

    struct Case {
        const char* name;
        std::function<void()> change;
        int64_t rowsAfter;
        Log expected;
        std::vector<std::string> visible;
        std::optional<NSIndexPath> selected;
    };
    Case cases[] = {
        {"insert at the top", [&] { table->insertRowsAtIndexPaths({{0, 0}}, UITableViewRowAnimationAutomatic); }, 6,
         {"sections", "rows 0", "height 0.0", "cell 0.0"}, {"0.0", "0.1", "0.2", "0.3", "0.4", "0.5"}, NSIndexPath{0, 4}},
        {"delete two", [&] { table->deleteRowsAtIndexPaths({{0, 1}, {0, 4}}, UITableViewRowAnimationFade); }, 4,
         {"sections", "rows 0"}, {"0.0", "0.1", "0.2", "0.3"}, std::nullopt},
        {"reload one", [&] { table->reloadRowsAtIndexPaths({{0, 2}}, UITableViewRowAnimationNone); }, 4,
         {"sections", "rows 0", "height 0.2", "cell 0.2"}, {"0.0", "0.1", "0.2", "0.3"}, std::nullopt},
        {"batch of delete and insert", [&] {
             table->beginUpdates();
             table->deleteRowsAtIndexPaths({{0, 0}}, UITableViewRowAnimationFade);
             table->insertRowsAtIndexPaths({{0, 3}, {0, 4}}, UITableViewRowAnimationFade);
             table->endUpdates();
         }, 5, {"sections", "rows 0", "height 0.3", "height 0.4", "cell 0.3", "cell 0.4"},
         {"0.0", "0.1", "0.2", "0.3", "0.4"}, std::nullopt},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto before = std::dynamic_pointer_cast<CountingCell>(table->cellForRowAtIndexPath({0, 1}));
        source->rows = {c.rowsAfter};
        c.change();
        table->layoutIfNeeded();
        EXPECT_EQ(take(), c.expected);
        EXPECT_EQ(visibleRows(), c.visible);
        EXPECT_EQ(table->indexPathForSelectedRow(), c.selected);
        EXPECT_EQ(table->contentSize().height, 44.0 * c.rowsAfter);
        for (auto& p : table->indexPathsForVisibleRows())
            EXPECT_EQ(table->cellForRowAtIndexPath(p)->frame().origin.y, 44.0 * p.row);
        (void)before;
    }
}

TEST_F(TableTest, AnUpdateThatDisagreesWithTheDataSourceRaises) {
    source->rows = {5};
    table->reloadData();
    table->layoutIfNeeded();
    struct Case {
        const char* name;
        int64_t rowsAfter;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"count not grown", 5, [&] { table->insertRowsAtIndexPaths({{0, 0}}, UITableViewRowAnimationFade); }},
        {"deleting a row that is not there", 4, [&] { table->deleteRowsAtIndexPaths({{0, 9}}, UITableViewRowAnimationFade); }},
        {"inserting past the end", 6, [&] { table->insertRowsAtIndexPaths({{0, 8}}, UITableViewRowAnimationFade); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        source->rows = {c.rowsAfter};
        try {
            c.change();
            FAIL() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), NSInternalInconsistencyException);
            EXPECT_EQ(e.reason().rfind("Invalid update", 0), 0u) << e.reason();
        }
        // Nothing changed.
        EXPECT_EQ(table->numberOfRowsInSection(0), 5);
    }
}

TEST_F(TableTest, ScrollToRowPlacesIt) {
    source->rows = {100};
    source->logHeights = false;
    struct Case {
        UITableViewScrollPosition position;
        NSIndexPath row;
        double offset;
    };
    const Case cases[] = {
        {UITableViewScrollPositionTop, {0, 50}, 2200},
        {UITableViewScrollPositionBottom, {0, 50}, 2200 + 44 - 440},
        {UITableViewScrollPositionMiddle, {0, 50}, 2222 - 220},
        {UITableViewScrollPositionTop, {0, 99}, 4400 - 440},  // clamped to the end
        {UITableViewScrollPositionNone, {0, 10}, 10 * 44},     // least movement up
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.position);
        table->scrollToRowAtIndexPath(c.row, c.position, false);
        EXPECT_DOUBLE_EQ(table->contentOffset().y, c.offset);
    }
    table->scrollToRowAtIndexPath({0, 0}, UITableViewScrollPositionTop, true);
    ManualClock::advance(1);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 0);
    EXPECT_THROW(table->scrollToRowAtIndexPath({0, 100}, UITableViewScrollPositionTop, false), NSException);
}

TEST(TableCell, StylesPlaceTheirLabels) {
    auto make = [](UITableViewCellStyle style) {
        auto cell = std::make_shared<UITableViewCell>(style, "id");
        cell->setFrame(CGRectMake(0, 0, 375, 44));
        cell->textLabel()->setText("Title");
        if (cell->detailTextLabel()) cell->detailTextLabel()->setText("Detail");
        cell->layoutIfNeeded();
        return cell;
    };
    EXPECT_FALSE(make(UITableViewCellStyleDefault)->detailTextLabel());
    auto plain = make(UITableViewCellStyleDefault);
    EXPECT_EQ(plain->textLabel()->superview(), plain->contentView());
    EXPECT_EQ(plain->textLabel()->frame(), CGRectMake(15, 0, 375 - 30, 44));
    auto value1 = make(UITableViewCellStyleValue1);
    EXPECT_EQ(value1->textLabel()->superview(), value1->contentView());
    EXPECT_LT(CGRectGetMaxX(value1->textLabel()->frame()), value1->detailTextLabel()->frame().origin.x);
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(value1->detailTextLabel()->frame()), 375 - 15);
    auto value2 = make(UITableViewCellStyleValue2);
    EXPECT_EQ(value2->textLabel()->textAlignment(), NSTextAlignmentRight);
    EXPECT_LT(CGRectGetMaxX(value2->textLabel()->frame()), value2->detailTextLabel()->frame().origin.x);
    auto subtitle = make(UITableViewCellStyleSubtitle);
    EXPECT_LT(CGRectGetMaxY(subtitle->textLabel()->frame()), CGRectGetMaxY(subtitle->detailTextLabel()->frame()));

    // The accessory narrows the content view; selection shows unless the style is none.
    value1->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    value1->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(value1->contentView()->frame().size.width, 375 - UITableViewCell::kAccessoryWidth);
    value1->setSelected(true, false);
    EXPECT_FALSE(value1->selectedBackgroundView()->isHidden());
    value1->prepareForReuse();
    EXPECT_FALSE(value1->isSelected());
    EXPECT_TRUE(value1->selectedBackgroundView()->isHidden());
    value1->setSelectionStyle(UITableViewCellSelectionStyleNone);
    value1->setHighlighted(true, false);
    EXPECT_TRUE(value1->selectedBackgroundView()->isHidden());
}

TEST(TableController, StaticSectionsFillTheTable) {
    ManualClock::Scope clock;
    auto controller = std::make_shared<UITableViewController>(UITableViewStyleGrouped);
    auto cell = [](const std::string& title) {
        auto c = std::make_shared<UITableViewCell>();
        c->textLabel()->setText(title);
        return c;
    };
    auto rate = cell("Rate"), feedback = cell("Feedback"), version = cell("Version");
    controller->setStaticSections({
        {"General", std::nullopt, UITableViewAutomaticDimension, UITableViewAutomaticDimension,
         {{rate}, {feedback, 60}}},
        {std::nullopt, std::nullopt, UITableViewAutomaticDimension, UITableViewAutomaticDimension, {{version}}},
    });
    auto table = controller->tableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->style(), UITableViewStyleGrouped);
    EXPECT_EQ(table->dataSource().get(), static_cast<UITableViewDataSource*>(controller.get()));
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1}), feedback);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}).size.height, 60);
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 0}).size.height, UITableView::kDefaultRowHeight);
    EXPECT_EQ(table->contentSize().height, UITableView::kGroupedTitledHeaderHeight + 44 + 60 +
                                               UITableView::kGroupedFooterHeight + UITableView::kGroupedHeaderHeight +
                                               44 + UITableView::kGroupedFooterHeight);
    // A selection is cleared when the view appears again.
    table->selectRowAtIndexPath(NSIndexPath{0, 0}, false, UITableViewScrollPositionNone);
    controller->beginAppearanceTransition(true, false);
    controller->endAppearanceTransition();
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_THROW(controller->setStaticSections({{std::nullopt, std::nullopt, -1, -1, {{nullptr}}}}), NSException);
}

}  // namespace

namespace {

TEST_F(TableTest, CellsFromARegisteredNib) {
    Value document = Value(Value::Dictionary{
        {Value("objects"),
         Value(Value::Array{Value(Value::Dictionary{
             {Value("class"), Value("UITableViewCell")},
             {Value("properties"), Value(Value::Dictionary{{Value("reuseIdentifier"), Value("named in the nib")}})},
             {Value("subviews"), Value(Value::Array{Value(Value::Dictionary{
                                     {Value("class"), Value("UILabel")},
                                     {Value("properties"), Value(Value::Dictionary{{Value("text"), Value("From nib")}})}})})}})})}});
    table->registerNib(UINib::nibWithDocument(document, "RowCell.nib.json", nullptr), "nibCell");
    auto cell = table->dequeueReusableCellWithIdentifier("nibCell", {0, 0});
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->reuseIdentifier(), "nibCell");
    ASSERT_EQ(cell->contentView()->subviews().size(), 1u);
    auto label = std::dynamic_pointer_cast<UILabel>(cell->contentView()->subviews()[0]);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "From nib");
    EXPECT_NE(table->dequeueReusableCellWithIdentifier("nibCell", {0, 0}), cell);  // a fresh one each time

    Value notACell = Value(Value::Dictionary{
        {Value("objects"), Value(Value::Array{Value(Value::Dictionary{{Value("class"), Value("UIView")}})})}});
    table->registerNib(UINib::nibWithDocument(notACell, "Wrong.nib.json", nullptr), "wrong");
    EXPECT_THROW((void)table->dequeueReusableCellWithIdentifier("wrong", {0, 0}), NSException);
}

// The cost of a scroll step follows what is on screen, not the number of rows:
// the same steps ask the same cells of a table of 100 and of 100,000 rows.
TEST_F(TableTest, ScrollStepsAskTheSameAtAnySize) {
    source->logHeights = false;
    std::vector<std::size_t> asked;
    for (int64_t rows : {100, 100000}) {
        source->rows = {rows};
        table->reloadData();
        table->setContentOffset(CGPointZero);
        table->layoutIfNeeded();
        take();
        for (int i = 1; i <= 1000; ++i) {
            table->setContentOffset(CGPointMake(0, (i % 400) * 7.0));
            table->layoutIfNeeded();
        }
        asked.push_back(take().size());
    }
    EXPECT_EQ(asked[0], asked[1]);
    EXPECT_GT(asked[0], 0u);
}

TEST(TableController, StaticSectionsBySelectorAsALoaderGivesThem) {
    ManualClock::Scope clock;
    auto controller = std::make_shared<UITableViewController>();
    auto first = std::make_shared<UITableViewCell>(), second = std::make_shared<UITableViewCell>();
    Value sections(Value::Array{
        Value(Value::Dictionary{{Value("headerTitle"), Value("General")},
                                {Value("rowHeight"), Value(50.0)},
                                {Value("rows"), Value(Value::Array{Value(first), Value(second)})}}),
    });
    ASSERT_TRUE(performSelector(controller.get(), "setStaticSections:", {sections}));
    ASSERT_EQ(controller->staticSections().size(), 1u);
    EXPECT_EQ(controller->staticSections()[0].headerTitle, "General");
    auto table = controller->tableView();
    table->layoutIfNeeded();
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1}), second);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}), CGRectMake(0, UITableView::kPlainHeaderFooterHeight + 50,
                                                               table->bounds().size.width, 50));
    Value bad(Value::Array{Value(Value::Dictionary{{Value("rows"), Value(Value::Array{Value(std::make_shared<UIView>())})}})});
    EXPECT_THROW(performSelector(controller.get(), "setStaticSections:", {bad}), NSException);
    EXPECT_EQ(controller->staticSections().size(), 1u);
}

}  // namespace
