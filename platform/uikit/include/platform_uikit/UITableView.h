#pragma once
// A scroll view showing rows in sections, plain or grouped. `reloadData` asks
// the data source for the counts and the delegate for every height (headers,
// rows, footers); layout asks for cells of the visible rows only, so the cost
// of a scroll step follows what is on screen, not the number of rows. Cells
// with a reuse identifier go back to a pool when their rows leave the screen
// and come out again, prepared for reuse, through `dequeueReusableCell`.
// A tap on a row highlights it while the finger is down and selects it on
// release (will-select, deselect of the previous row, did-select).
//
// Main thread. The data source and delegate are not held; the table holds
// its cells, pools and header/footer views.

#include <platform_uikit/NSIndexPath.h>
#include <platform_uikit/UIScrollView.h>
#include <platform_uikit/UITableViewCell.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class UITableView;
class UINib;
namespace uikit_detail {
template <class Cell>
class CellReusePool;
}

// Height the delegate answers to leave the table's own value in place.
inline constexpr double UITableViewAutomaticDimension = -1;

enum UITableViewStyle : int64_t {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

enum UITableViewScrollPosition : int64_t {
    UITableViewScrollPositionNone = 0,
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};

enum UITableViewRowAnimation : int64_t {
    UITableViewRowAnimationFade = 0,
    UITableViewRowAnimationRight = 1,
    UITableViewRowAnimationLeft = 2,
    UITableViewRowAnimationTop = 3,
    UITableViewRowAnimationBottom = 4,
    UITableViewRowAnimationNone = 5,
    UITableViewRowAnimationMiddle = 6,
    UITableViewRowAnimationAutomatic = 100,
};

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual int64_t numberOfSectionsInTableView(UITableView&) { return 1; }
    virtual int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) = 0;
    // A null cell raises NSInternalInconsistencyException.
    virtual UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView&, NSIndexPath indexPath) = 0;
    virtual std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t) { return std::nullopt; }
    virtual std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, int64_t) { return std::nullopt; }
};

// Optional calls; the defaults leave the table's own behaviour in place.
class UITableViewDelegate : public UIScrollViewDelegate {
public:
    virtual double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath) { return UITableViewAutomaticDimension; }
    virtual double tableViewHeightForHeaderInSection(UITableView&, int64_t) { return UITableViewAutomaticDimension; }
    virtual double tableViewHeightForFooterInSection(UITableView&, int64_t) { return UITableViewAutomaticDimension; }
    virtual UIViewPtr tableViewViewForHeaderInSection(UITableView&, int64_t) { return nullptr; }
    virtual UIViewPtr tableViewViewForFooterInSection(UITableView&, int64_t) { return nullptr; }
    virtual void tableViewWillDisplayCell(UITableView&, UITableViewCell&, NSIndexPath) {}
    virtual void tableViewDidEndDisplayingCell(UITableView&, UITableViewCell&, NSIndexPath) {}
    virtual bool tableViewShouldHighlightRowAtIndexPath(UITableView&, NSIndexPath) { return true; }
    virtual void tableViewDidHighlightRowAtIndexPath(UITableView&, NSIndexPath) {}
    virtual void tableViewDidUnhighlightRowAtIndexPath(UITableView&, NSIndexPath) {}
    // The row to select instead, or none to select nothing.
    virtual std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(UITableView&, NSIndexPath indexPath) {
        return indexPath;
    }
    virtual void tableViewDidSelectRowAtIndexPath(UITableView&, NSIndexPath) {}
    virtual void tableViewDidDeselectRowAtIndexPath(UITableView&, NSIndexPath) {}
};

// A section header or footer: a view with a title label.
class UITableViewHeaderFooterView : public UIView {
    NS_CLASS(UITableViewHeaderFooterView, UIView)
public:
    UITableViewHeaderFooterView();
    const std::shared_ptr<UILabel>& textLabel() const { return textLabel_; }
    void layoutSubviews() override;
    void didMoveToSuperview() override;

private:
    std::shared_ptr<UILabel> textLabel_;
};

class UITableView : public UIScrollView {
    NS_CLASS(UITableView, UIScrollView)
public:
    static constexpr double kDefaultRowHeight = 44;
    // Section headers and footers when the delegate leaves them automatic:
    // a plain table shows them only with a title or view; a grouped one
    // always leaves a gap, taller with a title.
    static constexpr double kPlainHeaderFooterHeight = 28;
    static constexpr double kGroupedHeaderHeight = 18;
    static constexpr double kGroupedTitledHeaderHeight = 38;
    static constexpr double kGroupedFooterHeight = 18;

    using CellFactory = std::function<UITableViewCellPtr(const std::string& reuseIdentifier)>;

    UITableView();
    explicit UITableView(CGRect frame, UITableViewStyle style = UITableViewStylePlain);
    ~UITableView() override;

    UITableViewStyle style() const { return style_; }
    // For loaders that make the table first; changes the look of sections at the next reload.
    void setStyle(UITableViewStyle style);
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UITableViewDataSource> dataSource);
    std::shared_ptr<UITableViewDelegate> delegate() const { return tableDelegate_.lock(); }
    void setDelegate(std::weak_ptr<UITableViewDelegate> delegate);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height);
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double height) { sectionHeaderHeight_ = height; }
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double height) { sectionFooterHeight_ = height; }
    // Above the first section and below the last; their own heights, the table's width.
    const UIViewPtr& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(UIViewPtr view);
    const UIViewPtr& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(UIViewPtr view);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool on) { allowsSelection_ = on; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool on) { allowsMultipleSelection_ = on; }

    // --- data ---
    // Asks the counts and all heights again and drops the visible cells; the
    // next layout asks cells for the visible rows.
    void reloadData();
    int64_t numberOfSections() const;
    int64_t numberOfRowsInSection(int64_t section) const;

    // --- cells ---
    // `factory` makes a cell for the identifier when the pool is empty
    // (classes and nibs both register through it).
    void registerCellFactory(const std::string& reuseIdentifier, CellFactory factory);
    template <class Cell>
    void registerClass(const std::string& reuseIdentifier) {
        registerCellFactory(reuseIdentifier, [](const std::string& id) {
            return std::make_shared<Cell>(UITableViewCellStyleDefault, id);
        });
    }
    // New cells for the identifier come from the nib: its one top-level object,
    // a cell (anything else raises NSInternalInconsistencyException at dequeue).
    void registerNib(const std::shared_ptr<UINib>& nib, const std::string& reuseIdentifier);
    // A pooled cell (prepared for reuse), else a new one from the registration, else null.
    UITableViewCellPtr dequeueReusableCellWithIdentifier(const std::string& reuseIdentifier);
    // The same, but an identifier without a registration raises NSInternalInconsistencyException.
    UITableViewCellPtr dequeueReusableCellWithIdentifier(const std::string& reuseIdentifier, NSIndexPath indexPath);
    // The cell shown for a row, null when the row is not visible.
    UITableViewCellPtr cellForRowAtIndexPath(NSIndexPath indexPath) const;
    std::vector<UITableViewCellPtr> visibleCells() const;
    std::vector<NSIndexPath> indexPathsForVisibleRows() const;

    // --- geometry (content coordinates) ---
    CGRect rectForRowAtIndexPath(NSIndexPath indexPath) const;
    CGRect rectForSection(int64_t section) const;
    CGRect rectForHeaderInSection(int64_t section) const;
    CGRect rectForFooterInSection(int64_t section) const;
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point) const;
    std::optional<NSIndexPath> indexPathForCell(const UITableViewCell& cell) const;
    // The view shown for a section's header or footer, null when not visible.
    UIViewPtr headerViewForSection(int64_t section) const;
    UIViewPtr footerViewForSection(int64_t section) const;
    void scrollToRowAtIndexPath(NSIndexPath indexPath, UITableViewScrollPosition position, bool animated);

    // --- selection (programmatic changes call no delegate) ---
    std::optional<NSIndexPath> indexPathForSelectedRow() const;
    std::vector<NSIndexPath> indexPathsForSelectedRows() const;
    void selectRowAtIndexPath(std::optional<NSIndexPath> indexPath, bool animated, UITableViewScrollPosition position);
    void deselectRowAtIndexPath(NSIndexPath indexPath, bool animated);

    // --- changes ---
    // Between begin and end, row changes gather and apply together: the
    // counts the data source answers afterwards must equal the old counts
    // plus insertions minus deletions, else NSInternalInconsistencyException.
    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths, UITableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths, UITableViewRowAnimation animation);
    // Asks the rows' heights and (when visible) cells again.
    void reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths, UITableViewRowAnimation animation);

    void layoutSubviews() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

    NS_PROPERTY_ACCESSORS(double, rowHeight, "N", rowHeight, setRowHeight)
    int64_t styleValue() const { return style_; }
    void setStyleValue(int64_t style) { setStyle(static_cast<UITableViewStyle>(style)); }
    NS_PROPERTY_ACCESSORS(int64_t, style, "N", styleValue, setStyleValue)

private:
    struct Section {
        double top = 0, headerHeight = 0, footerHeight = 0;
        std::optional<std::string> headerTitle, footerTitle;
        std::vector<double> rowTops;  // one per row, then the end of the last row
        int64_t rows() const { return static_cast<int64_t>(rowTops.size()) - 1; }
        double height() const { return headerHeight + rowTops.back() + footerHeight; }
    };
    struct Pending {
        std::vector<NSIndexPath> inserts, deletes, reloads;
    };

    void ensureData();
    void measureSection(int64_t index, Section& section, const std::vector<double>* keepHeights);
    void restack();
    double rowHeightFor(NSIndexPath indexPath);
    void applyUpdates(Pending pending);
    void recycle(const UITableViewCellPtr& cell);
    void layoutTableHeaderAndFooter();
    void layoutSectionViews(int64_t first, int64_t last);
    UIViewPtr makeSectionView(int64_t section, bool header);
    bool isValid(NSIndexPath indexPath) const;
    void checkRow(NSIndexPath indexPath, const char* operation) const;
    void changeSelection(NSIndexPath indexPath, bool selected, bool animated);
    void touchFinished(bool select);

    UITableViewStyle style_ = UITableViewStylePlain;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> tableDelegate_;
    double rowHeight_ = kDefaultRowHeight;
    double sectionHeaderHeight_ = UITableViewAutomaticDimension, sectionFooterHeight_ = UITableViewAutomaticDimension;
    UIViewPtr tableHeaderView_, tableFooterView_;
    bool allowsSelection_ = true, allowsMultipleSelection_ = false;

    bool loaded_ = false;
    std::vector<Section> sections_;
    std::unique_ptr<uikit_detail::CellReusePool<UITableViewCell>> cells_;
    std::map<NSIndexPath, UITableViewCellPtr> visible_;
    std::map<int64_t, UIViewPtr> headerViews_, footerViews_;
    std::set<NSIndexPath> selected_;
    std::optional<NSIndexPath> touched_;
    int updateDepth_ = 0;
    Pending pending_;
};
