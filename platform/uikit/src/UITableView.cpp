#include <platform_uikit/UITableView.h>

#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIFont.h>

#include <platform_runtime/NSException.h>

#include "CellReusePool.h"
#include "IndexPathUpdates.h"

#include <algorithm>

UITableViewHeaderFooterView::UITableViewHeaderFooterView() : textLabel_(std::make_shared<UILabel>()) {
    textLabel_->setFont(UIFont::systemFontOfSize(13));
    textLabel_->setTextColor(UIColor::grayColor());
}

// The label joins the tree once the view is owned (no shared handle exists in the constructor).
void UITableViewHeaderFooterView::didMoveToSuperview() {
    if (!textLabel_->superview()) addSubview(textLabel_);
}

void UITableViewHeaderFooterView::layoutSubviews() {
    if (!textLabel_->superview()) addSubview(textLabel_);
    CGRect b = bounds();
    textLabel_->setFrame(CGRectMake(15, 0, std::max(0.0, b.size.width - 30), b.size.height));
}

UITableView::UITableView() : UITableView(CGRectZero) {}

UITableView::UITableView(CGRect frame, UITableViewStyle style)
    : UIScrollView(frame), style_(style), cells_(std::make_unique<uikit_detail::CellReusePool<UITableViewCell>>()) {
    setAlwaysBounceVertical(true);
    setBackgroundColor(style == UITableViewStyleGrouped ? UIColor::groupTableViewBackgroundColor()
                                                        : UIColor::whiteColor());
}

UITableView::~UITableView() = default;

void UITableView::setStyle(UITableViewStyle style) {
    style_ = style;
    setBackgroundColor(style == UITableViewStyleGrouped ? UIColor::groupTableViewBackgroundColor()
                                                        : UIColor::whiteColor());
    if (loaded_) reloadData();
}

void UITableView::setDataSource(std::weak_ptr<UITableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    loaded_ = false;
    setNeedsLayout();
}

void UITableView::setDelegate(std::weak_ptr<UITableViewDelegate> delegate) {
    tableDelegate_ = delegate;
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(delegate));
    if (loaded_) setNeedsLayout();
}

void UITableView::setRowHeight(double height) {
    rowHeight_ = height;
    if (loaded_) reloadData();
}

void UITableView::setTableHeaderView(UIViewPtr view) {
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(view);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    if (loaded_) restack();
    setNeedsLayout();
}

void UITableView::setTableFooterView(UIViewPtr view) {
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(view);
    if (tableFooterView_) addSubview(tableFooterView_);
    if (loaded_) restack();
    setNeedsLayout();
}

// --- data ---

void UITableView::ensureData() {
    if (!loaded_) reloadData();
}

double UITableView::rowHeightFor(NSIndexPath indexPath) {
    double h = UITableViewAutomaticDimension;
    if (auto d = delegate()) h = d->tableViewHeightForRowAtIndexPath(*this, indexPath);
    return h < 0 ? rowHeight_ : h;
}

void UITableView::measureSection(int64_t index, Section& section, const std::vector<double>* heights) {
    auto ds = dataSource();
    auto d = delegate();
    section.headerTitle = ds->tableViewTitleForHeaderInSection(*this, index);
    section.footerTitle = ds->tableViewTitleForFooterInSection(*this, index);
    auto automatic = [&](bool header, const std::optional<std::string>& title) {
        double fixed = header ? sectionHeaderHeight_ : sectionFooterHeight_;
        if (fixed >= 0) return fixed;
        if (style_ == UITableViewStylePlain) return title ? kPlainHeaderFooterHeight : 0.0;
        if (header) return title ? kGroupedTitledHeaderHeight : kGroupedHeaderHeight;
        return kGroupedFooterHeight;
    };
    double h = d ? d->tableViewHeightForHeaderInSection(*this, index) : UITableViewAutomaticDimension;
    section.headerHeight = h < 0 ? automatic(true, section.headerTitle) : h;
    h = d ? d->tableViewHeightForFooterInSection(*this, index) : UITableViewAutomaticDimension;
    section.footerHeight = h < 0 ? automatic(false, section.footerTitle) : h;
    if (heights) {
        section.rowTops.assign(1, 0);
        for (double rowHeight : *heights) section.rowTops.push_back(section.rowTops.back() + rowHeight);
        return;
    }
    int64_t rows = std::max<int64_t>(0, ds->tableViewNumberOfRowsInSection(*this, index));
    section.rowTops.assign(1, 0);
    section.rowTops.reserve(static_cast<std::size_t>(rows) + 1);
    for (int64_t r = 0; r < rows; ++r) section.rowTops.push_back(section.rowTops.back() + rowHeightFor({index, r}));
}

void UITableView::restack() {
    double y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
    for (auto& s : sections_) {
        s.top = y;
        y = s.top + s.height();
    }
    if (tableFooterView_) y += tableFooterView_->frame().size.height;
    setContentSize(CGSizeMake(bounds().size.width, y));
}

void UITableView::reloadData() {
    auto d = delegate();
    for (auto& [path, cell] : std::map<NSIndexPath, UITableViewCellPtr>(std::move(visible_))) {
        recycle(cell);
        if (d) d->tableViewDidEndDisplayingCell(*this, *cell, path);
    }
    visible_.clear();
    for (auto* views : {&headerViews_, &footerViews_}) {
        for (auto& [section, view] : *views) view->removeFromSuperview();
        views->clear();
    }
    selected_.clear();
    touched_.reset();
    pending_ = {};
    loaded_ = true;
    sections_.clear();
    if (auto ds = dataSource()) {
        int64_t count = std::max<int64_t>(0, ds->numberOfSectionsInTableView(*this));
        sections_.resize(static_cast<std::size_t>(count));
        for (int64_t i = 0; i < count; ++i) measureSection(i, sections_[static_cast<std::size_t>(i)], nullptr);
    }
    restack();
    setNeedsLayout();
}

int64_t UITableView::numberOfSections() const {
    const_cast<UITableView*>(this)->ensureData();
    return static_cast<int64_t>(sections_.size());
}

int64_t UITableView::numberOfRowsInSection(int64_t section) const {
    const_cast<UITableView*>(this)->ensureData();
    if (section < 0 || section >= static_cast<int64_t>(sections_.size())) return 0;
    return sections_[static_cast<std::size_t>(section)].rows();
}

bool UITableView::isValid(NSIndexPath p) const {
    return p.section >= 0 && p.section < static_cast<int64_t>(sections_.size()) && p.row >= 0 &&
           p.row < sections_[static_cast<std::size_t>(p.section)].rows();
}

void UITableView::checkRow(NSIndexPath p, const char* operation) const {
    if (!isValid(p))
        NSException::raise(NSRangeException, std::string("-[UITableView ") + operation +
                                                 "]: row " + p.description() + " does not exist");
}

// --- cells ---

void UITableView::registerCellFactory(const std::string& reuseIdentifier, CellFactory factory) {
    cells_->registerFactory(reuseIdentifier, std::move(factory), "UITableView");
}

void UITableView::registerNib(const std::shared_ptr<UINib>& nib, const std::string& reuseIdentifier) {
    registerCellFactory(reuseIdentifier, uikit_detail::CellReusePool<UITableViewCell>::nibFactory(nib, "UITableViewCell"));
}

UITableViewCellPtr UITableView::dequeueReusableCellWithIdentifier(const std::string& reuseIdentifier) {
    return cells_->dequeue(reuseIdentifier);
}

UITableViewCellPtr UITableView::dequeueReusableCellWithIdentifier(const std::string& reuseIdentifier, NSIndexPath) {
    if (!cells_->isRegistered(reuseIdentifier))
        NSException::raise(NSInternalInconsistencyException,
                           "unable to dequeue a cell with identifier " + reuseIdentifier +
                               " - must register a nib or a class for the identifier or connect a prototype cell "
                               "in a storyboard");
    return cells_->dequeue(reuseIdentifier);
}

void UITableView::recycle(const UITableViewCellPtr& cell) { cells_->recycle(cell); }

UITableViewCellPtr UITableView::cellForRowAtIndexPath(NSIndexPath indexPath) const {
    return uikit_detail::shownCell(visible_, indexPath);
}

std::vector<UITableViewCellPtr> UITableView::visibleCells() const { return uikit_detail::shownCells(visible_); }

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const { return uikit_detail::shownPaths(visible_); }

// --- geometry ---

CGRect UITableView::rectForRowAtIndexPath(NSIndexPath p) const {
    const_cast<UITableView*>(this)->ensureData();
    if (!isValid(p)) return CGRectZero;
    const Section& s = sections_[static_cast<std::size_t>(p.section)];
    auto r = static_cast<std::size_t>(p.row);
    return CGRectMake(0, s.top + s.headerHeight + s.rowTops[r], bounds().size.width, s.rowTops[r + 1] - s.rowTops[r]);
}

CGRect UITableView::rectForSection(int64_t section) const {
    const_cast<UITableView*>(this)->ensureData();
    if (section < 0 || section >= static_cast<int64_t>(sections_.size())) return CGRectZero;
    const Section& s = sections_[static_cast<std::size_t>(section)];
    return CGRectMake(0, s.top, bounds().size.width, s.height());
}

CGRect UITableView::rectForHeaderInSection(int64_t section) const {
    CGRect r = rectForSection(section);
    if (CGRectIsEmpty(r) && r.origin == CGPointZero) return r;
    return CGRectMake(0, r.origin.y, r.size.width, sections_[static_cast<std::size_t>(section)].headerHeight);
}

CGRect UITableView::rectForFooterInSection(int64_t section) const {
    CGRect r = rectForSection(section);
    if (CGRectIsEmpty(r) && r.origin == CGPointZero) return r;
    double h = sections_[static_cast<std::size_t>(section)].footerHeight;
    return CGRectMake(0, CGRectGetMaxY(r) - h, r.size.width, h);
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) const {
    const_cast<UITableView*>(this)->ensureData();
    if (point.x < 0 || point.x >= bounds().size.width) return std::nullopt;
    // The last section starting at or above the point.
    auto it = std::upper_bound(sections_.begin(), sections_.end(), point.y,
                               [](double y, const Section& s) { return y < s.top; });
    if (it == sections_.begin()) return std::nullopt;
    const Section& s = *--it;
    double y = point.y - s.top - s.headerHeight;
    if (y < 0 || y >= s.rowTops.back()) return std::nullopt;
    auto row = std::upper_bound(s.rowTops.begin(), s.rowTops.end(), y) - s.rowTops.begin() - 1;
    return NSIndexPath{it - sections_.begin(), row};
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell& cell) const {
    for (auto& [path, shown] : visible_)
        if (shown.get() == &cell) return path;
    return std::nullopt;
}

UIViewPtr UITableView::headerViewForSection(int64_t section) const {
    auto it = headerViews_.find(section);
    return it == headerViews_.end() ? nullptr : it->second;
}

UIViewPtr UITableView::footerViewForSection(int64_t section) const {
    auto it = footerViews_.find(section);
    return it == footerViews_.end() ? nullptr : it->second;
}

void UITableView::scrollToRowAtIndexPath(NSIndexPath indexPath, UITableViewScrollPosition position, bool animated) {
    ensureData();
    checkRow(indexPath, "scrollToRowAtIndexPath:atScrollPosition:animated:");
    CGRect row = rectForRowAtIndexPath(indexPath);
    if (position == UITableViewScrollPositionNone) return scrollRectToVisible(row, animated);
    UIEdgeInsets in = adjustedContentInset();
    double height = bounds().size.height;
    CGPoint offset = contentOffset();
    switch (position) {
        case UITableViewScrollPositionTop: offset.y = row.origin.y - in.top; break;
        case UITableViewScrollPositionMiddle:
            offset.y = CGRectGetMidY(row) - (height - in.top - in.bottom) / 2 - in.top;
            break;
        default: offset.y = CGRectGetMaxY(row) - height + in.bottom; break;
    }
    CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
    offset.y = std::clamp(offset.y, lo.y, hi.y);
    setContentOffset(offset, animated);
}

// --- layout ---

void UITableView::layoutTableHeaderAndFooter() {
    double width = bounds().size.width;
    if (tableHeaderView_) tableHeaderView_->setFrame(CGRectMake(0, 0, width, tableHeaderView_->frame().size.height));
    if (tableFooterView_) {
        double y = sections_.empty() ? (tableHeaderView_ ? tableHeaderView_->frame().size.height : 0)
                                     : sections_.back().top + sections_.back().height();
        tableFooterView_->setFrame(CGRectMake(0, y, width, tableFooterView_->frame().size.height));
    }
}

UIViewPtr UITableView::makeSectionView(int64_t section, bool header) {
    const Section& s = sections_[static_cast<std::size_t>(section)];
    UIViewPtr view;
    if (auto d = delegate())
        view = header ? d->tableViewViewForHeaderInSection(*this, section) : d->tableViewViewForFooterInSection(*this, section);
    if (view) return view;
    const auto& title = header ? s.headerTitle : s.footerTitle;
    if (!title) return nullptr;
    auto titled = std::make_shared<UITableViewHeaderFooterView>();
    titled->textLabel()->setText(*title);
    return titled;
}

void UITableView::layoutSectionViews(int64_t first, int64_t last) {
    double width = bounds().size.width;
    for (bool header : {true, false}) {
        auto& views = header ? headerViews_ : footerViews_;
        for (auto it = views.begin(); it != views.end();) {
            if (it->first < first || it->first > last) {
                it->second->removeFromSuperview();
                it = views.erase(it);
            } else {
                ++it;
            }
        }
        for (int64_t i = first; i <= last && i >= 0; ++i) {
            const Section& s = sections_[static_cast<std::size_t>(i)];
            double h = header ? s.headerHeight : s.footerHeight;
            double y = header ? s.top : s.top + s.headerHeight + s.rowTops.back();
            auto found = views.find(i);
            if (h <= 0) continue;
            if (found == views.end()) {
                auto view = makeSectionView(i, header);
                if (!view) continue;
                found = views.emplace(i, view).first;
                addSubview(view);
            }
            found->second->setFrame(CGRectMake(0, y, width, h));
            bringSubviewToFront(found->second);
        }
    }
}

void UITableView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    ensureData();
    layoutTableHeaderAndFooter();
    auto ds = dataSource();
    CGRect b = bounds();
    double minY = b.origin.y, maxY = b.origin.y + b.size.height;

    // The rows and sections that cross the visible band.
    std::vector<std::pair<NSIndexPath, CGRect>> wanted;
    int64_t firstSection = -1, lastSection = -2;
    auto sec = std::upper_bound(sections_.begin(), sections_.end(), minY, [](double y, const Section& s) { return y < s.top; });
    if (sec != sections_.begin()) --sec;
    for (; sec != sections_.end() && sec->top < maxY; ++sec) {
        if (sec->top + sec->height() <= minY) continue;
        int64_t index = sec - sections_.begin();
        if (firstSection < 0) firstSection = index;
        lastSection = index;
        double rowsTop = sec->top + sec->headerHeight;
        auto r = std::upper_bound(sec->rowTops.begin(), sec->rowTops.end(), minY - rowsTop) - sec->rowTops.begin() - 1;
        for (r = std::max<std::ptrdiff_t>(r, 0); r < sec->rows() && rowsTop + sec->rowTops[r] < maxY; ++r) {
            double top = rowsTop + sec->rowTops[r], bottom = rowsTop + sec->rowTops[r + 1];
            if (bottom <= minY || bottom == top) continue;
            wanted.push_back({{index, r}, CGRectMake(0, top, b.size.width, bottom - top)});
        }
    }

    auto d = delegate();
    auto isWanted = [&](NSIndexPath p) {
        return std::binary_search(wanted.begin(), wanted.end(), std::pair<NSIndexPath, CGRect>{p, CGRectZero},
                                  [](const auto& a, const auto& c) { return a.first < c.first; });
    };
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (isWanted(it->first)) {
            ++it;
            continue;
        }
        auto cell = it->second;
        auto path = it->first;
        it = visible_.erase(it);
        recycle(cell);
        if (d) d->tableViewDidEndDisplayingCell(*this, *cell, path);
    }
    for (auto& [path, frame] : wanted) {
        auto found = visible_.find(path);
        if (found != visible_.end()) {
            found->second->setFrame(frame);
            continue;
        }
        if (!ds) break;
        auto cell = ds->tableViewCellForRowAtIndexPath(*this, path);
        if (!cell)
            NSException::raise(NSInternalInconsistencyException,
                               "UITableView dataSource returned a nil cell for row " + path.description());
        cell->setFrame(frame);
        cell->setSelected(selected_.count(path) > 0, false);
        visible_[path] = cell;
        addSubview(cell);
        cell->layoutIfNeeded();
        if (d) d->tableViewWillDisplayCell(*this, *cell, path);
    }
    layoutSectionViews(firstSection, lastSection);
}

// --- selection ---

std::optional<NSIndexPath> UITableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *selected_.begin();
}

std::vector<NSIndexPath> UITableView::indexPathsForSelectedRows() const {
    return std::vector<NSIndexPath>(selected_.begin(), selected_.end());
}

void UITableView::changeSelection(NSIndexPath indexPath, bool selected, bool animated) {
    if (selected)
        selected_.insert(indexPath);
    else
        selected_.erase(indexPath);
    if (auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(selected, animated);
}

void UITableView::selectRowAtIndexPath(std::optional<NSIndexPath> indexPath, bool animated,
                                       UITableViewScrollPosition position) {
    ensureData();
    if (!indexPath) {
        for (auto p : std::set<NSIndexPath>(selected_)) changeSelection(p, false, animated);
        return;
    }
    checkRow(*indexPath, "selectRowAtIndexPath:animated:scrollPosition:");
    if (!allowsMultipleSelection_)
        for (auto p : std::set<NSIndexPath>(selected_))
            if (p != *indexPath) changeSelection(p, false, animated);
    changeSelection(*indexPath, true, animated);
    if (position != UITableViewScrollPositionNone) scrollToRowAtIndexPath(*indexPath, position, animated);
}

void UITableView::deselectRowAtIndexPath(NSIndexPath indexPath, bool animated) {
    changeSelection(indexPath, false, animated);
}

void UITableView::touchesBegan(const UITouchSet& touches, UIEvent*) {
    touched_.reset();
    if (touches.empty() || !allowsSelection_) return;
    auto path = indexPathForRowAtPoint((*touches.begin())->locationInView(this));
    if (!path) return;
    auto d = delegate();
    if (d && !d->tableViewShouldHighlightRowAtIndexPath(*this, *path)) return;
    touched_ = path;
    if (auto cell = cellForRowAtIndexPath(*path)) cell->setHighlighted(true, false);
    if (d) d->tableViewDidHighlightRowAtIndexPath(*this, *path);
}

void UITableView::touchesEnded(const UITouchSet&, UIEvent*) { touchFinished(true); }
void UITableView::touchesCancelled(const UITouchSet&, UIEvent*) { touchFinished(false); }

void UITableView::touchFinished(bool select) {
    if (!touched_) return;
    NSIndexPath path = *touched_;
    touched_.reset();
    auto d = delegate();
    if (auto cell = cellForRowAtIndexPath(path)) cell->setHighlighted(false, false);
    if (d) d->tableViewDidUnhighlightRowAtIndexPath(*this, path);
    if (!select || !isValid(path)) return;
    std::optional<NSIndexPath> target = path;
    if (d) target = d->tableViewWillSelectRowAtIndexPath(*this, path);
    if (!target || !isValid(*target)) return;
    if (allowsMultipleSelection_ && selected_.count(*target)) {
        changeSelection(*target, false, false);
        if (d) d->tableViewDidDeselectRowAtIndexPath(*this, *target);
        return;
    }
    if (!allowsMultipleSelection_) {
        for (auto p : std::set<NSIndexPath>(selected_)) {
            if (p == *target) continue;
            changeSelection(p, false, false);
            if (d) d->tableViewDidDeselectRowAtIndexPath(*this, p);
        }
    }
    changeSelection(*target, true, false);
    if (d) d->tableViewDidSelectRowAtIndexPath(*this, *target);
}

// --- changes ---

void UITableView::beginUpdates() { ++updateDepth_; }

void UITableView::endUpdates() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ == 0) applyUpdates(std::exchange(pending_, {}));
}

void UITableView::insertRowsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths, UITableViewRowAnimation) {
    pending_.inserts.insert(pending_.inserts.end(), indexPaths.begin(), indexPaths.end());
    if (updateDepth_ == 0) applyUpdates(std::exchange(pending_, {}));
}

void UITableView::deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths, UITableViewRowAnimation) {
    pending_.deletes.insert(pending_.deletes.end(), indexPaths.begin(), indexPaths.end());
    if (updateDepth_ == 0) applyUpdates(std::exchange(pending_, {}));
}

void UITableView::reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths, UITableViewRowAnimation) {
    pending_.reloads.insert(pending_.reloads.end(), indexPaths.begin(), indexPaths.end());
    if (updateDepth_ == 0) applyUpdates(std::exchange(pending_, {}));
}

void UITableView::applyUpdates(Pending pending) {
    // A table that never loaded has nothing to update: it loads what the data source has now.
    if (!loaded_) return reloadData();
    auto ds = dataSource();
    if (!ds) return;
    auto fail = [](const std::string& reason) {
        NSException::raise(NSInternalInconsistencyException, "Invalid update: " + reason);
    };
    std::set<NSIndexPath> deletes(pending.deletes.begin(), pending.deletes.end());
    std::set<NSIndexPath> inserts(pending.inserts.begin(), pending.inserts.end());
    std::set<NSIndexPath> reloads(pending.reloads.begin(), pending.reloads.end());
    int64_t sectionCount = ds->numberOfSectionsInTableView(*this);
    if (sectionCount != static_cast<int64_t>(sections_.size()))
        fail("invalid number of sections (" + std::to_string(sectionCount) + ", was " +
             std::to_string(sections_.size()) + ")");
    for (auto* set : {&deletes, &reloads})
        for (auto& p : *set)
            if (!isValid(p)) fail("row " + p.description() + " does not exist");
    std::vector<int64_t> newCounts;
    for (int64_t s = 0; s < sectionCount; ++s) {
        int64_t before = sections_[static_cast<std::size_t>(s)].rows();
        auto inSection = [s](const std::set<NSIndexPath>& set) {
            return std::count_if(set.begin(), set.end(), [s](const NSIndexPath& p) { return p.section == s; });
        };
        int64_t added = inSection(inserts), removed = inSection(deletes);
        int64_t after = ds->tableViewNumberOfRowsInSection(*this, s);
        if (after != before + added - removed)
            fail("invalid number of rows in section " + std::to_string(s) +
                 ". The number of rows contained in an existing section after the update (" + std::to_string(after) +
                 ") must be equal to the number of rows contained in that section before the update (" +
                 std::to_string(before) + "), plus or minus the number of rows inserted or deleted from that section (" +
                 std::to_string(added) + " inserted, " + std::to_string(removed) + " deleted).");
        newCounts.push_back(after);
    }
    for (auto& p : inserts)
        if (p.row < 0 || p.row >= newCounts[static_cast<std::size_t>(p.section)])
            fail("inserted row " + p.description() + " does not exist after the update");

    auto moved = [&](NSIndexPath p) { return uikit_detail::indexPathAfterUpdate(p, deletes, inserts); };

    std::set<NSIndexPath> reloadedNew;
    for (auto& p : reloads)
        if (auto to = moved(p)) reloadedNew.insert(*to);
    for (int64_t s = 0; s < sectionCount; ++s) {
        Section& section = sections_[static_cast<std::size_t>(s)];
        std::vector<double> heights;
        heights.reserve(static_cast<std::size_t>(newCounts[static_cast<std::size_t>(s)]));
        for (int64_t r = 0; r < section.rows(); ++r)
            if (!deletes.count({s, r})) heights.push_back(section.rowTops[r + 1] - section.rowTops[r]);
        for (auto& q : inserts)
            if (q.section == s) heights.insert(heights.begin() + q.row, rowHeightFor(q));
        for (auto& q : reloadedNew)
            if (q.section == s) heights[static_cast<std::size_t>(q.row)] = rowHeightFor(q);
        measureSection(s, section, &heights);
    }

    auto d = delegate();
    std::map<NSIndexPath, UITableViewCellPtr> visible;
    for (auto& [path, cell] : visible_) {
        auto to = moved(path);
        if (!to || reloads.count(path)) {
            recycle(cell);
            if (d) d->tableViewDidEndDisplayingCell(*this, *cell, path);
        } else {
            visible[*to] = cell;
        }
    }
    visible_ = std::move(visible);
    std::set<NSIndexPath> selected;
    for (auto& p : selected_)
        if (auto to = moved(p)) selected.insert(*to);
    selected_ = std::move(selected);
    touched_.reset();
    restack();
    setNeedsLayout();
}
