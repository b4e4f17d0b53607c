#include <platform_uikit/UICollectionView.h>

#include <platform_uikit/UIColor.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_runtime/NSException.h>

#include "CellReusePool.h"
#include "IndexPathUpdates.h"

#include <algorithm>

// --- cell ---

UICollectionViewCell::UICollectionViewCell() : UICollectionViewCell(CGRectZero) {}

UICollectionViewCell::UICollectionViewCell(CGRect frame) : UIView(frame), contentView_(std::make_shared<UIView>(bounds())) {}

const UIViewPtr& UICollectionViewCell::contentView() const {
    if (!contentView_->superview() && !weak_from_this().expired())
        const_cast<UICollectionViewCell*>(this)->insertSubviewAtIndex(contentView_, 0);
    return contentView_;
}

void UICollectionViewCell::prepareForReuse() {
    setHighlighted(false);
    setSelected(false);
}

void UICollectionViewCell::layoutSubviews() { contentView()->setFrame(bounds()); }

// --- view ---

UICollectionView::UICollectionView() : UICollectionView(CGRectZero, std::make_shared<UICollectionViewFlowLayout>()) {}

UICollectionView::UICollectionView(CGRect frame, std::shared_ptr<UICollectionViewLayout> layout)
    : UIScrollView(frame), cells_(std::make_unique<uikit_detail::CellReusePool<UICollectionViewCell>>()) {
    setBackgroundColor(UIColor::blackColor());
    setCollectionViewLayout(std::move(layout));
}

UICollectionView::~UICollectionView() {
    if (layout_) layout_->attachToCollectionView(nullptr);
}

void UICollectionView::setCollectionViewLayout(std::shared_ptr<UICollectionViewLayout> layout) {
    if (!layout)
        NSException::raise(NSInvalidArgumentException, "UICollectionView must be initialized with a non-nil layout parameter");
    if (layout_) layout_->attachToCollectionView(nullptr);
    layout_ = std::move(layout);
    layout_->attachToCollectionView(this);
    layout_->invalidateLayout();
}

void UICollectionView::setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    loaded_ = false;
    setNeedsLayout();
}

void UICollectionView::setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate) {
    collectionDelegate_ = delegate;
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(delegate));
    layout_->invalidateLayout();
}

// --- data ---

void UICollectionView::loadCounts() {
    counts_.clear();
    auto ds = dataSource();
    if (!ds) return;
    int64_t sections = std::max<int64_t>(0, ds->numberOfSectionsInCollectionView(*this));
    for (int64_t s = 0; s < sections; ++s)
        counts_.push_back(std::max<int64_t>(0, ds->collectionViewNumberOfItemsInSection(*this, s)));
}

void UICollectionView::ensureData() {
    if (!loaded_) reloadData();
}

void UICollectionView::reloadData() {
    loaded_ = true;
    recycleVisible();
    selected_.clear();
    loadCounts();
    layout_->invalidateLayout();
    setNeedsLayout();
}

int64_t UICollectionView::numberOfSections() const {
    const_cast<UICollectionView*>(this)->ensureData();
    return static_cast<int64_t>(counts_.size());
}

int64_t UICollectionView::numberOfItemsInSection(int64_t section) const {
    const_cast<UICollectionView*>(this)->ensureData();
    if (section < 0 || section >= static_cast<int64_t>(counts_.size())) return 0;
    return counts_[static_cast<std::size_t>(section)];
}

// --- cells ---

void UICollectionView::registerCellFactory(const std::string& reuseIdentifier, CellFactory factory) {
    cells_->registerFactory(reuseIdentifier, std::move(factory), "UICollectionView");
}

void UICollectionView::registerNib(const std::shared_ptr<UINib>& nib, const std::string& reuseIdentifier) {
    registerCellFactory(reuseIdentifier,
                        uikit_detail::CellReusePool<UICollectionViewCell>::nibFactory(nib, "UICollectionViewCell"));
}

UICollectionViewCellPtr UICollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& reuseIdentifier,
                                                                                 NSIndexPath) {
    if (!cells_->isRegistered(reuseIdentifier))
        NSException::raise(NSInternalInconsistencyException,
                           "could not dequeue a view of kind: UICollectionElementKindCell with identifier " +
                               reuseIdentifier +
                               " - must register a nib or a class for the identifier or connect a prototype cell "
                               "in a storyboard");
    return cells_->dequeue(reuseIdentifier);
}

void UICollectionView::recycle(const UICollectionViewCellPtr& cell) { cells_->recycle(cell); }

void UICollectionView::recycleVisible() {
    for (auto& [path, cell] : visible_) recycle(cell);
    visible_.clear();
}

UICollectionViewCellPtr UICollectionView::cellForItemAtIndexPath(NSIndexPath indexPath) const {
    return uikit_detail::shownCell(visible_, indexPath);
}

std::vector<UICollectionViewCellPtr> UICollectionView::visibleCells() const { return uikit_detail::shownCells(visible_); }

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() const { return uikit_detail::shownPaths(visible_); }

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point) const {
    const_cast<UICollectionView*>(this)->ensureData();
    layout_->prepareIfNeeded();
    for (auto& a : layout_->layoutAttributesForElementsInRect(CGRectMake(point.x, point.y, 1, 1)))
        if (CGRectContainsPoint(a.frame, point)) return a.indexPath;
    return std::nullopt;
}

// --- layout ---

void UICollectionView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    ensureData();
    layout_->prepareIfNeeded();
    setContentSize(layout_->collectionViewContentSize());
    auto wanted = layout_->layoutAttributesForElementsInRect(bounds());
    std::sort(wanted.begin(), wanted.end(), [](const auto& a, const auto& b) { return a.indexPath < b.indexPath; });
    for (auto it = visible_.begin(); it != visible_.end();) {
        bool keep = std::binary_search(wanted.begin(), wanted.end(), UICollectionViewLayoutAttributes{it->first, {}},
                                       [](const auto& a, const auto& b) { return a.indexPath < b.indexPath; });
        if (keep) {
            ++it;
            continue;
        }
        recycle(it->second);
        it = visible_.erase(it);
    }
    auto ds = dataSource();
    for (auto& a : wanted) {
        auto found = visible_.find(a.indexPath);
        if (found != visible_.end()) {
            found->second->setFrame(a.frame);
            continue;
        }
        if (!ds) break;
        auto cell = ds->collectionViewCellForItemAtIndexPath(*this, a.indexPath);
        if (!cell)
            NSException::raise(NSInternalInconsistencyException,
                               "the collection view's data source returned a nil cell for item " + a.indexPath.description());
        cell->setFrame(a.frame);
        cell->setSelected(selected_.count(a.indexPath) > 0);
        visible_[a.indexPath] = cell;
        addSubview(cell);
        cell->layoutIfNeeded();
    }
}

// --- selection ---

void UICollectionView::selectItemAtIndexPath(NSIndexPath indexPath, bool) {
    for (auto p : std::set<NSIndexPath>(selected_)) deselectItemAtIndexPath(p, false);
    selected_.insert(indexPath);
    if (auto cell = cellForItemAtIndexPath(indexPath)) cell->setSelected(true);
}

void UICollectionView::deselectItemAtIndexPath(NSIndexPath indexPath, bool) {
    selected_.erase(indexPath);
    if (auto cell = cellForItemAtIndexPath(indexPath)) cell->setSelected(false);
}

void UICollectionView::touchesEnded(const UITouchSet& touches, UIEvent*) {
    if (touches.empty()) return;
    auto path = indexPathForItemAtPoint((*touches.begin())->locationInView(this));
    if (!path) return;
    auto d = delegate();
    if (d && !d->collectionViewShouldSelectItemAtIndexPath(*this, *path)) return;
    for (auto p : std::set<NSIndexPath>(selected_)) {
        if (p == *path) continue;
        deselectItemAtIndexPath(p, false);
        if (d) d->collectionViewDidDeselectItemAtIndexPath(*this, p);
    }
    selectItemAtIndexPath(*path, false);
    if (d) d->collectionViewDidSelectItemAtIndexPath(*this, *path);
}

// --- updates ---

void UICollectionView::record(UICollectionUpdateAction action, const std::vector<NSIndexPath>& indexPaths) {
    performBatchUpdates([&] {
        for (auto& p : indexPaths) pending_.push_back({action, p});
    });
}

void UICollectionView::insertItemsAtIndexPaths(const std::vector<NSIndexPath>& p) { record(UICollectionUpdateActionInsert, p); }
void UICollectionView::deleteItemsAtIndexPaths(const std::vector<NSIndexPath>& p) { record(UICollectionUpdateActionDelete, p); }
void UICollectionView::reloadItemsAtIndexPaths(const std::vector<NSIndexPath>& p) { record(UICollectionUpdateActionReload, p); }

void UICollectionView::performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion) {
    ++batchDepth_;
    try {
        if (updates) updates();
    } catch (...) {
        if (--batchDepth_ == 0) pending_.clear();
        throw;
    }
    if (--batchDepth_ > 0) return;
    auto items = std::exchange(pending_, {});
    if (!loaded_) {
        // Nothing shown yet: what the data source has now is the state.
        reloadData();
    } else {
        std::vector<int64_t> before = counts_;
        loadCounts();
        auto fail = [&](const std::string& reason) {
            counts_ = before;
            NSException::raise(NSInternalInconsistencyException, "Invalid update: " + reason);
        };
        if (counts_.size() != before.size())
            fail("invalid number of sections (" + std::to_string(counts_.size()) + ", was " +
                 std::to_string(before.size()) + ")");
        for (std::size_t s = 0; s < counts_.size(); ++s) {
            int64_t inserted = 0, deleted = 0;
            for (auto& item : items) {
                if (item.indexPath.section != static_cast<int64_t>(s)) continue;
                if (item.action == UICollectionUpdateActionInsert) {
                    ++inserted;
                    if (item.indexPath.row < 0 || item.indexPath.row >= counts_[s])
                        fail("inserted item " + item.indexPath.description() + " does not exist after the update");
                } else if (item.indexPath.row < 0 || item.indexPath.row >= before[s]) {
                    fail("item " + item.indexPath.description() + " does not exist");
                } else if (item.action == UICollectionUpdateActionDelete) {
                    ++deleted;
                }
            }
            if (counts_[s] != before[s] + inserted - deleted)
                fail("invalid number of items in section " + std::to_string(s) + ". The number of items after the update (" +
                     std::to_string(counts_[s]) + ") must be equal to the number before the update (" +
                     std::to_string(before[s]) + "), plus or minus the number inserted or deleted (" +
                     std::to_string(inserted) + " inserted, " + std::to_string(deleted) + " deleted).");
        }
        std::set<NSIndexPath> deletes, inserts, reloads;
        for (auto& item : items)
            (item.action == UICollectionUpdateActionInsert   ? inserts
             : item.action == UICollectionUpdateActionDelete ? deletes
                                                             : reloads)
                .insert(item.indexPath);
        auto moved = [&](NSIndexPath p) { return uikit_detail::indexPathAfterUpdate(p, deletes, inserts); };
        std::map<NSIndexPath, UICollectionViewCellPtr> visible;
        for (auto& [path, cell] : visible_) {
            auto to = moved(path);
            if (!to || reloads.count(path))
                recycle(cell);
            else
                visible[*to] = cell;
        }
        visible_ = std::move(visible);
        std::set<NSIndexPath> selected;
        for (auto& p : selected_)
            if (auto to = moved(p)) selected.insert(*to);
        selected_ = std::move(selected);

        layout_->prepareForCollectionViewUpdates(items);
        layout_->invalidateLayout();
        layout_->prepareIfNeeded();
        layout_->finalizeCollectionViewUpdates();
        setContentSize(layout_->collectionViewContentSize());
        setNeedsLayout();
    }
    if (completion) dispatch_async(dispatch_get_main_queue(), [completion] { completion(true); });
}
