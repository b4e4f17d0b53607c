#pragma once
// A scroll view showing items in sections where its layout puts them.
// `reloadData` asks the counts; layout prepares the layout object and asks
// cells for the items in view; cells with a reuse identifier return to a
// pool. Item changes (insert, delete, reload) gather in `performBatchUpdates`,
// are checked against the data source's new counts, and end in the layout's
// `finalizeCollectionViewUpdates` before the view takes the new content size.
//
// Main thread. The data source and delegate are not held; the view holds its
// layout, cells and pools.

#include <platform_uikit/NSIndexPath.h>
#include <platform_uikit/UICollectionViewLayout.h>
#include <platform_uikit/UIScrollView.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class UICollectionView;
class UINib;
namespace uikit_detail {
template <class Cell>
class CellReusePool;
}

class UICollectionViewCell : public UIView {
    NS_CLASS(UICollectionViewCell, UIView)
public:
    UICollectionViewCell();
    explicit UICollectionViewCell(CGRect frame);

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
    // Holds what the cell shows; follows the cell's bounds. Joins the cell once
    // the cell is owned by a shared pointer (not yet while it is constructed).
    const UIViewPtr& contentView() const;
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    // Called before the view hands the cell out again; the base clears selection and highlight.
    virtual void prepareForReuse();
    void layoutSubviews() override;
    void didMoveToSuperview() override { (void)contentView(); }

    NS_PROPERTY_ACCESSORS(std::string, reuseIdentifier, "N,C", reuseIdentifier, setReuseIdentifier)
    NS_READONLY_PROPERTY(std::shared_ptr<UIView>, contentView, "R,N", contentView)

private:
    std::string reuseIdentifier_;
    UIViewPtr contentView_;
    bool selected_ = false, highlighted_ = false;
};
using UICollectionViewCellPtr = std::shared_ptr<UICollectionViewCell>;

class UICollectionViewDataSource {
public:
    virtual ~UICollectionViewDataSource() = default;
    virtual int64_t numberOfSectionsInCollectionView(UICollectionView&) { return 1; }
    virtual int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t section) = 0;
    // A null cell raises NSInternalInconsistencyException.
    virtual UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView&, NSIndexPath indexPath) = 0;
};

// Optional calls; a flow layout also asks item sizes (a negative width leaves the layout's own).
class UICollectionViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&, NSIndexPath) { return true; }
    virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView&, NSIndexPath) {}
    virtual void collectionViewDidDeselectItemAtIndexPath(UICollectionView&, NSIndexPath) {}
    virtual CGSize collectionViewLayoutSizeForItemAtIndexPath(UICollectionView&, UICollectionViewLayout&, NSIndexPath) {
        return CGSizeMake(-1, -1);
    }
};

class UICollectionView : public UIScrollView {
    NS_CLASS(UICollectionView, UIScrollView)
public:
    using CellFactory = std::function<UICollectionViewCellPtr(const std::string& reuseIdentifier)>;

    UICollectionView();
    UICollectionView(CGRect frame, std::shared_ptr<UICollectionViewLayout> layout);
    ~UICollectionView() override;

    const std::shared_ptr<UICollectionViewLayout>& collectionViewLayout() const { return layout_; }
    void setCollectionViewLayout(std::shared_ptr<UICollectionViewLayout> layout);
    std::shared_ptr<UICollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource);
    std::shared_ptr<UICollectionViewDelegate> delegate() const { return collectionDelegate_.lock(); }
    void setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate);

    void reloadData();
    int64_t numberOfSections() const;
    int64_t numberOfItemsInSection(int64_t section) const;

    void registerCellFactory(const std::string& reuseIdentifier, CellFactory factory);
    template <class Cell>
    void registerClass(const std::string& reuseIdentifier) {
        registerCellFactory(reuseIdentifier, [](const std::string&) { return std::make_shared<Cell>(); });
    }
    // New cells from the nib's one top-level object, a cell (else NSInternalInconsistencyException at dequeue).
    void registerNib(const std::shared_ptr<UINib>& nib, const std::string& reuseIdentifier);
    // A pooled cell (prepared for reuse) or a new one; an identifier without a
    // registration raises NSInternalInconsistencyException.
    UICollectionViewCellPtr dequeueReusableCellWithReuseIdentifier(const std::string& reuseIdentifier, NSIndexPath indexPath);
    UICollectionViewCellPtr cellForItemAtIndexPath(NSIndexPath indexPath) const;
    std::vector<UICollectionViewCellPtr> visibleCells() const;
    std::vector<NSIndexPath> indexPathsForVisibleItems() const;
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point) const;

    std::vector<NSIndexPath> indexPathsForSelectedItems() const { return {selected_.begin(), selected_.end()}; }
    void selectItemAtIndexPath(NSIndexPath indexPath, bool animated);
    void deselectItemAtIndexPath(NSIndexPath indexPath, bool animated);

    // Runs `updates` (item changes gather), checks the new counts, relays out,
    // calls the layout's finalizeCollectionViewUpdates, takes the new content
    // size; `completion(true)` follows on the main queue. A count that
    // disagrees raises NSInternalInconsistencyException and changes nothing.
    void performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion = nullptr);
    void insertItemsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths);
    void deleteItemsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths);
    void reloadItemsAtIndexPaths(const std::vector<NSIndexPath>& indexPaths);

    void layoutSubviews() override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;

private:
    void ensureData();
    void loadCounts();
    void recycleVisible();
    void recycle(const UICollectionViewCellPtr& cell);
    void record(UICollectionUpdateAction action, const std::vector<NSIndexPath>& indexPaths);

    std::shared_ptr<UICollectionViewLayout> layout_;
    std::weak_ptr<UICollectionViewDataSource> dataSource_;
    std::weak_ptr<UICollectionViewDelegate> collectionDelegate_;
    bool loaded_ = false;
    std::vector<int64_t> counts_;
    std::unique_ptr<uikit_detail::CellReusePool<UICollectionViewCell>> cells_;
    std::map<NSIndexPath, UICollectionViewCellPtr> visible_;
    std::set<NSIndexPath> selected_;
    int batchDepth_ = 0;
    std::vector<UICollectionViewUpdateItem> pending_;
};
