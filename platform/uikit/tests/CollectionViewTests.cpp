#include <platform_uikit/UICollectionView.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

std::string at(NSIndexPath p) { return std::to_string(p.section) + "." + std::to_string(p.row); }

struct CountingCell : UICollectionViewCell {
    static inline int made = 0;
    CountingCell() { ++made; }
};

struct Source : UICollectionViewDataSource, UICollectionViewDelegate {
    Log log;
    std::vector<int64_t> items{10};
    std::map<NSIndexPath, CGSize> sizes;
    int64_t numberOfSectionsInCollectionView(UICollectionView&) override {
        log.push_back("sections");
        return static_cast<int64_t>(items.size());
    }
    int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t s) override {
        log.push_back("items " + std::to_string(s));
        return items[static_cast<std::size_t>(s)];
    }
    UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView& view, NSIndexPath p) override {
        log.push_back("cell " + at(p));
        return view.dequeueReusableCellWithReuseIdentifier("cell", p);
    }
    CGSize collectionViewLayoutSizeForItemAtIndexPath(UICollectionView&, UICollectionViewLayout&, NSIndexPath p) override {
        auto it = sizes.find(p);
        return it == sizes.end() ? CGSizeMake(-1, -1) : it->second;
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&, NSIndexPath p) override { log.push_back("didSelect " + at(p)); }
};

// Records each finalize with the sizes a footer check compares.
struct FinalizeLog {
    static inline Log* log = nullptr;
};

// A layout subclass whose override calls the base body.
struct OverridingLayout : UICollectionViewFlowLayout {
    void finalizeCollectionViewUpdates() override {
        if (FinalizeLog::log) FinalizeLog::log->push_back("override");
        UICollectionViewFlowLayout::finalizeCollectionViewUpdates();
    }
};

class CollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install();
        layout = std::make_shared<OverridingLayout>();
        layout->setItemSize(CGSizeMake(100, 100));
        layout->setSectionInset(UIEdgeInsetsMake(10, 10, 10, 10));
        view = std::make_shared<UICollectionView>(CGRectMake(0, 0, 375, 300), layout);
        view->registerClass<CountingCell>("cell");
        view->setDataSource(source);
        view->setDelegate(source);
        CountingCell::made = 0;
        // The hook an instrumenting library exchanges in at class load.
        ObjCClass& cls = UICollectionViewLayout::classObject();
        cls.addMethod("test_finalizeCollectionViewUpdates", makeInstanceImp<void()>([](NSObject& self) {
                          invokeMethod<void()>(self, "test_finalizeCollectionViewUpdates");
                          auto& l = static_cast<UICollectionViewLayout&>(self);
                          if (!FinalizeLog::log) return;
                          CGSize now = l.collectionView()->contentSize(), next = l.collectionViewContentSize();
                          FinalizeLog::log->push_back("hook " + std::to_string(int(now.height)) + " -> " +
                                                      std::to_string(int(next.height)));
                      }));
        ASSERT_TRUE(cls.exchangeInstanceMethods("finalizeCollectionViewUpdates", "test_finalizeCollectionViewUpdates"));
        FinalizeLog::log = &finalizeLog;
    }
    void TearDown() override {
        UICollectionViewLayout::classObject().exchangeInstanceMethods("finalizeCollectionViewUpdates",
                                                                      "test_finalizeCollectionViewUpdates");
        FinalizeLog::log = nullptr;
        ManualClock::uninstall();
    }
    Log take() { return std::exchange(source->log, {}); }

    std::shared_ptr<OverridingLayout> layout;
    std::shared_ptr<UICollectionView> view;
    std::shared_ptr<Source> source = std::make_shared<Source>();
    Log finalizeLog;
};

TEST_F(CollectionTest, FlowLayoutFillsLinesInsideTheInsets) {
    view->layoutIfNeeded();
    // Three items of 100 fit in 375 - 20 with 10 between; ten items make four lines.
    EXPECT_EQ(view->contentSize(), CGSizeMake(375, 10 + 4 * 100 + 3 * 10 + 10));
    EXPECT_EQ(layout->layoutAttributesForItemAtIndexPath({0, 2})->frame, CGRectMake(230, 10, 100, 100));
    EXPECT_EQ(layout->layoutAttributesForItemAtIndexPath({0, 3})->frame, CGRectMake(10, 120, 100, 100));
    EXPECT_FALSE(layout->layoutAttributesForItemAtIndexPath({0, 10}));

    // A taller item makes its line deeper; the others are centred on it.
    source->sizes[{0, 4}] = CGSizeMake(100, 140);
    view->reloadData();
    view->layoutIfNeeded();
    EXPECT_EQ(layout->layoutAttributesForItemAtIndexPath({0, 3})->frame, CGRectMake(10, 140, 100, 100));
    EXPECT_EQ(layout->layoutAttributesForItemAtIndexPath({0, 6})->frame, CGRectMake(10, 270, 100, 100));

    // Sideways: columns of two fill a 300-point height.
    source->sizes.clear();
    layout->setSectionInset(UIEdgeInsetsZero);
    layout->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    source->items = {5};
    view->reloadData();
    view->layoutIfNeeded();
    EXPECT_EQ(view->contentSize(), CGSizeMake(3 * 100 + 2 * 10, 300));
    EXPECT_EQ(layout->layoutAttributesForItemAtIndexPath({0, 1})->frame, CGRectMake(0, 110, 100, 100));
    EXPECT_EQ(layout->layoutAttributesForItemAtIndexPath({0, 2})->frame, CGRectMake(110, 0, 100, 100));
}

TEST_F(CollectionTest, CountsAtReloadCellsForItemsInView) {
    view->reloadData();
    EXPECT_EQ(take(), (Log{"sections", "items 0"}));
    view->layoutIfNeeded();
    // Lines at 10 and 120 are in view, the one at 230 partly: nine cells.
    Log cells;
    for (int i = 0; i < 9; ++i) cells.push_back("cell 0." + std::to_string(i));
    EXPECT_EQ(take(), cells);
    EXPECT_EQ(view->visibleCells().size(), 9u);
    view->setContentOffset(CGPointMake(0, 150));  // the first line leaves, the last comes
    view->layoutIfNeeded();
    EXPECT_EQ(take(), (Log{"cell 0.9"}));
    EXPECT_EQ(CountingCell::made, 9);  // the first line's cells came back from the pool
    EXPECT_EQ(view->indexPathForItemAtPoint({250, 250}), (NSIndexPath{0, 8}));
    EXPECT_FALSE(view->indexPathForItemAtPoint({115, 250}));
    EXPECT_THROW((void)view->dequeueReusableCellWithReuseIdentifier("unknown", {0, 0}), NSException);
}

TEST_F(CollectionTest, BatchUpdatesEndInFinalizeBeforeTheViewTakesTheNewSize) {
    view->layoutIfNeeded();
    take();
    bool completed = false;
    source->items = {13};
    view->performBatchUpdates(
        [&] {
            view->insertItemsAtIndexPaths({{0, 0}, {0, 1}});
            view->insertItemsAtIndexPaths({{0, 12}});
        },
        [&](bool finished) { completed = finished; });
    // One finalize per update, the hook once even under the override; the
    // view still has the old size when it runs.
    EXPECT_EQ(finalizeLog, (Log{"override", "hook 450 -> 560"}));
    EXPECT_EQ(view->contentSize().height, 560);
    EXPECT_EQ(take(), (Log{"sections", "items 0"}));
    EXPECT_FALSE(completed);
    ManualClock::advance(0);
    EXPECT_TRUE(completed);
    view->layoutIfNeeded();
    EXPECT_EQ(take(), (Log{"cell 0.0", "cell 0.1"}));  // the rest moved along

    // A single change outside a batch is a batch of its own.
    finalizeLog.clear();
    source->items = {12};
    view->deleteItemsAtIndexPaths({{0, 5}});
    EXPECT_EQ(finalizeLog, (Log{"override", "hook 560 -> 450"}));

    // Counts that disagree raise and change nothing.
    finalizeLog.clear();
    source->items = {12};
    EXPECT_THROW(view->insertItemsAtIndexPaths({{0, 0}}), NSException);
    EXPECT_THROW(view->deleteItemsAtIndexPaths({{0, 40}}), NSException);
    EXPECT_TRUE(finalizeLog.empty());
    EXPECT_EQ(view->numberOfItemsInSection(0), 12);
}

TEST_F(CollectionTest, TapSelectsAnItem) {
    UICollectionView& v = *view;
    v.layoutIfNeeded();
    take();
    // Touches come up the responder chain from the cell; deliver the end directly.
    auto touch = std::make_shared<UITouch>();
    touch->update(UITouchPhaseEnded, {250, 150}, 0);
    v.touchesEnded({touch}, nullptr);
    EXPECT_EQ(take(), (Log{"didSelect 0.5"}));
    EXPECT_TRUE(v.cellForItemAtIndexPath({0, 5})->isSelected());
    v.deselectItemAtIndexPath({0, 5}, true);
    EXPECT_TRUE(v.indexPathsForSelectedItems().empty());
}

}  // namespace
